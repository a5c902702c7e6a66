#include "SheetWindow.h"

#include "Application.h"
#include "SheetTableModel.h"
#include "Workbook.h"
#include "WorkbookFile.h"
#include "Worksheet.h"
#include "platform/window/FileWindows.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QUrl>

namespace tavlo::sheet {

namespace {

const QString kXlsxFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
const QString kXlsFilter = QStringLiteral("Excel 97-2003 工作簿 (*.xls)");
const QString kCsvFilter = QStringLiteral("CSV UTF-8（逗号分隔） (*.csv)");

// Pixels a column needs besides its text: the item's margins and the grid line.
constexpr int kCellPadding = 10;

int digitWidth(const QWidget *widget) {
    return std::max(1, widget->fontMetrics().horizontalAdvance(u'0'));
}

} // namespace

SheetWindow::SheetWindow(Workbook *workbook, QWidget *parent)
    : window::FileWindow(workbook, parent)
    , m_workbook(workbook) {
    m_tabs = new QTabWidget(this);
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setDocumentMode(true);
    setCentralWidget(m_tabs);
    buildActions();
    rebuildTabs();
    updateTitle();
    resize(900, 600);

    connect(workbook, &Workbook::nameChanged, this, &SheetWindow::updateTitle);
    connect(workbook, &Workbook::sheetsChanged, this, &SheetWindow::rebuildTabs);
    connect(workbook, &Workbook::activeSheetChanged, this, [this](Worksheet *sheet) {
        if (sheet)
            m_tabs->setCurrentIndex(sheet->Index() - 1);
    });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (m_workbook && index >= 0)
            if (Worksheet *sheet = m_workbook->Sheets(index + 1))
                sheet->Activate();
    });
}

