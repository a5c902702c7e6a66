#pragma once

#include <QLockFile>
#include <QObject>

#include <memory>

class QLocalServer;

// One running copy per data folder (and so per user: the default data folder is the user's own).
// The first copy holds a lock in the user's runtime folder and listens for later starts, which only
// ask it to come to the front and then end.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy; otherwise the running copy has been asked to show itself.
    bool acquire();

    // The name shared by the lock file and the local socket, derived from the data folder.
    static QString keyFor(const QString &dataFolder);

signals:
    void activationRequested();

private:
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
