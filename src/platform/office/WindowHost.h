#pragma once

class QWidget;

namespace tavlo::office {

class OfficeFile;

// What a window library does for the open files of one kind of embedded program: one window per file,
// made on first use. The program's core calls it only when one is installed; without one the files
// have no windows and `Visible` is only a flag (a program that merely stores and reads files).
class WindowHost {
public:
    virtual ~WindowHost() = default;

    // The window of `file`, made first when `make` is true; nullptr when it has none.
    virtual QWidget *windowOf(OfficeFile *file, bool make) = 0;
    // Shows the file's window (one not shown yet opens beside the main window) and raises it.
    virtual void show(OfficeFile *file) = 0;
    virtual void hide(OfficeFile *file) = 0;
    // Shows, raises and activates the file's window.
    virtual void bringToFront(OfficeFile *file) = 0;
    // A shown window whose file has unsaved changes asks the user whether to save them.
    virtual void askToSave(OfficeFile *file) = 0;
    // The file closed: its window hides and goes later (`now` false); the file is being destroyed: its
    // window goes at once (`now` true).
    virtual void release(OfficeFile *file, bool now) = 0;
};

} // namespace tavlo::office