void SheetWindow::buildActions() {
    actSave = new QAction(QStringLiteral("保存(&S)"), this);
    actSave->setShortcut(QKeySequence::Save);
    actSaveAs = new QAction(QStringLiteral("另存为(&A)…"), this);
    actSaveAs->setShortcut(QKeySequence::SaveAs);
    actOpenExternal = new QAction(QStringLiteral("用系统程序打开(&O)"), this);
    actClose = new QAction(QStringLiteral("关闭(&C)"), this);
    actClose->setShortcut(QKeySequence::Close);
    connect(actSave, &QAction::triggered, this, &SheetWindow::save);
    connect(actSaveAs, &QAction::triggered, this, &SheetWindow::saveAsDialog);
    connect(actOpenExternal, &QAction::triggered, this, &SheetWindow::openInSystemProgram);
    connect(actClose, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(actSave);
    file->addAction(actSaveAs);
    file->addAction(actOpenExternal);
    file->addSeparator();
    file->addAction(actClose);
    QToolBar *bar = addToolBar(QStringLiteral("文件"));
    bar->setMovable(false);
    bar->addAction(actSave);
    bar->addAction(actSaveAs);
    bar->addAction(actOpenExternal);
    statusBar();
}

QTableView *SheetWindow::viewOf(int sheetIndex) const {
    return qobject_cast<QTableView *>(m_tabs->widget(sheetIndex - 1));
}

void SheetWindow::rebuildTabs() {
    if (!m_workbook)
        return;
    const int current = m_tabs->currentIndex();
    while (m_tabs->count() > 0) {
        QWidget *page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        page->deleteLater();
    }
    for (int i = 1; i <= m_workbook->SheetsCount(); ++i) {
        Worksheet *sheet = m_workbook->Sheets(i);
        QTableView *view = makeView(sheet);
        m_tabs->addTab(view, sheet->Name());
        connect(sheet, &Worksheet::nameChanged, view,
                [this, sheet](const QString &name) { m_tabs->setTabText(sheet->Index() - 1, name); });
    }
    const Worksheet *active = m_workbook->ActiveSheet();
    m_tabs->setCurrentIndex(active ? active->Index() - 1 : std::max(0, current));
}

QTableView *SheetWindow::makeView(Worksheet *sheet) {
    auto *view = new QTableView;
    auto *model = new SheetTableModel(sheet, view);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    applyColumnWidths(view, sheet, 1, model->columnCount());
    view->setCurrentIndex(model->index(sheet->selectedRow() - 1, sheet->selectedColumn() - 1));

    connect(sheet, &Worksheet::columnsChanged, view, [this, view, sheet](int first, int last) {
        applyColumnWidths(view, sheet, first, std::min(last, view->model()->columnCount()));
    });
    connect(model, &QAbstractItemModel::columnsInserted, view,
            [this, view, sheet](const QModelIndex &, int first, int last) {
                applyColumnWidths(view, sheet, first + 1, last + 1);
            });
    connect(view->horizontalHeader(), &QHeaderView::sectionResized, view,
            [this, view, sheet](int index, int, int size) {
                if (m_applyingWidths)
                    return;
                const double width = std::max(0.0, double(size - kCellPadding) / digitWidth(view));
                sheet->setColumnWidth(index + 1, index + 1, double(qRound(width * 100)) / 100);
            });
    connect(sheet, &Worksheet::selectionRequested, view, [view](int row, int column) {
        const QModelIndex index = view->model()->index(row - 1, column - 1);
        view->setCurrentIndex(index);
        view->scrollTo(index);
    });
    return view;
}

void SheetWindow::applyColumnWidths(QTableView *view, Worksheet *sheet, int first, int last) {
    m_applyingWidths = true;
    const int digit = digitWidth(view);
    for (int c = first; c <= last; ++c)
        view->setColumnWidth(c - 1, qRound(sheet->columnWidth(c) * digit) + kCellPadding);
    m_applyingWidths = false;
}

void SheetWindow::updateTitle() {
    if (m_workbook)
        setWindowTitle(m_workbook->Name());
}

bool SheetWindow::saveTo(const QString &path) {
    if (!m_workbook)
        return false;
    if (!m_workbook->SaveAs(path)) {
        statusBar()->showMessage(m_workbook->lastError());
        return false;
    }
    const QString saved = QStringLiteral("已保存到 %1").arg(QDir::toNativeSeparators(m_workbook->FullName()));
    // A note about formulas kept only by their results stays until the next message.
    if (m_workbook->lastSaveNote().isEmpty())
        statusBar()->showMessage(saved, 5000);
    else
        statusBar()->showMessage(saved + QStringLiteral("。") + m_workbook->lastSaveNote());
    return true;
}

bool SheetWindow::save() {
    if (!m_workbook)
        return false;
    if (m_workbook->FullName().isEmpty() || formatForSaving(m_workbook->FullName()) == FileFormat::Unknown)
        return saveAsDialog();
    if (!saveTo(m_workbook->FullName())) {
        QMessageBox::warning(this, windowTitle(), m_workbook->lastError());
        return false;
    }
    return true;
}

bool SheetWindow::saveAsDialog() {
    if (!m_workbook)
        return false;
    const QFileInfo current(m_workbook->FullName());
    const QString folder = m_workbook->FullName().isEmpty() ? QDir::homePath() : current.absolutePath();
    QString suggested =
        m_workbook->FullName().isEmpty() ? m_workbook->Name() + QStringLiteral(".xlsx") : current.fileName();
    QString filter = formatForSaving(suggested) == FileFormat::Xls   ? kXlsFilter
                     : formatForSaving(suggested) == FileFormat::Csv ? kCsvFilter
                                                                     : kXlsxFilter;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("另存为"), QDir(folder).filePath(suggested),
        QStringList{kXlsxFilter, kXlsFilter, kCsvFilter}.join(QStringLiteral(";;")), &filter);
    if (path.isEmpty())
        return false;
    if (formatForSaving(path) == FileFormat::Unknown)
        path += filter == kXlsFilter   ? QStringLiteral(".xls")
                : filter == kCsvFilter ? QStringLiteral(".csv")
                                       : QStringLiteral(".xlsx");
    if (!saveTo(path)) {
        QMessageBox::warning(this, windowTitle(), m_workbook->lastError());
        return false;
    }
    return true;
}

bool SheetWindow::openInSystemProgram() {
    if (!m_workbook)
        return false;
    if ((m_workbook->FullName().isEmpty() || !m_workbook->Saved()) && !save())
        return false;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_workbook->FullName()))) {
        statusBar()->showMessage(QStringLiteral("系统中没有可打开此文件的程序"));
        return false;
    }
    statusBar()->showMessage(QStringLiteral("已交给系统程序打开"), 5000);
    return true;
}

void installSheetWindows() {
    static window::FileWindows windows(
        [](office::OfficeFile *file) { return new SheetWindow(static_cast<Workbook *>(file)); });
    Application::setWindowHost(&windows);
}

} // namespace tavlo::sheet
