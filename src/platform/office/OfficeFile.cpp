#include "OfficeFile.h"

#include "OfficeApplication.h"
#include "WindowHost.h"

namespace tavlo::office {

OfficeFile::OfficeFile(OfficeApplication *application, const QString &name, const QString &fullName)
    : QObject(application)
    , m_name(name)
    , m_fullName(fullName)
    , m_application(application) {}

OfficeApplication *OfficeFile::officeApplication() const {
    return m_application;
}

OfficeFile::~OfficeFile() = default;

void OfficeFile::dropWindow() {
    if (m_application)
        if (WindowHost *host = m_application->windowHost())
            host->release(this, true);
}

void OfficeFile::Close() {
    if (m_closed)
        return;
    m_closed = true;
    if (m_application) {
        if (WindowHost *host = m_application->windowHost())
            host->release(this, false);
        m_application->forgetFile(this);
    }
    emit closed();
    deleteLater();
}

QWidget *OfficeFile::window() {
    if (m_closed || !m_application)
        return nullptr;
    WindowHost *host = m_application->windowHost();
    return host ? host->windowOf(this, true) : nullptr;
}

bool OfficeFile::hasWindow() const {
    if (!m_application)
        return false;
    WindowHost *host = m_application->windowHost();
    return host && host->windowOf(const_cast<OfficeFile *>(this), false);
}

} // namespace tavlo::office
