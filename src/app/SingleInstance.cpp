#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_key(keyFor(dataFolder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString &dataFolder) {
    const QByteArray folder = QDir(dataFolder).absolutePath().toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("tavlo-") + QString::fromLatin1(hash);
}

bool SingleInstance::acquire() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    QDir().mkpath(runtime);
    m_lock = std::make_unique<QLockFile>(runtime + u'/' + m_key + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // a lock left by a crashed copy is recognised by its dead process
    if (!m_lock->tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(m_key);
        if (socket.waitForConnected(500)) {
            socket.write("show\n");
            socket.waitForBytesWritten(500);
        }
        return false;
    }
    QLocalServer::removeServer(m_key);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            peer->deleteLater();
            emit activationRequested();
        }
    });
    m_server->listen(m_key);
    return true;
}
