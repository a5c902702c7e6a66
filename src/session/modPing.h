#pragma once

#include "platform/net/IcmpEcho.h"

#include <QString>

// The echo ("ping") the session uses to find hosts and to watch members: one ICMP echo request carrying
// "My Request", answered within 200 ms or counted as absent.
namespace modPing {

inline constexpr int kTimeoutMs = 200;
inline constexpr char kRequestData[] = "My Request";

enum class Echo {
    Answered,
    Silent,     // no answer within the time-out
    Unavailable // this computer may not send ICMP echoes: the caller has to find out another way
};

// One echo to the address; fills reply. The round-trip time in ms when an answer came, otherwise minus
// the reply's status.
int PingAddress(const QString &address, tavlo::net::EchoReply &reply);
// True when one echo to the (trimmed) address came back carrying data. Text that is not a dotted IPv4
// address never answers.
bool HostAnswers(const QString &address);
// HostAnswers, telling "no answer" apart from "cannot ping at all".
Echo Probe(const QString &address);
// The fallback test: does a TCP connection to address:port come up within the time-out? The event loop
// keeps running meanwhile.
bool PortAnswers(const QString &address, quint16 port, int timeoutMs = kTimeoutMs);

} // namespace modPing
