#pragma once

#include "platform/office/WindowHost.h"

#include <QHash>
#include <QPointer>

#include <functional>

namespace tavlo::window {

class FileWindow;

// The windows of one kind of embedded program's files, made by `make` on first use, for a program
// with a graphical user interface only. A window not yet on screen opens beside the main window.
class FileWindows : public office::WindowHost {
public:
    using Maker = std::function<FileWindow *(office::OfficeFile *file)>;
    explicit FileWindows(Maker make)
        : m_make(std::move(make)) {}

    QWidget *windowOf(office::OfficeFile *file, bool make) override;
    void show(office::OfficeFile *file) override;
    void hide(office::OfficeFile *file) override;
    void bringToFront(office::OfficeFile *file) override;
    void askToSave(office::OfficeFile *file) override;
    void release(office::OfficeFile *file, bool now) override;

private:
    FileWindow *existing(office::OfficeFile *file) const;

    Maker m_make;
    QHash<const office::OfficeFile *, QPointer<FileWindow>> m_windows;
};

} // namespace tavlo::window
