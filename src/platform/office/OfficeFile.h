#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace tavlo::office {

class OfficeApplication;
class WindowHost;

// An open file of an embedded program (a workbook, a document): its name, its path, whether it changed
// since it was saved, and its window. `Close` ends it: its window goes and every later call fails
// quietly; the object itself is deleted later by the event loop.
class OfficeFile : public QObject {
    Q_OBJECT

public:
    ~OfficeFile() override;

    bool isAlive() const { return !m_closed; }
    // The file name, or the name given to a file never saved ("工作簿1", "文档1").
    QString Name() const { return m_name; }
    // The absolute path of the file; empty for a file never saved.
    QString FullName() const { return m_fullName; }
    // True while nothing changed since the file was opened, made, saved or marked saved.
    bool Saved() const { return m_saved; }

    // Marks the file saved or changed (savedChanged when that differs); a closed file stays as it is.
    void setSaved(bool saved);

    // Closes without saving and without asking.
    void Close();

    // The window showing this file, made on first use; nullptr when the program has no windows.
    QWidget *window();
    bool hasWindow() const;

signals:
    void closed();
    void nameChanged(const QString &name);
    void savedChanged(bool saved);

protected:
    OfficeFile(OfficeApplication *application, const QString &name, const QString &fullName);
    OfficeApplication *officeApplication() const;
    // For the destructor of a file deleted while open: its window goes at once, while the file's own
    // parts still exist for the window's last look at them.
    void dropWindow();
    // A save under another name succeeded: the file goes by that path and name from now on
    // (nameChanged when the name differs).
    void adoptSavedPath(const QString &path);

    QString m_name;
    QString m_fullName;
    bool m_saved = true;
    bool m_closed = false;

private:
    WindowHost *windowHost() const { return m_windows ? *m_windows : nullptr; }

    QPointer<OfficeApplication> m_application;
    // Where the window library installs the host for this kind of program; outlives the application, so
    // a file destroyed with its application still takes its window with it.
    WindowHost *const *m_windows;
};

} // namespace tavlo::office
