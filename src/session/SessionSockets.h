#pragma once

#include "LineFramer.h"
#include "SendQueue.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;

// The session's sockets: the listening socket (slot 0) and the member slots 1 .. slotCount() on a
// host, and the single member socket `sckConnect` on a member. Slots are reused and never unloaded,
// the lowest closed slot first, so a member's connection number is its slot number. Arrivals are cut
// into lines per connection (see LineFramer) and handed on one line at a time.
//
// Closing a connection from this side never reports it as closed by the peer: only the peer's closes
// raise slotClosed / memberClosed.
class SessionSockets : public QObject, public LineSink {
    Q_OBJECT

public:
    // Source number of lines that came through the member socket (from the host).
    static constexpr int kFromHost = -1;

    explicit SessionSockets(QObject *parent = nullptr);
    ~SessionSockets() override;

    // Where the host listens; every IPv4 interface unless set otherwise (tests use loopback).
    void setListenAddress(const QHostAddress &address) { m_listenAddress = address; }
    // Applies to connections accepted or started from now on.
    void setMaxLineBytes(qsizetype bytes);
    qsizetype maxLineBytes() const { return m_maxLineBytes; }

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
    // This computer's address as the host's own entry shows it.
    QString listenerAddress() const;
    // Closes slot n gracefully (what was already handed to it still leaves).
    void closeSlot(int n);
    // Closes every slot, the listening one (slot 0) included.
    void closeAllSlots();

    // Member side.
    void connectToHost(const QString &address, quint16 port);
    void closeMemberSocket();
    QAbstractSocket::SocketState memberState() const;
    bool memberInError() const { return m_memberError; }
    QString memberPeerAddress() const;
    QString memberLocalAddress() const;

    // LineSink: destination -1 is the member socket, n >= 1 host-side slot n.
    bool isConnected(int destination) const override;
    void writeLine(int destination, const QString &text) override;

    QTcpSocket *sckConnect = nullptr;

signals:
    void slotAccepted(int n);
    // One complete line (without CR LF) from source -1 (the host) or slot n.
    void lineArrived(const QString &line, int source);
    // The peer of slot n closed it.
    void slotClosed(int n);
    // A peer sent a line longer than the cap; its connection has already been cut.
    void lineTooLong(int source);
    void memberConnected();
    // The host closed the member socket.
    void memberClosed();
    // The member socket failed to connect or broke (error state).
    void memberFailed();

private:
    struct Slot {
        QTcpSocket *socket = nullptr;
        LineFramer framer;
        bool closedByUs = false;
        quint64 generation = 0; // changes whenever this side closes or reuses the slot
    };
    class Listener;

    void onConnectionRequest(qintptr requestId);
    void onSlotReadyRead(int n);
    void onSlotDisconnected(int n);
    void onMemberReadyRead();
    void onMemberDisconnected();
    void onMemberError(QAbstractSocket::SocketError error);
    QTcpSocket *slotSocket(int n) const;
    // Reads everything waiting and hands the completed lines on, one by one, until the connection is
    // closed from this side (its generation changes). False when a line was too long.
    bool deliverArrivals(QTcpSocket *socket, LineFramer &framer, int source, const quint64 &generation);

    QHostAddress m_listenAddress = QHostAddress::AnyIPv4;
    qsizetype m_maxLineBytes = LineFramer::kDefaultMaxLineBytes;
    Listener *m_listener = nullptr;
    // Index 0 stays empty: slot 0 is the listener. Slots live at stable addresses because handlers
    // that run while a slot delivers its lines may accept new members.
    std::vector<std::unique_ptr<Slot>> m_slots;
    LineFramer m_memberFramer;
    quint64 m_memberGeneration = 0;
    bool m_memberError = false;
};
