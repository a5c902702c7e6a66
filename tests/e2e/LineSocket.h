#pragma once

#include <QStringList>
#include <QTcpSocket>

#include <functional>
#include <memory>

class QTcpServer;

// A loopback connection that speaks the session's GB18030 lines, with every line read from it so far.
class LineSocket {
public:
    LineSocket();
    explicit LineSocket(QTcpSocket *socket); // takes the socket over

    QTcpSocket &socket() { return *m_socket; }
    void send(const QString &line);

    // Waits until `count` lines have come (or the time is up) and returns what came.
    QStringList read(int count, int timeoutMs = 10000);
    // Reads until what came satisfies `done` (or the time is up); whether it does.
    bool readUntil(const std::function<bool(const QStringList &)> &done, int timeoutMs = 20000);
    // Reads until a line starting with `start` has come; whether one did.
    bool readUntilLine(const QString &start, int timeoutMs = 20000);
    const QStringList &lines() const { return m_lines; }

    // Connects once the program listens on the port (it hosts once its event loop runs).
    bool connectWhenListening(quint16 port);
    // Connects, joins as `id` and reads the host's answer up to its last line, "[定制信息]".
    bool join(quint16 port, const QString &id, int timeoutMs = 60000);

    // The connection of a joining `tavlo` once it has sent its first line (where this system allows no
    // echo, a join first probes the port with a connection that sends nothing: that one is passed over).
    static std::unique_ptr<LineSocket> acceptMember(QTcpServer &host);

private:
    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_pending;
    QStringList m_lines;
};

// A free TCP port on this computer.
quint16 freePort();
