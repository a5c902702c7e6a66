#pragma once

#include "CadDocument.h"
#include "DrawingScene.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;

namespace tavlo::drawing {

class CadApplication;
class DrawingView;
class SelectionFilter;

// The window of one open drawing: the drawing shown, pan and zoom, zoom to extents, picking for
// "select on screen", Save (keeping the original as "name.bak.dxf") and Save As. Closing the window
// closes the drawing, after asking about unsaved changes; a drawing closed elsewhere closes its window.
class DrawingWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit DrawingWindow(CadDocument *document, QWidget *parent = nullptr);
    ~DrawingWindow() override;

    CadDocument *document() const { return m_document; }
    DrawingView *view() const { return m_view; }
    const DrawingScene &scene() const { return m_scene; }

    // Brings the window to the front and lets the user pick entities the filter admits, until Enter or
    // a right click (accepted) or Esc (cancelled, nothing picked). Closing the window cancels too.
    // A second pick while one runs is refused (cancelled at once).
    QList<CadEntity *> pickOnScreen(const SelectionFilter &filter, bool *accepted);
    bool isPicking() const;

    // Save to the drawing's file. The first save keeps the original as the backup; an older backup is
    // replaced only when the user agrees (`askReplaceBackup` is how the window asks; tests answer it).
    // A read-only file is not written: the window says so and offers Save As (`askSaveAsInstead`).
    bool save();
    bool saveAsDialog();
    bool saveTo(const QString &path);
    // Asks Save / Don't save (and Cancel when allowed) for a drawing with unsaved changes.
    bool askToSave(bool allowCancel);

    // How the window asks its questions; replaceable so tests can answer without a dialog.
    std::function<bool(const QString &backupPath)> askReplaceBackup;
    std::function<bool(const QString &readOnlyPath)> askSaveAsInstead;
    // The Save As dialog: the chosen path, empty when cancelled.
    std::function<QString(const QString &suggestedPath)> chooseSaveAsPath;
    std::function<int(const QString &name, bool allowCancel)> askSaveChanges; // a QMessageBox::StandardButton

    QAction *actSave = nullptr;
    QAction *actSaveAs = nullptr;
    QAction *actZoomExtents = nullptr;
    QAction *actClose = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildActions();
    void rebuild();
    void updateTitle();
    void report(const QString &text);

    QPointer<CadDocument> m_document;
    DrawingScene m_scene;
    DrawingView *m_view = nullptr;
    bool m_closingDrawing = false;
};

// The windows of an application's drawings: while the application is visible every open drawing has a
// window; the application's requests to bring a drawing forward and to pick on screen go to it.
class DrawingWindows : public QObject {
    Q_OBJECT

public:
    // Gives the application its windows (once; later calls return the same host).
    static DrawingWindows *install(CadApplication *application);
    // The window of a drawing, nullptr while it has none.
    DrawingWindow *windowOf(const CadDocument *document) const;
    // Before the program ends: each shown drawing with unsaved changes asks whether to save it.
    void askToSaveChanges();

private:
    explicit DrawingWindows(CadApplication *application);
    DrawingWindow *ensureWindow(CadDocument *document);
    void showAll(bool visible);

    CadApplication *m_application;
    QList<QPointer<DrawingWindow>> m_windows;
};

} // namespace tavlo::drawing
