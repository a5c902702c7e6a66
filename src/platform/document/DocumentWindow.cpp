#include "DocumentWindow.h"

#include "Application.h"
#include "Document.h"
#include "Editor.h"
#include "PagePainter.h"
#include "PagePrinter.h"
#include "platform/window/FileWindows.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
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

PageView::PageView(Document *document, Editor *editor, QWidget *parent)
    : QWidget(parent)
    , m_document(document)
    , m_editor(editor) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setCursor(Qt::IBeamCursor);
    connect(editor, &Editor::caretMoved, this, [this] {
        update();
        const QRect caret = caretRect(m_editor->caret());
        if (!caret.isEmpty())
            emit caretShown(caret);
    });
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

QRect PageView::caretRect(const TextPosition &position) const {
    int page = 0;
    QRectF box;
    if (!m_document || !m_document->isAlive() || !caretBox(*m_document, position, &page, &box))
        return {};
    const QRect pageBox = pageRect(page);
    const QPointF top = pageBox.topLeft() + box.topLeft() * scale();
    return QRect(int(std::floor(top.x())), int(std::floor(top.y())), 2,
                 std::max(2, int(std::lround(box.height() * scale()))));
}

bool PageView::positionUnder(QPoint point, TextPosition *position) const {
    if (!m_document || !m_document->isAlive())
        return false;
    const int pages = m_document->pageCount();
    for (int page = 1; page <= pages; ++page) {
        const QRect box = pageRect(page);
        // The gap below a page belongs to it.
        if (point.y() > box.bottom() + kPageGap && page < pages)
            continue;
        *position = positionAt(*m_document, page, QPointF(point - box.topLeft()) / scale());
        return true;
    }
    return false;
}

void PageView::mousePressEvent(QMouseEvent *event) {
    TextPosition p;
    if (event->button() == Qt::LeftButton && positionUnder(event->position().toPoint(), &p))
        m_editor->setCaret(p, event->modifiers() & Qt::ShiftModifier);
    setFocus(Qt::MouseFocusReason);
}

void PageView::mouseMoveEvent(QMouseEvent *event) {
    TextPosition p;
    if ((event->buttons() & Qt::LeftButton) && positionUnder(event->position().toPoint(), &p) &&
        p.sameText(m_editor->anchor()))
        m_editor->setCaret(p, true);
}

bool PageView::focusNextPrevChild(bool) {
    return false; // Tab moves between table cells
}

void PageView::keyPressEvent(QKeyEvent *event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        m_editor->moveLeft(shift);
        return;
    case Qt::Key_Right:
        m_editor->moveRight(shift);
        return;
    case Qt::Key_Up:
        m_editor->moveUp(shift);
        return;
    case Qt::Key_Down:
        m_editor->moveDown(shift);
        return;
    case Qt::Key_Home:
        m_editor->moveHome(shift);
        return;
    case Qt::Key_End:
        m_editor->moveEnd(shift);
        return;
    case Qt::Key_Tab:
        m_editor->nextCell();
        return;
    case Qt::Key_Backtab:
        m_editor->previousCell();
        return;
    case Qt::Key_Backspace:
        m_editor->backspace();
        return;
    case Qt::Key_Delete:
        m_editor->deleteForward();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_editor->newParagraph();
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        m_editor->selectAllOfText();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
        text.at(0).isPrint()) {
        m_editor->insertText(text);
        return;
    }
    QWidget::keyPressEvent(event);
}

void PageView::inputMethodEvent(QInputMethodEvent *event) {
    if (!event->commitString().isEmpty())
        m_editor->insertText(event->commitString());
    event->accept();
}

QVariant PageView::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImCursorRectangle)
        return caretRect(m_editor->caret());
    if (query == Qt::ImEnabled)
        return true;
    return QWidget::inputMethodQuery(query);
}

void PageView::paintSelection(QPainter &painter) {
    const TextPosition caret = m_editor->caret();
    const TextPosition anchor = m_editor->anchor();
    if (m_editor->hasSelection() && m_document) {
        const int from = std::min(caret.offset, anchor.offset);
        const int to = std::max(caret.offset, anchor.offset);
        for (const auto &[page, box] : selectionBoxes(*m_document, caret, from, to)) {
            const QRectF onScreen(pageRect(page).topLeft() + box.topLeft() * scale(), box.size() * scale());
            painter.fillRect(onScreen, QColor(0x33, 0x99, 0xff, 0x50));
        }
    }
    const QRect r = caretRect(caret);
    if (!r.isEmpty())
        painter.fillRect(r, hasFocus() ? Qt::black : Qt::darkGray);
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
    paintSelection(painter);
}

