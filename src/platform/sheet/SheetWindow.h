#pragma once

#include "Workbook.h"
#include "platform/window/FileWindow.h"

#include <QPointer>

class QAction;
class QTabWidget;
class QTableView;

namespace tavlo::sheet {

class Workbook;
class Worksheet;

// The window of a visible workbook: one tab of cells per sheet, editable; Save, Save As (the format
// follows the extension) and opening the file in the system's own program. The title is the workbook's
// name. Closing the window closes the workbook, after asking whether to save unsaved changes.
class SheetWindow : public window::FileWindow {
    Q_OBJECT

public:
    explicit SheetWindow(Workbook *workbook, QWidget *parent = nullptr);

    Workbook *workbook() const { return m_workbook; }
    QTabWidget *tabs() const { return m_tabs; }
    QTableView *viewOf(int sheetIndex) const;

    // Save to the workbook's file; a workbook without one asks for a name first. False when not saved.
    bool save() override;
    // Asks for a file name and saves there.
    bool saveAsDialog() override;
    // Saves under `path` (format by extension) and reports the result in the status line.
    bool saveTo(const QString &path) override;
    // Saves when needed, then hands the file to the desktop's program for it.
    bool openInSystemProgram();

    QAction *actSave = nullptr;
    QAction *actSaveAs = nullptr;
    QAction *actOpenExternal = nullptr;
    QAction *actClose = nullptr;

private:
    void buildActions();
    void rebuildTabs();
    QTableView *makeView(Worksheet *sheet);
    void applyColumnWidths(QTableView *view, Worksheet *sheet, int first, int last);
    void updateTitle();

    QPointer<Workbook> m_workbook;
    QTabWidget *m_tabs = nullptr;
    bool m_applyingWidths = false;
};

// Gives every spreadsheet application of the program sheet windows (see Application::Visible); called
// once at start-up by a program with a graphical user interface.
void installSheetWindows();

} // namespace tavlo::sheet
