#pragma once

#include "SendQueue.h"
#include "WireFormat.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <functional>
#include <memory>
#include <vector>

class QTcpSocket;
class QTimer;

// The session's sockets: the listening socket (slot 0) and the member slots 1 .. slotCount() on a
// host, and the single member socket `sckConnect` on a member. Slots are reused and never unloaded,
// the lowest closed slot first, so a member's connection number is its slot number. Arrivals are cut
// into lines per connection (see LineFramer) and handed on one line at a time.
//
// Reading is bounded: each arrival hands on at most kReadChunkBytes of one connection, the rest waits
// for a continuation (so connections take turns and a flood cannot hold the others up), and the system
// buffers no more than kReadBufferBytes per connection beyond that, so a peer that sends faster than
// the session handles is slowed down by TCP itself. A connection is never read again while its own
// lines are being handled. On the host, a read gate (the send queue being congested) can hold reading
// back until the queue has moved on.
//
// Member connections carry TCP keep-alive probes and a user time-out, so a peer that vanishes without
// closing is noticed by the system and reported as closed.
//
// Closing a connection from this side never reports it as closed by the peer: only the peer's closes
// raise slotClosed / memberClosed.
//
// Connections are capped: at most maxWaitingConnections() may wait to join at a time (a newcomer
// beyond that takes the place of the one that has waited longest), each for joinDeadlineMs() at most,
// and none is taken while the process would be left with fewer than kReservedDescriptors free
// descriptors (the record workbook and other files need them). Connections closed or refused for
// these reasons are counted and reported through connectionsRefused, at most once a second.
class SessionSockets : public QObject, public LineSink {
    Q_OBJECT

public:
    // Source number of lines that came through the member socket (from the host).
    static constexpr int kFromHost = -1;
    static constexpr qsizetype kReadChunkBytes = 16 * 1024;
    static constexpr qsizetype kReadBufferBytes = 64 * 1024;
    // A socket holding this much unsent takes no further line until it has passed some on.
    static constexpr qsizetype kWriteBacklogBytes = 256 * 1024;
    // Keep-alive: first probe after this many idle seconds, then every interval, given up after count;
    // data unacknowledged for the user time-out ends the connection as well.
    static constexpr int kKeepAliveIdleSeconds = 30;
    static constexpr int kKeepAliveIntervalSeconds = 10;
    static constexpr int kKeepAliveProbes = 3;
    static constexpr int kUserTimeoutMs = 60000;
    // Connection numbers are 16-bit.
    static constexpr int kMaxSlots = 32767;
    static constexpr int kMaxWaitingConnections = 32;
    static constexpr int kJoinDeadlineMs = 30000;
    static constexpr int kReservedDescriptors = 64;
    static constexpr int kRefusalReportMs = 1000;

    using ReadGate = std::function<bool()>;

    explicit SessionSockets(QObject *parent = nullptr);
    ~SessionSockets() override;

    // Where the host listens; every IPv4 interface unless set otherwise (tests use loopback).
    void setListenAddress(const QHostAddress &address) { m_listenAddress = address; }
    // Applies to connections accepted or started from now on.
    void setMaxLineBytes(qsizetype bytes);
    qsizetype maxLineBytes() const { return m_maxLineBytes; }
    // Connections that have not joined: how many may wait at once, and for how long.
    void setJoinLimits(int maxWaiting, int deadlineMs);
    int maxWaitingConnections() const { return m_maxWaiting; }
    int joinDeadlineMs() const { return m_joinDeadlineMs; }
    // The member on slot n has joined: it no longer counts as waiting.
    void markJoined(int n);
    // Connected slots whose member has not joined.
    int waitingConnections() const;
    // Asked before reading a host-side slot: false holds reading back for a moment.
    void setReadGate(ReadGate gate) { m_readGate = std::move(gate); }

    // Host side.
    bool listen(quint16 port, QAbstractSocket::SocketError *error = nullptr);
    bool isListening() const;
    quint16 listeningPort() const;
    int slotCount() const { return int(m_slots.size()) - 1; }
    bool isSlotConnected(int n) const;
    bool isSlotClosed(int n) const;
    bool anySlotConnected() const;
    // The peer's IPv4 address of slot n as dotted text; empty for a closed or unknown slot.
    QString RemoteAddress(int n) const;
    // Which connection slot n carries: changes whenever the slot is closed or takes a new connection,
    // so code that waited can tell whether the member it meant is still the one on the slot.
    quint64 connectionId(int n) const;
    // This computer's address as the host's own entry shows it.
    QString listenerAddress() const;
    // Closes slot n gracefully (what was already handed to it still leaves).
    void closeSlot(int n);
    // Closes every slot, the listening one (slot 0) included.
    void closeAllSlots();
    // Writes what the connected sockets hold to the network as far as it takes it now, without waiting.
    void flushAll();

