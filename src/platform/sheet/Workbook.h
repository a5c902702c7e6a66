#pragma once

#include "BookContent.h"
#include "platform/office/OfficeFile.h"

#include <QObject>

#include <vector>

namespace tavlo::sheet {

class Application;
class Worksheet;

// An open workbook of an Application. `Close` ends it: its window goes, its sheets die, and every later
// call fails quietly; the object itself is deleted later by the event loop. Name is the file name
// ("MIS.xls"), or "工作簿1" for a workbook never saved; FullName is empty for a workbook never saved.
class Workbook : public office::OfficeFile {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/sheet/Worksheet.h")

public:
    ~Workbook() override;

    Application *application() const;

    // `Sheets.Count`, `Sheets(index)` (1-based), `Sheets(name)` (any case); nullptr when there is none.
    int SheetsCount() const { return m_closed ? 0 : int(m_sheets.size()); }
    Worksheet *Sheets(int index) const;
    Worksheet *Sheets(const QString &name) const;
    Worksheet *ActiveSheet() const;
    // `Sheets.Add`: a new sheet after the last one, named "SheetN" unless a name is given.
    Worksheet *AddSheet(const QString &name = {});
    void activateSheet(Worksheet *sheet);

    // Saves to FullName in its format; fails for a workbook never saved.
    bool Save();
    // Saves in the format the extension names (.xlsx, .xls, .csv) and from then on is that file.
    bool SaveAs(const QString &path);

    QString lastError() const { return m_lastError; }
    // After a successful save: what the user should know about it (formulas the format could not keep),
    // empty when nothing.
    QString lastSaveNote() const { return m_saveNote; }
    BookView view() const;

signals:
    void sheetsChanged();
    void activeSheetChanged(tavlo::sheet::Worksheet *sheet);

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
    QString m_lastError;
    QString m_saveNote;
};

} // namespace tavlo::sheet
