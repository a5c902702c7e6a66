#include "SessionSockets.h"

#include "WireFormat.h"
#include "platform/net/IcmpEcho.h"
#include "platform/text/TextCodec.h"

#include <QNetworkInterface>
#include <QPointer>
#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// A closing slot that still has data to hand over gets this long before it is cut.
constexpr int kGracefulCloseMs = 3000;

QString dottedIPv4(const QHostAddress &address) {
    bool ok = false;
    const quint32 value = address.toIPv4Address(&ok);
    return ok ? QHostAddress(value).toString() : QString();
}

void setKeepAlive(QTcpSocket *socket) {
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    const int fd = int(socket->socketDescriptor());
    if (fd < 0)
        return;
    const int idle = SessionSockets::kKeepAliveIdleSeconds;
    const int interval = SessionSockets::kKeepAliveIntervalSeconds;
    const int probes = SessionSockets::kKeepAliveProbes;
    const unsigned int userTimeout = SessionSockets::kUserTimeoutMs;
    // Best effort: where an option is refused the connection still works, only noticed later.
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
#endif
}

void configure(QTcpSocket *socket) {
    // Every line is its own small write; do not let the system hold it back to merge it.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // A member whose computer vanishes (cable, power) never closes: let the system find out.
    setKeepAlive(socket);
}

} // namespace

// The listening socket: hands each incoming connection to the slot array instead of queueing it.
class SessionSockets::Listener : public QTcpServer {
public:
    explicit Listener(SessionSockets *owner)
        : QTcpServer(owner)
        , m_owner(owner) {}

protected:
    void incomingConnection(qintptr handle) override { m_owner->onConnectionRequest(handle); }

private:
    SessionSockets *m_owner;
};

SessionSockets::SessionSockets(QObject *parent)
    : QObject(parent)
    , sckConnect(new QTcpSocket(this))
    , m_listener(new Listener(this))
    , m_joinWatch(new QTimer(this))
    , m_refusalReport(new QTimer(this)) {
    connect(m_joinWatch, &QTimer::timeout, this, &SessionSockets::closeLateConnections);
    m_refusalReport->setSingleShot(true);
    m_refusalReport->setInterval(kRefusalReportMs);
    connect(m_refusalReport, &QTimer::timeout, this, &SessionSockets::reportRefusals);
    // Taking a connection can fail (no descriptor left for a moment); listening goes on shortly after
    // instead of stopping for good.
    connect(m_listener, &QTcpServer::acceptError, this, [this] {
        m_listener->pauseAccepting();
        QTimer::singleShot(100, m_listener, [this] { m_listener->resumeAccepting(); });
    });
    sckConnect->setObjectName(QStringLiteral("sckConnect"));
    sckConnect->setReadBufferSize(kReadBufferBytes);
    m_slots.push_back(nullptr);
    connect(sckConnect, &QTcpSocket::connected, this, [this] {
        configure(sckConnect);
        emit memberConnected();
    });
    connect(sckConnect, &QTcpSocket::readyRead, this, &SessionSockets::onMemberReadyRead);
    connect(sckConnect, &QTcpSocket::disconnected, this, &SessionSockets::onMemberDisconnected);
    connect(sckConnect, &QTcpSocket::errorOccurred, this, &SessionSockets::onMemberError);
    connect(sckConnect, &QTcpSocket::bytesWritten, this, &SessionSockets::writable);
}

SessionSockets::~SessionSockets() {
    // Leave quietly: no handler is to run for sockets that close as this object goes.
    for (auto &slot : m_slots) {
        if (slot)
            slot->socket->disconnect(this);
    }
    sckConnect->disconnect(this);
}

void SessionSockets::setMaxLineBytes(qsizetype bytes) {
    m_maxLineBytes = bytes;
    m_memberFramer = LineFramer(bytes);
}

bool SessionSockets::listen(quint16 port, QAbstractSocket::SocketError *error) {
    m_listener->close();
    const bool ok = m_listener->listen(m_listenAddress, port);
    if (error)
        *error = ok ? QAbstractSocket::UnknownSocketError : m_listener->serverError();
    return ok;
}

bool SessionSockets::isListening() const {
    return m_listener->isListening();
}

quint16 SessionSockets::listeningPort() const {
    return m_listener->serverPort();
}

QTcpSocket *SessionSockets::slotSocket(int n) const {
    if (n < 1 || n >= int(m_slots.size()))
        return nullptr;
    return m_slots[size_t(n)]->socket;
}

