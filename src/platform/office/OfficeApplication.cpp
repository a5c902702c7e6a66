#include "OfficeApplication.h"

#include "OfficeFile.h"
#include "WindowHost.h"

namespace tavlo::office {

// The running instances of every embedded program, like the table of running objects a program attaches
// to. An application enters it when made and leaves it when it quits or is destroyed.
QList<OfficeApplication *> &OfficeApplication::runningTable() {
    static QList<OfficeApplication *> table;
    return table;
}

OfficeApplication::OfficeApplication(WindowHost *const *windows)
    : m_windows(windows) {
    runningTable().append(this);
}

OfficeApplication::~OfficeApplication() {
    runningTable().removeAll(this);
    // Destroyed without quitting: the files' windows go with it.
    if (WindowHost *host = windowHost())
        for (OfficeFile *file : std::as_const(m_files))
            host->release(file, true);
}

void OfficeApplication::setVisible(bool visible) {
    if (m_quit || m_visible == visible)
        return;
    m_visible = visible;
    if (WindowHost *host = windowHost()) {
        for (OfficeFile *file : std::as_const(m_files)) {
            if (visible)
                host->show(file);
            else
                host->hide(file);
        }
    }
    emit visibleChanged(visible);
}

void OfficeApplication::bringToFront() {
    if (!m_visible || m_files.isEmpty())
        return;
    if (WindowHost *host = windowHost())
        host->bringToFront(m_files.last());
}

void OfficeApplication::askToSaveChanges() {
    WindowHost *host = windowHost();
    if (!host)
        return;
    const QList<OfficeFile *> files = m_files;
    for (OfficeFile *file : files)
        if (!file->Saved())
            host->askToSave(file);
}

void OfficeApplication::adoptFile(OfficeFile *file) {
    m_files.append(file);
    if (m_visible)
        if (WindowHost *host = windowHost())
            host->show(file);
}

void OfficeApplication::forgetFile(OfficeFile *file) {
    if (m_files.removeAll(file) > 0)
        fileForgotten(file);
}

void OfficeApplication::fileForgotten(OfficeFile *) {}

void OfficeApplication::closeEverything() {
    const QList<OfficeFile *> open = m_files;
    for (OfficeFile *file : open)
        file->Close();
}

void OfficeApplication::Quit() {
    if (m_quit)
        return;
    // Files close first: their windows go, and watchers see them closed before the application ends.
    closeEverything();
    m_quit = true;
    runningTable().removeAll(this);
    emit quitting();
    deleteLater();
}

} // namespace tavlo::office