DocumentWindow::DocumentWindow(Document *document, QWidget *parent)
    : window::FileWindow(document, parent)
    , m_document(document) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_editor = new Editor(document, this);
    m_view = new PageView(document, m_editor, this);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    setCentralWidget(m_scroll);
    connect(m_view, &PageView::caretShown, this, [this](const QRect &r) {
        m_scroll->ensureVisible(r.center().x(), r.center().y(), 40, std::max(40, r.height()));
    });

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    actSave = file->addAction(QStringLiteral("保存"), this, [this] { save(); });
    actSave->setShortcut(QKeySequence::Save);
    actSaveAs = file->addAction(QStringLiteral("另存为…"), this, [this] { saveAsDialog(); });
    actSaveAs->setShortcut(QKeySequence::SaveAs);
    actPrint = file->addAction(QStringLiteral("打印…"), this, [this] { printDialog(); });
    actPrint->setShortcut(QKeySequence::Print);
    file->addSeparator();
    actClose = file->addAction(QStringLiteral("关闭"), this, &QWidget::close);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    actUndo = m_editor->undoStack()->createUndoAction(this, QStringLiteral("撤销"));
    actUndo->setShortcut(QKeySequence::Undo);
    actRedo = m_editor->undoStack()->createRedoAction(this, QStringLiteral("重做"));
    actRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addAction(actUndo);
    edit->addAction(actRedo);
    edit->addSeparator();
    actCut = edit->addAction(QStringLiteral("剪切"), this, [this] {
        if (!m_editor->hasSelection())
            return;
        QGuiApplication::clipboard()->setText(m_editor->selectedText());
        m_editor->backspace();
    });
    actCut->setShortcut(QKeySequence::Cut);
    actCopy = edit->addAction(QStringLiteral("复制"), this, [this] {
        if (m_editor->hasSelection())
            QGuiApplication::clipboard()->setText(m_editor->selectedText());
    });
    actCopy->setShortcut(QKeySequence::Copy);
    actPaste = edit->addAction(QStringLiteral("粘贴"), this,
                               [this] { m_editor->insertText(QGuiApplication::clipboard()->text()); });
    actPaste->setShortcut(QKeySequence::Paste);

    QMenu *table = menuBar()->addMenu(QStringLiteral("表格(&A)"));
    actInsertRowAbove =
        table->addAction(QStringLiteral("在上方插入行"), this, [this] { m_editor->insertRowAbove(); });
    actInsertRowBelow =
        table->addAction(QStringLiteral("在下方插入行"), this, [this] { m_editor->insertRowBelow(); });
    actDeleteRow = table->addAction(QStringLiteral("删除行"), this, [this] { m_editor->deleteRow(); });
    connect(m_editor, &Editor::caretMoved, this, &DocumentWindow::updateActions);

    QToolBar *bar = addToolBar(QStringLiteral("文档"));
    bar->addAction(actSave);
    bar->addAction(actSaveAs);
    bar->addAction(actPrint);
    bar->addSeparator();
    bar->addAction(actUndo);
    bar->addAction(actRedo);
    bar->addSeparator();
    bar->addAction(actInsertRowBelow);
    bar->addAction(actDeleteRow);
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
    updateActions();
    resize(1000, 760);
    m_view->setFocus();
}

void DocumentWindow::updateActions() {
    const bool inTable = m_editor->caret().inTable();
    actInsertRowAbove->setEnabled(inTable);
    actInsertRowBelow->setEnabled(inTable);
    actDeleteRow->setEnabled(inTable);
}

bool DocumentWindow::save() {
    if (!m_document)
        return false;
    const QString own = m_document->FullName();
    if (own.isEmpty() || QFileInfo(own).suffix().toLower() != QLatin1String("docx"))
        return saveAsDialog();
    return saveTo(own);
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
    const bool ok = printDocument(*m_document, &printer);
    statusBar()->showMessage(ok ? QStringLiteral("已打印") : QStringLiteral("打印失败"));
    return ok;
}

void installDocumentWindows() {
    static window::FileWindows windows(
        [](office::OfficeFile *file) { return new DocumentWindow(static_cast<Document *>(file)); });
    Application::setWindowHost(&windows);
}

} // namespace tavlo::document