bool SessionSockets::isSlotConnected(int n) const {
    const QTcpSocket *socket = slotSocket(n);
    return socket && socket->state() == QAbstractSocket::ConnectedState;
}

bool SessionSockets::isSlotClosed(int n) const {
    const QTcpSocket *socket = slotSocket(n);
    return !socket || socket->state() == QAbstractSocket::UnconnectedState;
}

bool SessionSockets::anySlotConnected() const {
    for (int n = 1; n <= slotCount(); ++n) {
        if (isSlotConnected(n))
            return true;
    }
    return false;
}

QString SessionSockets::RemoteAddress(int n) const {
    const QTcpSocket *socket = slotSocket(n);
    return socket ? dottedIPv4(socket->peerAddress()) : QString();
}

quint64 SessionSockets::connectionId(int n) const {
    return slotSocket(n) ? m_slots[size_t(n)]->generation : 0;
}

QString SessionSockets::listenerAddress() const {
    const QString bound = dottedIPv4(m_listener->serverAddress());
    if (!bound.isEmpty() && m_listener->serverAddress() != QHostAddress(QHostAddress::AnyIPv4))
        return bound;
    const auto addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &a : addresses) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

void SessionSockets::setJoinLimits(int maxWaiting, int deadlineMs) {
    m_maxWaiting = maxWaiting;
    m_joinDeadlineMs = deadlineMs;
}

void SessionSockets::markJoined(int n) {
    if (slotSocket(n))
        m_slots[size_t(n)]->joined = true;
}

int SessionSockets::waitingConnections() const {
    int waiting = 0;
    for (int n = 1; n <= slotCount(); ++n) {
        if (!m_slots[size_t(n)]->joined && isSlotConnected(n))
            ++waiting;
    }
    return waiting;
}

bool SessionSockets::descriptorsToSpare() const {
#ifdef Q_OS_LINUX
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return true;
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return true;
    rlim_t open = 0;
    while (::readdir(dir))
        ++open;
    ::closedir(dir);
    // The count includes ".", ".." and the listing's own descriptor; the new connection's descriptor
    // is open already.
    return open - 3 + kReservedDescriptors <= limit.rlim_cur;
#else
    return true;
#endif
}

void SessionSockets::refuse(qintptr requestId, int &counter) {
#ifdef Q_OS_UNIX
    ::close(int(requestId));
#else
    QTcpSocket discard;
    discard.setSocketDescriptor(requestId);
    discard.abort();
#endif
    ++counter;
    if (!m_refusalReport->isActive())
        m_refusalReport->start();
}

void SessionSockets::reportRefusals() {
    const int waiting = std::exchange(m_refusedWaiting, 0);
    const int descriptors = std::exchange(m_refusedDescriptors, 0);
    const int late = std::exchange(m_closedLate, 0);
    if (waiting + descriptors + late > 0)
        emit connectionsRefused(waiting, descriptors, late);
}

void SessionSockets::closeLateConnections() {
    bool anyWaiting = false;
    for (int n = 1; n <= slotCount(); ++n) {
        Slot &slot = *m_slots[size_t(n)];
        if (slot.joined || !isSlotConnected(n))
            continue;
        if (slot.accepted.elapsed() < m_joinDeadlineMs) {
            anyWaiting = true;
            continue;
        }
        closeSlot(n);
        ++m_closedLate;
        if (!m_refusalReport->isActive())
            m_refusalReport->start();
    }
    if (!anyWaiting)
        m_joinWatch->stop();
}

bool SessionSockets::makeRoomForNewcomer() {
    // The connection that has waited longest goes: a member announces itself at once, so whoever
    // holds many silent connections cannot keep a newcomer out.
    int oldest = 0;
    for (int n = 1; n <= slotCount(); ++n) {
        const Slot &slot = *m_slots[size_t(n)];
        if (slot.joined || !isSlotConnected(n))
            continue;
        if (oldest == 0 || slot.acceptOrder < m_slots[size_t(oldest)]->acceptOrder)
            oldest = n;
    }
    if (oldest == 0)
        return false;
    closeSlot(oldest);
    ++m_refusedWaiting;
    if (!m_refusalReport->isActive())
        m_refusalReport->start();
    return true;
}

