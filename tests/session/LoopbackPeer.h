#pragma once

#include "platform/text/TextCodec.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#endif

// A plain TCP peer on loopback that speaks the session's GB18030 lines, for talking to a Session from
// the outside. Collects every complete line it receives.
class LoopbackPeer : public QObject {
public:
    explicit LoopbackPeer(QTcpSocket *socket = new QTcpSocket, QObject *parent = nullptr)
        : QObject(parent)
        , m_socket(socket) {
        m_socket->setParent(this);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] {
            m_pending += m_socket->readAll();
            for (qsizetype cut = m_pending.indexOf("\r\n"); cut >= 0; cut = m_pending.indexOf("\r\n")) {
                m_lines.append(tavlo::text::fromWire(m_pending.left(cut)));
                m_pending.remove(0, cut + 2);
            }
        });
    }

    // Connects from `from` (any 127.x.y.z address) to 127.0.0.1:port.
    bool connectTo(quint16 port, const QString &from = QStringLiteral("127.0.0.1")) {
        m_socket->bind(QHostAddress(from), 0);
        m_socket->connectToHost(QHostAddress::LocalHost, port);
        return m_socket->waitForConnected(5000);
    }

    void sendRaw(const QByteArray &bytes) {
        m_socket->write(bytes);
        m_socket->flush();
    }
    void send(const QString &line) { sendRaw(tavlo::text::toWire(line + QStringLiteral("\r\n"))); }

    const QStringList &lines() const { return m_lines; }
    // Lines received since the last call.
    QStringList takeLines() {
        QStringList taken = m_lines;
        m_lines.clear();
        return taken;
    }
    bool waitForLines(int count, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return m_lines.size() >= count; }, timeoutMs);
    }
    bool isConnected() const { return m_socket->state() == QAbstractSocket::ConnectedState; }
    // Bytes that reached this peer and were not read yet, the system's receive buffer included.
    qint64 unread() const { return unreadBytes(m_socket); }
    // The same for any socket.
    static qint64 unreadBytes(const QTcpSocket *socket) {
        qint64 waiting = socket->bytesAvailable();
#ifdef Q_OS_UNIX
        int inSystem = 0;
        if (socket->state() == QAbstractSocket::ConnectedState &&
            ::ioctl(int(socket->socketDescriptor()), FIONREAD, &inSystem) == 0)
            waiting += inSystem;
#endif
        return waiting;
    }
    bool waitForClose(int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return !isConnected(); }, timeoutMs);
    }
    void close() {
        m_socket->disconnectFromHost();
    }
    QTcpSocket *socket() const {
        return m_socket;
    }

private:
    QTcpSocket *m_socket;
    QByteArray m_pending;
    QStringList m_lines;
};

// A plain listener on 127.0.0.1 standing in for a host: keeps every peer that connects.
class LoopbackHost : public QObject {
public:
    LoopbackHost() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                m_peers.append(new LoopbackPeer(s, this));
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_server.serverPort(); }
    QList<LoopbackPeer *> &peers() { return m_peers; }
    bool waitForPeer(int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return !m_peers.isEmpty(); }, timeoutMs);
    }
    void stopListening() { m_server.close(); }

private:
    QTcpServer m_server;
    QList<LoopbackPeer *> m_peers;
};
