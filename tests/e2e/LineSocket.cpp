#include "LineSocket.h"

#include "platform/text/TextCodec.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTest>

LineSocket::LineSocket()
    : LineSocket(new QTcpSocket) {}

LineSocket::LineSocket(QTcpSocket *socket)
    : m_socket(socket) {
    m_socket->setParent(nullptr); // a server's connection would go with the server
}

void LineSocket::send(const QString &line) {
    m_socket->write(tavlo::text::toWire(line + QStringLiteral("\r\n")));
    m_socket->flush();
}

QStringList LineSocket::read(int count, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_lines.size() < count && !deadline.hasExpired()) {
        m_socket->waitForReadyRead(100);
        m_pending += m_socket->readAll();
        for (qsizetype cut = m_pending.indexOf("\r\n"); cut >= 0; cut = m_pending.indexOf("\r\n")) {
            m_lines.append(tavlo::text::fromWire(m_pending.left(cut)));
            m_pending.remove(0, cut + 2);
        }
    }
    return m_lines;
}

bool LineSocket::readUntil(const std::function<bool(const QStringList &)> &done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done(m_lines) && !deadline.hasExpired())
        read(int(m_lines.size()) + 1, int(qMax<qint64>(1, deadline.remainingTime())));
    return done(m_lines);
}

bool LineSocket::readUntilLine(const QString &start, int timeoutMs) {
    return readUntil(
        [&start](const QStringList &lines) {
            return std::any_of(lines.begin(), lines.end(),
                               [&start](const QString &line) { return line.startsWith(start); });
        },
        timeoutMs);
}

bool LineSocket::connectWhenListening(quint16 port) {
    return QTest::qWaitFor(
        [&] {
            m_socket->abort();
            m_socket->connectToHost(QHostAddress::LocalHost, port);
            return m_socket->waitForConnected(500);
        },
        60000);
}

bool LineSocket::join(quint16 port, const QString &id, int timeoutMs) {
    if (!connectWhenListening(port))
        return false;
    send(QStringLiteral("[加入]") + id);
    return readUntilLine(QStringLiteral("[定制信息]"), timeoutMs);
}

std::unique_ptr<LineSocket> LineSocket::acceptMember(QTcpServer &host) {
    const QDeadlineTimer deadline(120000); // an instrumented build starting on a busy machine
    while (!deadline.hasExpired()) {
        // One wake-up may accept several connections (the program's probe of the port, then its join):
        // those already accepted are taken before waiting for more.
        if (!host.hasPendingConnections() && !host.waitForNewConnection(200))
            continue;
        auto member = std::make_unique<LineSocket>(host.nextPendingConnection());
        if (!member->read(1, 5000).isEmpty())
            return member;
    }
    return nullptr;
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}
