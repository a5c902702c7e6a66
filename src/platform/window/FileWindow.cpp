#include "FileWindow.h"

#include "platform/office/OfficeFile.h"

#include <QCloseEvent>
#include <QMessageBox>

namespace tavlo::window {

FileWindow::FileWindow(office::OfficeFile *file, QWidget *parent)
    : QMainWindow(parent)
    , m_file(file) {}

bool FileWindow::askToSave(bool allowCancel) {
    if (!m_file || m_file->Saved())
        return true;
    QMessageBox::StandardButtons buttons = QMessageBox::Save | QMessageBox::Discard;
    if (allowCancel)
        buttons |= QMessageBox::Cancel;
    // A save that did not happen (its dialog cancelled, the disk full) asks again: the changes go only
    // when the user says so.
    for (;;) {
        const auto answer = QMessageBox::question(
            this, windowTitle(), QStringLiteral("是否保存对“%1”的更改？").arg(m_file->Name()), buttons,
            QMessageBox::Save);
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Discard || save() || !m_file)
            return true;
    }
}

void FileWindow::closeEvent(QCloseEvent *event) {
    if (!askToSave(true)) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_file)
        m_file->Close();
}

} // namespace tavlo::window
