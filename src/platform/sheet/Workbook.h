#pragma once

#include "BookContent.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace tavlo::sheet {

class Application;
class Worksheet;

// An open workbook of an Application. `Close` ends it: its window goes, its sheets die, and every later
// call fails quietly; the object itself is deleted later by the event loop.
class Workbook : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/sheet/Worksheet.h")

public:
    ~Workbook() override;

    Application *application() const;
    bool isAlive() const { return !m_closed; }

    // The file name ("MIS.xls"), or "工作簿1" for a workbook never saved.
    QString Name() const { return m_name; }
    // The absolute path of the file; empty for a workbook never saved.
    QString FullName() const { return m_fullName; }

    // `Sheets.Count`, `Sheets(index)` (1-based), `Sheets(name)` (any case); nullptr when there is none.
    int SheetsCount() const { return m_closed ? 0 : int(m_sheets.size()); }
    Worksheet *Sheets(int index) const;
    Worksheet *Sheets(const QString &name) const;
    Worksheet *ActiveSheet() const;
    // `Sheets.Add`: a new sheet after the last one, named "SheetN" unless a name is given.
    Worksheet *AddSheet(const QString &name = {});
    void activateSheet(Worksheet *sheet);

    // True while nothing changed since the workbook was opened, saved or marked saved.
    bool Saved() const { return m_saved; }
    void setSaved(bool saved);
    // Saves to FullName in its format; fails for a workbook never saved.
    bool Save();
    // Saves in the format the extension names (.xlsx, .xls, .csv) and from then on is that file.
    bool SaveAs(const QString &path);
    // Closes without saving and without asking.
    void Close();

    // The window showing this workbook, created on first use; nullptr without a graphical application.
    QWidget *window();
    bool hasWindow() const { return !m_window.isNull(); }

    QString lastError() const { return m_lastError; }
    // After a successful save: what the user should know about it (formulas the format could not keep),
    // empty when nothing.
    QString lastSaveNote() const { return m_saveNote; }
    BookView view() const;

signals:
    void closed();
    void sheetsChanged();
    void activeSheetChanged(tavlo::sheet::Worksheet *sheet);
    void savedChanged(bool saved);
    void nameChanged(const QString &name);

private:
    friend class Application;
    friend class WorkbookList;
    friend class Worksheet;
    Workbook(Application *application, const QString &name, const QString &fullName, BookContent content);
    void markModified();
    bool failWith(const QString &message);
    QString freeSheetName() const;

    std::vector<Worksheet *> m_sheets; // children of this object
    int m_active = 0;
    QString m_name;
    QString m_fullName;
    QString m_lastError;
    QString m_saveNote;
    bool m_saved = true;
    bool m_closed = false;
    QPointer<QWidget> m_window;
};

} // namespace tavlo::sheet
