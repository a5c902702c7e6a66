#pragma once

#include <QMainWindow>
#include <QPointer>

namespace tavlo::office {
class OfficeFile;
}

namespace tavlo::window {

// The shell of the window of an embedded program's file (a workbook, a document): saving, the question
// about unsaved changes, and closing the window closes the file after that question.
class FileWindow : public QMainWindow {
    Q_OBJECT

public:
    // Saves to the file's own file when it has one, else asks for a name; false when not saved.
    virtual bool save() = 0;
    // Asks for a file name and saves there; false when not saved.
    virtual bool saveAsDialog() = 0;
    // Saves under `path` (the format by its extension) and reports the result in the status line.
    virtual bool saveTo(const QString &path) = 0;
    // For a file with unsaved changes: asks Save / Don't save (and Cancel when `allowCancel`). True when
    // the changes were saved or may be dropped. A save that does not happen (its dialog cancelled, the
    // disk full) brings the question back.
    bool askToSave(bool allowCancel);

protected:
    explicit FileWindow(office::OfficeFile *file, QWidget *parent = nullptr);
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<office::OfficeFile> m_file;
};

} // namespace tavlo::window
