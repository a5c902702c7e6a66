#pragma once

#include "platform/office/OfficeApplication.h"

#include <QList>
#include <QObject>

namespace tavlo::sheet {

class Application;
class Workbook;

// `Workbooks`: the open workbooks of one application.
class WorkbookList {
public:
    explicit WorkbookList(Application *application)
        : m_application(application) {}

    int Count() const;
    // 1-based; nullptr outside 1..Count.
    Workbook *Item(int index) const;
    // `Workbooks.Add`: a new workbook with one empty sheet "Sheet1".
    Workbook *Add();
    // `Workbooks.Open`: reads the file by its content. A file already open in this application gives that
    // workbook. nullptr on failure, with the reason in Application::lastError().
    Workbook *Open(const QString &path);
    // Opens a copy kept aside (a recovery copy) as the unsaved workbook it was taken from: named `name`,
    // saving to `fullName` (empty for a workbook never saved), and counted as changed.
    Workbook *OpenCopy(const QString &path, const QString &name, const QString &fullName);

private:
    Application *m_application;
};

// The embedded spreadsheet application: holds workbooks, shows them in sheet windows while `Visible` (when
// the sheet window library is installed), and ends with `Quit`. Every application made by create() is
// listed as running until it quits.
class Application : public office::OfficeApplicationOf<Application> {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/sheet/Workbook.h")

public:
    // A new instance (`CreateObject`).
    static Application *create();

    QString Name() const;

    WorkbookList &Workbooks() { return m_workbooks; }
    QList<Workbook *> workbookList() const;

    // Kept for programs that switch it; no operation of a program ever asks the user anything.
    bool DisplayAlerts() const { return m_displayAlerts; }
    void setDisplayAlerts(bool on) { m_displayAlerts = on; }

    QString lastError() const { return m_lastError; }

signals:
    void workbookOpened(tavlo::sheet::Workbook *workbook);
    void workbookClosed(tavlo::sheet::Workbook *workbook);

private:
    friend class WorkbookList;
    Application();
    ~Application() override;
    void adopt(Workbook *workbook);
    void fileForgotten(office::OfficeFile *file) override;

    WorkbookList m_workbooks;
    bool m_displayAlerts = true;
    int m_newBookCounter = 0;
    QString m_lastError;
};

} // namespace tavlo::sheet
