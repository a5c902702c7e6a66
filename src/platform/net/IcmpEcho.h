#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

class QObject;

// ICMP echoes ("ping"), each answered or timed out while the event loop keeps running.
namespace tavlo::net {

// Status values of an echo, numbered as the Windows ICMP library numbers them.
inline constexpr quint32 kEchoSuccess = 0;
inline constexpr quint32 kEchoDestinationUnreachable = 11002; // the request could not be sent
inline constexpr quint32 kEchoTimedOut = 11010;
inline constexpr quint32 kEchoUnavailable = 11050; // this process may open no ICMP socket

struct EchoReply {
    quint32 address = 0; // who answered, in the form ParseIPv4 gives
    quint32 status = kEchoTimedOut;
    quint32 roundTripTime = 0; // milliseconds
    quint8 ttl = 0;
    QByteArray data; // the echoed data

    qsizetype dataSize() const { return data.size(); }
};

enum class EchoMethod {
    Datagram,   // unprivileged ICMP socket, where the system allows it
    Raw,        // raw socket (needs the right to open one)
    Unavailable // neither: callers fall back on something else
};

// "a.b.c.d" as a 32-bit value with a in the lowest byte (network byte order in memory); each part is
// taken modulo 256. Any text that is not four dot-separated parts gives 0.
quint32 ParseIPv4(const QString &address);
// The dotted text of a ParseIPv4 value.
QString FormatIPv4(quint32 address);

// Which kind of ICMP socket this process can open right now.
EchoMethod AvailableEchoMethod();

// What an echo came to: the round-trip time in ms when an answer came, otherwise minus the reply's
// status; and the reply itself.
using EchoDone = std::function<void(int result, const EchoReply &reply)>;

// Sends one echo request carrying `data` to `address` (a ParseIPv4 value) and returns at once; nothing
// waits. `done` runs once, later, from the event loop (never from inside this call): when the reply
// came, or after `timeoutMs` without one. Destroying `context` before that calls the echo off and
// `done` never runs.
void StartEcho(quint32 address, const QByteArray &data, int timeoutMs, QObject *context, EchoDone done);

} // namespace tavlo::net
