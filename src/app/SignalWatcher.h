#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (logout) into a Qt signal delivered on the event loop, so the
// program can close its window normally and save its settings.
class SignalWatcher : public QObject {
    Q_OBJECT

public:
    // Catches the signals from now on, before any event loop or window exists: one that arrives early
    // waits and is delivered once a watcher is made and the event loop runs. Call it first in main().
    static void catchSignals();

    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier *m_notifier = nullptr;
};