    // Member side.
    void connectToHost(const QString &address, quint16 port);
    void closeMemberSocket();
    QAbstractSocket::SocketState memberState() const;
    bool memberInError() const { return m_memberError; }
    QString memberPeerAddress() const;
    QString memberLocalAddress() const;

    // LineSink: destination -1 is the member socket, n >= 1 host-side slot n.
    bool isConnected(int destination) const override;
    bool canTake(int destination) const override;
    void writeLine(int destination, const QString &text) override;

    QTcpSocket *sckConnect = nullptr;

signals:
    void slotAccepted(int n);
    // Slot n no longer carries the connection it had (closed by either side, or taken by a new one):
    // whatever waits for that connection is to be forgotten.
    void slotReleased(int n);
    // A socket handed on some of what it was given: queued lines may be able to leave.
    void writable();
    // One complete line (without CR LF) from source -1 (the host) or slot n.
    void lineArrived(const QString &line, int source);
    // The peer of slot n closed it.
    void slotClosed(int n);
    // A peer sent a line longer than the cap; its connection has already been cut.
    void lineTooLong(int source);
    void memberConnected();
    // Since the last report: waiting connections closed to make room for newcomers, connections
    // refused because too few descriptors were left, waiting ones closed because they did not join in
    // time.
    void connectionsRefused(int tooManyWaiting, int noDescriptors, int tooSlow);
    // The host closed the member socket.
    void memberClosed();
    // The member socket failed to connect or broke (error state).
    void memberFailed();

private:
    struct Slot {
        QTcpSocket *socket = nullptr;
        LineFramer framer;
        bool closedByUs = false;
        bool delivering = false;    // its lines are being handled
        bool readScheduled = false; // a continuation will read the rest
        quint64 generation = 0;     // changes whenever this side closes or reuses the slot
        bool joined = false;        // its member announced itself
        QElapsedTimer accepted;     // since the connection was taken
        quint64 acceptOrder = 0;    // connections taken earlier have lower numbers
    };
    class Listener;

    void onConnectionRequest(qintptr requestId);
    void refuse(qintptr requestId, int &counter);
    bool makeRoomForNewcomer();
    // Whether the process keeps enough descriptors free after taking one more connection.
    bool descriptorsToSpare() const;
    void closeLateConnections();
    void reportRefusals();
    void onSlotReadyRead(int n);
    void onSlotDisconnected(int n);
    void onMemberReadyRead();
    void onMemberDisconnected();
    void onMemberError(QAbstractSocket::SocketError error);
    QTcpSocket *slotSocket(int n) const;
    void scheduleSlotRead(int n, int delayMs);
    void scheduleMemberRead();
    // Reads one chunk and hands the completed lines on, one by one, until the connection is closed from
    // this side (its generation changes). False when a line was too long.
    bool deliverChunk(QTcpSocket *socket, LineFramer &framer, int source, const quint64 &generation);

    QHostAddress m_listenAddress = QHostAddress::AnyIPv4;
    qsizetype m_maxLineBytes = LineFramer::kDefaultMaxLineBytes;
    Listener *m_listener = nullptr;
    // Index 0 stays empty: slot 0 is the listener. Slots live at stable addresses because handlers
    // that run while a slot delivers its lines may accept new members.
    std::vector<std::unique_ptr<Slot>> m_slots;
    LineFramer m_memberFramer;
    quint64 m_memberGeneration = 0;
    bool m_memberDelivering = false;
    bool m_memberReadScheduled = false;
    bool m_memberError = false;
    ReadGate m_readGate;
    int m_maxWaiting = kMaxWaitingConnections;
    int m_joinDeadlineMs = kJoinDeadlineMs;
    QTimer *m_joinWatch;
    QTimer *m_refusalReport;
    int m_refusedWaiting = 0;
    int m_refusedDescriptors = 0;
    int m_closedLate = 0;
    quint64 m_accepts = 0;
};
