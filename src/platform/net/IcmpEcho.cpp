#include "IcmpEcho.h"

#include "IcmpPacket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
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

// Waits for the reply, keeping the event loop running; without an application object it blocks.
bool waitForReply(const IcmpSocket &socket, quint32 address, const icmp::EchoMatch &match, int timeoutMs,
                  EchoReply &reply) {
    if (!QCoreApplication::instance()) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            const int left = timeoutMs - int(clock.elapsed());
            if (left <= 0)
                return false;
            pollfd p{socket.fd(), POLLIN, 0};
            if (::poll(&p, 1, left) > 0 && readReplies(socket, address, match, reply))
                return true;
        }
    }
    bool answered = false;
    QEventLoop loop;
    QSocketNotifier notifier(qintptr(socket.fd()), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        if (readReplies(socket, address, match, reply)) {
            answered = true;
            loop.quit();
        }
    });
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait up to 5 % early
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    // Data may have come before the notifier existed.
    if (readReplies(socket, address, match, reply))
        return true;
    loop.exec();
    return answered;
}

} // namespace

EchoMethod AvailableEchoMethod() {
    const IcmpSocket socket;
    return socket.method();
}

int SendEcho(quint32 address, const QByteArray &data, int timeoutMs, EchoReply &reply) {
    reply = EchoReply{};
    const IcmpSocket socket;
    if (socket.method() == EchoMethod::Unavailable) {
        reply.status = kEchoUnavailable;
        return -int(reply.status);
    }
    icmp::EchoMatch match;
    match.identifier = quint16(QRandomGenerator::global()->generate());
    match.sequence = quint16(QRandomGenerator::global()->generate());
    match.checkIdentifier = socket.method() == EchoMethod::Raw;

    const QByteArray request = icmp::BuildEchoRequest(match.identifier, match.sequence, data);
    const sockaddr_in to = socketAddress(address);
    QElapsedTimer clock;
    clock.start();
    if (::sendto(socket.fd(), request.constData(), size_t(request.size()), 0,
                 reinterpret_cast<const sockaddr *>(&to), sizeof to) < 0) {
        reply.status = kEchoDestinationUnreachable;
        return -int(reply.status);
    }
    if (!waitForReply(socket, address, match, timeoutMs, reply)) {
        reply = EchoReply{};
        reply.status = kEchoTimedOut;
        return -int(reply.status);
    }
    reply.roundTripTime = quint32(clock.elapsed());
    return int(reply.roundTripTime);
}

#else

EchoMethod AvailableEchoMethod() {
    return EchoMethod::Unavailable;
}

int SendEcho(quint32, const QByteArray &, int, EchoReply &reply) {
    reply = EchoReply{};
    reply.status = kEchoUnavailable;
    return -int(reply.status);
}

#endif

} // namespace tavlo::net
