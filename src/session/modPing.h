#pragma once

#include "platform/net/IcmpEcho.h"

#include <QString>

#include <functional>

class QObject;

// The echo ("ping") the session uses to find hosts and to watch members: one ICMP echo request carrying
// "My Request", answered within 200 ms or counted as absent. Nothing here waits: each answer comes
// later from the event loop, and not at all once the context object given is gone.
namespace modPing {

inline constexpr int kTimeoutMs = 200;
inline constexpr char kRequestData[] = "My Request";

enum class Echo {
    Answered,
    Silent,     // no answer within the time-out
    Unavailable // this computer may not send ICMP echoes: the caller has to find out another way
};

// One echo to the (trimmed) address: Answered when it came back carrying data. Text that is not a
// dotted IPv4 address never answers.
void Probe(const QString &address, QObject *context, std::function<void(Echo)> done);
// The fallback test: does a TCP connection to address:port come up within the time-out?
void PortAnswers(const QString &address, quint16 port, QObject *context, std::function<void(bool)> done,
                 int timeoutMs = kTimeoutMs);

} // namespace modPing
