#pragma once

#include "Document.h"
#include "platform/window/FileWindow.h"

#include <QPointer>
#include <QTimer>

class QAction;
class QComboBox;
class QScrollArea;

namespace tavlo::document {

class Document;
class Editor;
struct TextPosition;

// The pages of a document as laid out, one under the other at the chosen zoom, with the caret and the
// selection of the editor: a click places the caret, keys type and move it.
class PageView : public QWidget {
    Q_OBJECT

public:
    PageView(Document *document, Editor *editor, QWidget *parent = nullptr);

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Screen pixels per point at the current zoom.
    double scale() const;
    // The rectangle of page `page` (1-based) in this widget.
    QRect pageRect(int page) const;
    // Where a text position is shown in this widget; an empty rectangle when it is not laid out.
    QRect caretRect(const TextPosition &position) const;
    void refresh();

signals:
    void caretShown(const QRect &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool focusNextPrevChild(bool next) override;

private:
    bool positionUnder(QPoint point, TextPosition *position) const;
    void paintSelection(QPainter &painter);

    QPointer<Document> m_document;
    Editor *m_editor;
    double m_zoom = 1.0;
};

// The window of a visible document: its pages, zoom, typing into paragraphs and cells, table rows, undo,
// copy and paste, "保存" (to the document's own .docx, or as "另存为…" when it has none), "另存为…" (.docx
// or .pdf by the extension) and "打印…"; the title is the document's name. Closing the window closes the
// document, after asking whether to save unsaved changes.
class DocumentWindow : public window::FileWindow {
    Q_OBJECT

public:
    explicit DocumentWindow(Document *document, QWidget *parent = nullptr);

    Document *document() const { return m_document; }
    PageView *pageView() const { return m_view; }
    QComboBox *zoomBox() const { return m_zoomBox; }
    Editor *editor() const { return m_editor; }

    // Saves to the document's own file when it has one, else asks for a name; false when not saved.
    bool save() override;
    // Asks for a file name and saves there; false when not saved.
    bool saveAsDialog() override;
    // Saves under `path` (by extension) and reports the result in the status line.
    bool saveTo(const QString &path) override;
    bool printDialog();

    QAction *actSave = nullptr;
    QAction *actSaveAs = nullptr;
    QAction *actUndo = nullptr;
    QAction *actRedo = nullptr;
    QAction *actCut = nullptr;
    QAction *actCopy = nullptr;
    QAction *actPaste = nullptr;
    QAction *actInsertRowAbove = nullptr;
    QAction *actInsertRowBelow = nullptr;
    QAction *actDeleteRow = nullptr;
    QAction *actPrint = nullptr;
    QAction *actClose = nullptr;

private:
    void updateTitle();
    void updateActions();

    QPointer<Document> m_document;
    Editor *m_editor = nullptr;
    PageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QTimer m_refresh;
};

// Gives every word processor of the program document windows (see Application::Visible); called once at
// start-up by a program with a graphical user interface.
void installDocumentWindows();

} // namespace tavlo::document