void SessionSockets::onConnectionRequest(qintptr requestId) {
    while (waitingConnections() >= qMax(1, m_maxWaiting) && makeRoomForNewcomer()) {
    }
    if (!descriptorsToSpare())
        return refuse(requestId, m_refusedDescriptors);
    int n = 1;
    while (n <= slotCount() && !isSlotClosed(n))
        ++n;
    if (n > kMaxSlots)
        return refuse(requestId, m_refusedDescriptors); // no connection number left for it
    if (n > slotCount()) {
        auto slot = std::make_unique<Slot>();
        slot->socket = new QTcpSocket(this);
        slot->socket->setObjectName(QStringLiteral("sckConnection%1").arg(n));
        slot->socket->setReadBufferSize(kReadBufferBytes);
        connect(slot->socket, &QTcpSocket::readyRead, this, [this, n] { onSlotReadyRead(n); });
        connect(slot->socket, &QTcpSocket::disconnected, this, [this, n] { onSlotDisconnected(n); });
        connect(slot->socket, &QTcpSocket::bytesWritten, this, &SessionSockets::writable);
        m_slots.push_back(std::move(slot));
    }
    Slot &slot = *m_slots[size_t(n)];
    slot.closedByUs = false;
    slot.joined = false;
    slot.accepted.start();
    slot.acceptOrder = ++m_accepts;
    ++slot.generation;
    slot.framer = LineFramer(m_maxLineBytes);
    // Nothing meant for an earlier connection on this slot may reach the new one.
    emit slotReleased(n);
    if (!slot.socket->setSocketDescriptor(requestId)) {
#ifdef Q_OS_UNIX
        ::close(int(requestId));
#endif
        return;
    }
    configure(slot.socket);
    if (!m_joinWatch->isActive())
        m_joinWatch->start(qBound(10, m_joinDeadlineMs / 4, 1000));
    emit slotAccepted(n);
    if (slot.socket->bytesAvailable() > 0)
        scheduleSlotRead(n, 0);
}

void SessionSockets::onSlotReadyRead(int n) {
    Slot &slot = *m_slots[size_t(n)];
    // Never while this slot's lines are being handled: the delivery under way (or its continuation)
    // takes the rest.
    if (slot.closedByUs || slot.delivering || slot.readScheduled)
        return;
    if (m_readGate && !m_readGate()) {
        scheduleSlotRead(n, SendQueue::kTickMs);
        return;
    }
    slot.delivering = true;
    const bool ok = deliverChunk(slot.socket, slot.framer, n, slot.generation);
    slot.delivering = false;
    if (!ok) {
        closeSlot(n);
        emit lineTooLong(n);
        return;
    }
    if (!slot.closedByUs && slot.socket->bytesAvailable() > 0)
        scheduleSlotRead(n, 0);
}

void SessionSockets::scheduleSlotRead(int n, int delayMs) {
    Slot &slot = *m_slots[size_t(n)];
    if (slot.readScheduled)
        return;
    slot.readScheduled = true;
    QTimer::singleShot(delayMs, this, [this, n] {
        Slot &s = *m_slots[size_t(n)];
        s.readScheduled = false;
        // Whatever connection the slot carries now: what waits in it is that connection's.
        if (s.socket->state() == QAbstractSocket::ConnectedState)
            onSlotReadyRead(n);
    });
}

void SessionSockets::onSlotDisconnected(int n) {
    Slot &slot = *m_slots[size_t(n)];
    if (!slot.closedByUs && !slot.delivering) {
        // What the peer sent before it closed is still handled (at most the read buffer's worth), then
        // the close; unless handling it closes the slot from this side.
        const quint64 generation = slot.generation;
        slot.delivering = true;
        bool ok = true;
        while (ok && slot.generation == generation && slot.socket->bytesAvailable() > 0)
            ok = deliverChunk(slot.socket, slot.framer, n, slot.generation);
        slot.delivering = false;
        if (slot.generation != generation)
            return; // closed from this side meanwhile, which said everything there is to say
    }
    slot.framer.clear();
    emit slotReleased(n);
    if (slot.closedByUs) {
        slot.closedByUs = false;
        return;
    }
    ++slot.generation;
    emit slotClosed(n);
}

bool SessionSockets::deliverChunk(QTcpSocket *socket, LineFramer &framer, int source,
                                  const quint64 &generation) {
    const quint64 start = generation;
    const QPointer<QTcpSocket> alive(socket);
    bool overflow = false;
    const QByteArrayList lines = framer.feed(socket->read(kReadChunkBytes), &overflow);
    for (const QByteArray &line : lines) {
        emit lineArrived(WireFormat::DecodeLine(line), source);
        if (!alive || generation != start)
            return true; // closed from this side meanwhile: the rest of the arrival is dropped
    }
    return !overflow;
}

