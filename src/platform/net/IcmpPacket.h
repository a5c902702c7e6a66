#pragma once

#include <QByteArray>
#include <QtGlobal>

// Building and reading ICMP echo packets (RFC 792). Pure functions, no sockets.
namespace tavlo::net::icmp {

inline constexpr quint8 kEchoReply = 0;
inline constexpr quint8 kEchoRequest = 8;
inline constexpr int kHeaderSize = 8;

// The Internet checksum: one's complement of the one's complement sum of the 16-bit words.
quint16 Checksum(const QByteArray &bytes);

// An echo request with its checksum filled in.
QByteArray BuildEchoRequest(quint16 identifier, quint16 sequence, const QByteArray &data);

struct EchoMatch {
    quint16 identifier = 0;
    quint16 sequence = 0;
    // false for datagram ICMP sockets, where the kernel chooses the identifier and filters replies itself
    bool checkIdentifier = true;
};

// Reads one received packet. `withIpHeader` is true for raw sockets, which hand over the IP header too.
// True when the packet is a well-formed echo reply matching `match`; its data is then stored in `data`
// and the IP header's time to live in `ttl` (0 when the socket gave no header).
bool ReadEchoReply(const QByteArray &packet, bool withIpHeader, const EchoMatch &match, QByteArray *data,
                   quint8 *ttl = nullptr);

} // namespace tavlo::net::icmp
