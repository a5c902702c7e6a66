#include "FileWindows.h"

#include "FileWindow.h"
#include "WindowPlacement.h"

#include <QApplication>

namespace tavlo::window {

FileWindow *FileWindows::existing(office::OfficeFile *file) const {
    return m_windows.value(file);
}

QWidget *FileWindows::windowOf(office::OfficeFile *file, bool make) {
    if (FileWindow *window = existing(file))
        return window;
    if (!make || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    FileWindow *window = m_make(file);
    m_windows.insert(file, window);
    return window;
}

void FileWindows::show(office::OfficeFile *file) {
    if (QWidget *window = windowOf(file, true)) {
        if (!window->isVisible())
            placeBesideMainWindow(window);
        window->show();
        window->raise();
    }
}

void FileWindows::hide(office::OfficeFile *file) {
    if (FileWindow *window = existing(file))
        window->hide();
}

void FileWindows::bringToFront(office::OfficeFile *file) {
    if (QWidget *window = windowOf(file, true)) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void FileWindows::askToSave(office::OfficeFile *file) {
    FileWindow *window = existing(file);
    if (window && window->isVisible())
        window->askToSave(false);
}

void FileWindows::release(office::OfficeFile *file, bool now) {
    if (now) {
        // The file is going: so is its window, should it still wait for the event loop.
        delete m_windows.take(file).data();
        return;
    }
    if (FileWindow *window = existing(file)) {
        window->hide();
        window->deleteLater();
    }
}

} // namespace tavlo::window