void SessionSockets::closeSlot(int n) {
    QTcpSocket *socket = slotSocket(n);
    if (!socket)
        return;
    Slot &slot = *m_slots[size_t(n)];
    ++slot.generation;
    slot.framer.clear();
    emit slotReleased(n);
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return;
    slot.closedByUs = true;
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        const quint64 generation = slot.generation;
        QTimer::singleShot(kGracefulCloseMs, socket, [this, n, generation] {
            Slot &s = *m_slots[size_t(n)];
            if (s.generation == generation && s.socket->state() != QAbstractSocket::UnconnectedState)
                s.socket->abort();
        });
    }
}

void SessionSockets::closeAllSlots() {
    for (int n = 1; n <= slotCount(); ++n)
        closeSlot(n);
    m_listener->close();
}

void SessionSockets::flushAll() {
    if (sckConnect->state() == QAbstractSocket::ConnectedState)
        sckConnect->flush();
    for (int n = 1; n <= slotCount(); ++n) {
        if (QTcpSocket *socket = slotSocket(n); socket && socket->state() == QAbstractSocket::ConnectedState)
            socket->flush();
    }
}

void SessionSockets::connectToHost(const QString &address, quint16 port) {
    closeMemberSocket();
    // Through the parsed value, so "010.0.0.1" means 10.0.0.1 as the address test reads it.
    sckConnect->connectToHost(QHostAddress(tavlo::net::FormatIPv4(tavlo::net::ParseIPv4(address))), port);
}

void SessionSockets::closeMemberSocket() {
    ++m_memberGeneration;
    m_memberFramer.clear();
    m_memberError = false;
    const QSignalBlocker quiet(sckConnect);
    sckConnect->abort();
}

QAbstractSocket::SocketState SessionSockets::memberState() const {
    return sckConnect->state();
}

QString SessionSockets::memberPeerAddress() const {
    return dottedIPv4(sckConnect->peerAddress());
}

QString SessionSockets::memberLocalAddress() const {
    return dottedIPv4(sckConnect->localAddress());
}

void SessionSockets::onMemberReadyRead() {
    if (m_memberDelivering || m_memberReadScheduled)
        return;
    m_memberDelivering = true;
    const quint64 generation = m_memberGeneration;
    const bool ok = deliverChunk(sckConnect, m_memberFramer, kFromHost, m_memberGeneration);
    m_memberDelivering = false;
    if (!ok) {
        closeMemberSocket();
        emit lineTooLong(kFromHost);
        return;
    }
    if (generation == m_memberGeneration && sckConnect->bytesAvailable() > 0)
        scheduleMemberRead();
}

void SessionSockets::scheduleMemberRead() {
    m_memberReadScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_memberReadScheduled = false;
        if (sckConnect->state() == QAbstractSocket::ConnectedState)
            onMemberReadyRead();
    });
}

void SessionSockets::onMemberDisconnected() {
    if (!m_memberDelivering) {
        // The host's last lines before it closed (a refusal, say) are still handled.
        const quint64 generation = m_memberGeneration;
        m_memberDelivering = true;
        bool ok = true;
        while (ok && generation == m_memberGeneration && sckConnect->bytesAvailable() > 0)
            ok = deliverChunk(sckConnect, m_memberFramer, kFromHost, m_memberGeneration);
        m_memberDelivering = false;
        if (generation != m_memberGeneration)
            return;
    }
    m_memberFramer.clear();
    emit memberClosed();
}

void SessionSockets::onMemberError(QAbstractSocket::SocketError error) {
    // The host closing the connection is a close, not a failure.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    m_memberError = true;
    emit memberFailed();
}

bool SessionSockets::isConnected(int destination) const {
    if (destination == SendQueue::kHost)
        return sckConnect->state() == QAbstractSocket::ConnectedState;
    return isSlotConnected(destination);
}

bool SessionSockets::canTake(int destination) const {
    if (!isConnected(destination))
        return false;
    const QTcpSocket *socket = destination == SendQueue::kHost ? sckConnect : slotSocket(destination);
    return socket->bytesToWrite() < kWriteBacklogBytes;
}

void SessionSockets::writeLine(int destination, const QString &text) {
    QTcpSocket *socket = destination == SendQueue::kHost ? sckConnect : slotSocket(destination);
    if (socket)
        socket->write(tavlo::text::toWire(text + QLatin1String(WireFormat::kLineEnd)));
}
