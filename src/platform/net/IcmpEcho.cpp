#include "IcmpEcho.h"

#include "IcmpPacket.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>

namespace tavlo::net {

quint32 ParseIPv4(const QString &address) {
    const QStringList parts = address.split(u'.');
    if (parts.size() != 4)
        return 0;
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        const quint32 part = quint32(parts[i].trimmed().toLongLong() & 0xFF);
        value |= part << (8 * i);
    }
    return value;
}

QString FormatIPv4(quint32 address) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 24) & 0xFF);
}

#ifdef Q_OS_UNIX

namespace {

// An ICMP socket closed when it goes out of scope.
class IcmpSocket {
public:
    IcmpSocket() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (m_fd >= 0) {
            m_method = EchoMethod::Datagram;
            return;
        }
        m_fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (m_fd >= 0)
            m_method = EchoMethod::Raw;
    }
    ~IcmpSocket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    int fd() const { return m_fd; }
    EchoMethod method() const { return m_method; }

private:
    int m_fd = -1;
    EchoMethod m_method = EchoMethod::Unavailable;
};

sockaddr_in socketAddress(quint32 address) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    // ParseIPv4 keeps the first part in the lowest byte, which is the order in memory on the wire.
    const quint32 inMemory = qToLittleEndian(address);
    std::memcpy(&to.sin_addr.s_addr, &inMemory, sizeof inMemory);
    return to;
}

quint32 parsedAddress(const sockaddr_in &from) {
    quint32 inMemory = 0;
    std::memcpy(&inMemory, &from.sin_addr.s_addr, sizeof inMemory);
    return qFromLittleEndian(inMemory);
}

// Reads every waiting datagram; true once the expected reply from `address` was among them.
bool readReplies(const IcmpSocket &socket, quint32 address, const icmp::EchoMatch &match, EchoReply &reply) {
    QByteArray buffer(65536, '\0');
    for (;;) {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(socket.fd(), buffer.data(), size_t(buffer.size()), 0,
                                     reinterpret_cast<sockaddr *>(&from), &fromLength);
        if (n < 0)
            return false; // nothing more waiting (or an error, which the time-out covers)
        if (parsedAddress(from) != address)
            continue;
        QByteArray data;
        quint8 ttl = 0;
        if (!icmp::ReadEchoReply(buffer.left(n), socket.method() == EchoMethod::Raw, match, &data, &ttl))
            continue;
        reply.address = address;
        reply.status = kEchoSuccess;
        reply.ttl = ttl;
        reply.data = data;
        return true;
    }
}

// One echo on its way: its socket, the wait for the reply and the time-out. It lives as a child of the
// caller's context object, so it goes (and the echo is called off) when the context goes.
class PendingEcho : public QObject {
public:
    PendingEcho(quint32 address, EchoDone done, QObject *context)
        : QObject(context)
        , m_address(address)
        , m_done(std::move(done)) {}

    void start(const QByteArray &data, int timeoutMs) {
        if (m_socket.method() == EchoMethod::Unavailable)
            return finish(kEchoUnavailable);
        m_match.identifier = quint16(QRandomGenerator::global()->generate());
        m_match.sequence = quint16(QRandomGenerator::global()->generate());
        m_match.checkIdentifier = m_socket.method() == EchoMethod::Raw;
        const QByteArray request = icmp::BuildEchoRequest(m_match.identifier, m_match.sequence, data);
        const sockaddr_in to = socketAddress(m_address);
        m_clock.start();
        if (::sendto(m_socket.fd(), request.constData(), size_t(request.size()), 0,
                     reinterpret_cast<const sockaddr *>(&to), sizeof to) < 0)
            return finish(kEchoDestinationUnreachable);
        auto *notifier = new QSocketNotifier(qintptr(m_socket.fd()), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            if (readReplies(m_socket, m_address, m_match, m_reply))
                finish(kEchoSuccess);
        });
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait up to 5 % early
        // A reply that came in time counts even when this process was too busy to see it before the
        // time-out: the socket is read once more first.
        connect(timer, &QTimer::timeout, this, [this] {
            finish(readReplies(m_socket, m_address, m_match, m_reply) ? kEchoSuccess : kEchoTimedOut);
        });
        timer->start(timeoutMs);
    }

private:
    // Reports from the event loop, never from inside start(), and only while the context is there.
    void finish(quint32 status) {
        if (!m_done)
            return;
        EchoReply reply;
        if (status == kEchoSuccess) {
            reply = m_reply;
            reply.roundTripTime = quint32(m_clock.elapsed());
        }
        reply.status = status;
        const int result = status == kEchoSuccess ? int(reply.roundTripTime) : -int(status);
        QMetaObject::invokeMethod(
            parent(), [done = std::move(m_done), result, reply] { done(result, reply); },
            Qt::QueuedConnection);
        m_done = nullptr;
        deleteLater();
    }

    const IcmpSocket m_socket;
    const quint32 m_address;
    EchoDone m_done;
    icmp::EchoMatch m_match;
    EchoReply m_reply;
    QElapsedTimer m_clock;
};

} // namespace

EchoMethod AvailableEchoMethod() {
    const IcmpSocket socket;
    return socket.method();
}

void StartEcho(quint32 address, const QByteArray &data, int timeoutMs, QObject *context, EchoDone done) {
    (new PendingEcho(address, std::move(done), context))->start(data, timeoutMs);
}

#else

EchoMethod AvailableEchoMethod() {
    return EchoMethod::Unavailable;
}

void StartEcho(quint32, const QByteArray &, int, QObject *context, EchoDone done) {
    QMetaObject::invokeMethod(
        context,
        [done = std::move(done)] {
            EchoReply reply;
            reply.status = kEchoUnavailable;
            done(-int(reply.status), reply);
        },
        Qt::QueuedConnection);
}

#endif

} // namespace tavlo::net
