#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QAction;
class QComboBox;
class QScrollArea;

namespace tavlo::document {

class Document;

// The pages of a document as laid out, one under the other at the chosen zoom.
class PageView : public QWidget {
    Q_OBJECT

public:
    explicit PageView(Document *document, QWidget *parent = nullptr);

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // Screen pixels per point at the current zoom.
    double scale() const;
    // The rectangle of page `page` (1-based) in this widget.
    QRect pageRect(int page) const;
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<Document> m_document;
    double m_zoom = 1.0;
};

// The window of a visible document: its pages, zoom, "另存为…" (.docx or .pdf by the extension) and
// "打印…"; the title is the document's name. Closing the window closes the document, after asking
// whether to save unsaved changes.
class DocumentWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit DocumentWindow(Document *document, QWidget *parent = nullptr);

    Document *document() const { return m_document; }
    PageView *pageView() const { return m_view; }
    QComboBox *zoomBox() const { return m_zoomBox; }

    // Asks for a file name and saves there; false when not saved.
    bool saveAsDialog();
    // Saves under `path` (by extension) and reports the result in the status line.
    bool saveTo(const QString &path);
    bool printDialog();
    // For a document with unsaved changes: Save / Don't save (and Cancel when `allowCancel`).
    bool askToSave(bool allowCancel);

    QAction *actSaveAs = nullptr;
    QAction *actPrint = nullptr;
    QAction *actClose = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateTitle();

    QPointer<Document> m_document;
    PageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QTimer m_refresh;
};

} // namespace tavlo::document
