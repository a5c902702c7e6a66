#include "WorkProgress.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>

namespace {
constexpr int kSteps = 1000;
// Shorter work finishes without a progress window flashing up.
constexpr int kShowAfterMs = 400;
// How often the window's events run during the work.
constexpr int kEventsEveryMs = 40;
} // namespace

WorkProgress::WorkProgress(QWidget *window, const QString &label)
    : m_dialog(new QProgressDialog(label, QStringLiteral("取消"), 0, kSteps, window)) {
    m_dialog->setWindowTitle(label);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(kShowAfterMs);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(); // paint the status line before the work starts
    m_sinceEvents.start();
}

WorkProgress::~WorkProgress() {
    QGuiApplication::restoreOverrideCursor();
    delete m_dialog.data();
}

bool WorkProgress::update(qint64 done, qint64 total) {
    if (!m_dialog)
        return false;
    if (m_sinceEvents.elapsed() >= kEventsEveryMs) {
        if (total > 0)
            m_dialog->setValue(
                static_cast<int>(qBound<qint64>(0, done * kSteps / total, qint64(kSteps - 1))));
        QCoreApplication::processEvents();
        m_sinceEvents.restart();
    }
    return !wasCancelled();
}

bool WorkProgress::wasCancelled() const {
    return !m_dialog || m_dialog->wasCanceled();
}
