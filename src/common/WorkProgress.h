#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

// Long work on the window's own thread: while it lives the pointer shows busy, and once the work has
// run for a moment a progress window with a cancel button appears. update() lets the window process its
// events now and then, so the cancel button (and timers, sockets) keep working.
class WorkProgress {
public:
    WorkProgress(QWidget *window, const QString &label);
    ~WorkProgress();
    WorkProgress(const WorkProgress &) = delete;
    WorkProgress &operator=(const WorkProgress &) = delete;

    // False once the user has cancelled.
    bool update(qint64 done, qint64 total);
    bool wasCancelled() const;
    QProgressDialog *dialog() const { return m_dialog; }

private:
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_sinceEvents;
};
