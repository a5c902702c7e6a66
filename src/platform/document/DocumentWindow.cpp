#include "DocumentWindow.h"

#include "Document.h"
#include "PagePainter.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>

namespace tavlo::document {

namespace {

constexpr int kPageGap = 16; // pixels between pages and around them

} // namespace

PageView::PageView(Document *document, QWidget *parent)
    : QWidget(parent)
    , m_document(document) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(p);
    refresh();
}

double PageView::scale() const {
    return m_zoom * logicalDpiY() / 72.0;
}

void PageView::setZoom(double zoom) {
    m_zoom = std::clamp(zoom, 0.1, 4.0);
    refresh();
}

QRect PageView::pageRect(int page) const {
    if (!m_document)
        return {};
    const PageSetup &setup = m_document->pageSetup();
    const int w = int(std::lround(setup.pageWidth() * scale()));
    const int h = int(std::lround(setup.pageHeight() * scale()));
    return QRect(kPageGap, kPageGap + (page - 1) * (h + kPageGap), w, h);
}

void PageView::refresh() {
    if (!m_document)
        return;
    const int pages = m_document->pageCount();
    const QRect last = pageRect(pages);
    setFixedSize(last.right() + kPageGap, last.bottom() + kPageGap);
    update();
}

void PageView::paintEvent(QPaintEvent *event) {
    if (!m_document || !m_document->isAlive())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const int pages = m_document->pageCount();
    for (int page = 1; page <= pages; ++page) {
        const QRect box = pageRect(page);
        if (!box.intersects(event->rect()))
            continue;
        painter.fillRect(box.translated(3, 3), QColor(0x50, 0x50, 0x50));
        painter.fillRect(box, Qt::white);
        painter.save();
        painter.translate(box.topLeft());
        painter.scale(scale(), scale());
        paintPage(painter, *m_document, page);
        painter.restore();
    }
}

DocumentWindow::DocumentWindow(Document *document, QWidget *parent)
    : QMainWindow(parent)
    , m_document(document) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_view = new PageView(document, this);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    setCentralWidget(m_scroll);

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    actSaveAs = file->addAction(QStringLiteral("另存为…"), this, [this] { saveAsDialog(); });
    actSaveAs->setShortcut(QKeySequence::SaveAs);
    actPrint = file->addAction(QStringLiteral("打印…"), this, [this] { printDialog(); });
    actPrint->setShortcut(QKeySequence::Print);
    file->addSeparator();
    actClose = file->addAction(QStringLiteral("关闭"), this, &QWidget::close);

    QToolBar *bar = addToolBar(QStringLiteral("文档"));
    bar->addAction(actSaveAs);
    bar->addAction(actPrint);
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral("缩放 "), bar));
    m_zoomBox = new QComboBox(bar);
    for (int percent : {50, 75, 100, 125, 150, 200})
        m_zoomBox->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    m_zoomBox->setCurrentIndex(1);
    m_view->setZoom(0.75);
    connect(m_zoomBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_view->setZoom(m_zoomBox->itemData(index).toDouble()); });
    bar->addWidget(m_zoomBox);

    // A fill changes the document many times in a row: lay out and repaint once it is done.
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(0);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (!m_document || !m_document->isAlive())
            return;
        m_view->refresh();
        statusBar()->showMessage(QStringLiteral("共 %1 页").arg(m_document->pageCount()));
    });
    connect(document, &Document::changed, &m_refresh, qOverload<>(&QTimer::start));
    connect(document, &Document::nameChanged, this, &DocumentWindow::updateTitle);
    updateTitle();
    statusBar()->showMessage(QStringLiteral("共 %1 页").arg(document->pageCount()));
    resize(1000, 760);
}

void DocumentWindow::updateTitle() {
    if (m_document)
        setWindowTitle(m_document->Name());
}

bool DocumentWindow::saveAsDialog() {
    if (!m_document)
        return false;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("另存为"),
        m_document->FullName().isEmpty() ? m_document->Name() : m_document->FullName(),
        QStringLiteral("Word 文档 (*.docx);;PDF (*.pdf)"));
    if (path.isEmpty())
        return false;
    return saveTo(path);
}

bool DocumentWindow::saveTo(const QString &path) {
    if (!m_document)
        return false;
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".docx");
    if (!m_document->SaveAs(target)) {
        statusBar()->showMessage(QStringLiteral("保存失败：%1").arg(m_document->lastError()));
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("保存失败：%1").arg(m_document->lastError()));
        return false;
    }
    statusBar()->showMessage(QStringLiteral("已保存到 %1").arg(QDir::toNativeSeparators(target)));
    return true;
}

bool DocumentWindow::printDialog() {
    if (!m_document)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool ok = m_document->PrintOut(&printer);
    statusBar()->showMessage(ok ? QStringLiteral("已打印") : QStringLiteral("打印失败"));
    return ok;
}

bool DocumentWindow::askToSave(bool allowCancel) {
    if (!m_document || m_document->Saved())
        return true;
    QMessageBox::StandardButtons buttons = QMessageBox::Save | QMessageBox::Discard;
    if (allowCancel)
        buttons |= QMessageBox::Cancel;
    const auto answer = QMessageBox::question(
        this, windowTitle(), QStringLiteral("是否保存对“%1”的更改？").arg(m_document->Name()), buttons,
        QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
        return false;
    return answer == QMessageBox::Discard || saveAsDialog() || !allowCancel;
}

void DocumentWindow::closeEvent(QCloseEvent *event) {
    if (!askToSave(true)) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_document)
        m_document->Close();
}

} // namespace tavlo::document
