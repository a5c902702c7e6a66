#include "OfficeFile.h"

#include "OfficeApplication.h"
#include "WindowHost.h"

#include <QFileInfo>

namespace tavlo::office {

OfficeFile::OfficeFile(OfficeApplication *application, const QString &name, const QString &fullName)
    : QObject(application)
    , m_name(name)
    , m_fullName(fullName)
    , m_application(application)
    , m_windows(application ? application->m_windows : nullptr) {}

OfficeApplication *OfficeFile::officeApplication() const {
    return m_application;
}

OfficeFile::~OfficeFile() = default;

void OfficeFile::dropWindow() {
    if (WindowHost *host = windowHost())
        host->release(this, true);
}

void OfficeFile::adoptSavedPath(const QString &path) {
    const QFileInfo file(path);
    m_fullName = file.absoluteFilePath();
    if (file.fileName() != m_name) {
        m_name = file.fileName();
        emit nameChanged(m_name);
    }
}

void OfficeFile::setSaved(bool saved) {
    if (m_saved == saved || m_closed)
        return;
    m_saved = saved;
    emit savedChanged(saved);
}

void OfficeFile::Close() {
    if (m_closed)
        return;
    m_closed = true;
    if (WindowHost *host = windowHost())
        host->release(this, false);
    if (m_application)
        m_application->forgetFile(this);
    emit closed();
    deleteLater();
}

QWidget *OfficeFile::window() {
    WindowHost *host = windowHost();
    return m_closed || !host ? nullptr : host->windowOf(this, true);
}

bool OfficeFile::hasWindow() const {
    WindowHost *host = windowHost();
    return host && host->windowOf(const_cast<OfficeFile *>(this), false);
}

} // namespace tavlo::office
