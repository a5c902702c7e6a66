#pragma once

#include <QList>
#include <QObject>

namespace tavlo::office {

class OfficeFile;
class WindowHost;

// What every embedded program's application object shares: it is listed as running from its creation
// until it quits (`GetObject` finds it there), holds its open files in the order they were opened,
// shows them in windows while `Visible` (when a window library installed a host for its kind), and
// ends with `Quit`, which closes every file and deletes the application later.
class OfficeApplication : public QObject {
    Q_OBJECT

public:
    bool isAlive() const { return !m_quit; }

    // While visible, every open file is shown in its own window; hiding keeps the files open.
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    // Closes every file without saving, leaves the running list and deletes itself later.
    void Quit();
    // Raises the window of the active (last opened) file.
    void bringToFront();
    // Before the program ends: each shown file with unsaved changes asks the user whether to save it.
    void askToSaveChanges();

    // The open files in the order they were opened.
    const QList<OfficeFile *> &openFiles() const { return m_files; }
    // The same, as the program's own kind of file.
    template <class F> QList<F *> openFilesAs() const {
        QList<F *> list;
        for (OfficeFile *file : m_files)
            list.append(static_cast<F *>(file));
        return list;
    }
    // 1-based, as `Workbooks(i)` and `Documents(i)` count; nullptr outside 1..count.
    OfficeFile *openFile(int index) const {
        return index >= 1 && index <= m_files.size() ? m_files[index - 1] : nullptr;
    }

    // The windows of this kind of program; nullptr when none is installed.
    WindowHost *windowHost() const { return m_windows ? *m_windows : nullptr; }

signals:
    void visibleChanged(bool visible);
    void quitting();

protected:
    // `windows` is where the window library installs the host for this kind of program (read at each
    // use, so a host installed later counts); nullptr for a program whose windows come another way.
    explicit OfficeApplication(WindowHost *const *windows = nullptr);
    ~OfficeApplication() override;

    // The running applications of type T, in the order they were made; the first of them or nullptr.
    template <class T> static QList<T *> runningOf() {
        QList<T *> list;
        for (OfficeApplication *app : std::as_const(runningTable()))
            if (T *typed = qobject_cast<T *>(app); typed && app->isAlive())
                list.append(typed);
        return list;
    }
    template <class T> static T *firstRunningOf() {
        const QList<T *> list = runningOf<T>();
        return list.isEmpty() ? nullptr : list.first();
    }

    // A new open file: shown at once while the application is visible.
    void adoptFile(OfficeFile *file);
    // Called by Quit before the application ends: closes what it holds. Closes every open file.
    virtual void closeEverything();
    // A file left the open files (it closed); the default does nothing.
    virtual void fileForgotten(OfficeFile *file);

private:
    friend class OfficeFile;
    void forgetFile(OfficeFile *file);
    static QList<OfficeApplication *> &runningTable();

    WindowHost *const *m_windows;
    QList<OfficeFile *> m_files;
    bool m_visible = false;
    bool m_quit = false;
};

// The running-instance bookkeeping of one kind of program (`App` derives from this): its instances in
// the order they were made, and the one window host installed for all of them.
template <class App> class OfficeApplicationOf : public OfficeApplication {
public:
    // The first running instance, or nullptr (`GetObject`).
    static App *running() { return firstRunningOf<App>(); }
    static QList<App *> instances() { return runningOf<App>(); }
    // Installed once at start-up by the kind's window library; nullptr leaves its files without windows.
    static void setWindowHost(WindowHost *host) { hostSlot() = host; }

protected:
    OfficeApplicationOf()
        : OfficeApplication(&hostSlot()) {}

private:
    static WindowHost *&hostSlot() {
        static WindowHost *host = nullptr;
        return host;
    }
};

} // namespace tavlo::office
