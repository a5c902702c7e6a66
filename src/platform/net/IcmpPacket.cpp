#include "IcmpPacket.h"

#include <QtEndian>

namespace tavlo::net::icmp {

namespace {

quint16 readBig16(const QByteArray &bytes, qsizetype at) {
    return qFromBigEndian<quint16>(bytes.constData() + at);
}

} // namespace

quint16 Checksum(const QByteArray &bytes) {
    quint32 sum = 0;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    qsizetype n = bytes.size();
    for (; n > 1; p += 2, n -= 2)
        sum += (quint32(p[0]) << 8) | p[1];
    if (n == 1)
        sum += quint32(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum & 0xFFFF);
}

QByteArray BuildEchoRequest(quint16 identifier, quint16 sequence, const QByteArray &data) {
    QByteArray packet(kHeaderSize, '\0');
    packet[0] = char(kEchoRequest);
    qToBigEndian<quint16>(identifier, packet.data() + 4);
    qToBigEndian<quint16>(sequence, packet.data() + 6);
    packet += data;
    qToBigEndian<quint16>(Checksum(packet), packet.data() + 2);
    return packet;
}

bool ReadEchoReply(const QByteArray &packet, bool withIpHeader, const EchoMatch &match, QByteArray *data,
                   quint8 *ttl) {
    qsizetype offset = 0;
    quint8 timeToLive = 0;
    if (withIpHeader) {
        if (packet.size() < 20)
            return false;
        const auto first = quint8(packet[0]);
        const qsizetype headerLength = qsizetype(first & 0x0F) * 4;
        if ((first >> 4) != 4 || headerLength < 20 || packet.size() < headerLength)
            return false;
        timeToLive = quint8(packet[8]);
        offset = headerLength;
    }
    if (packet.size() - offset < kHeaderSize)
        return false;
    const QByteArray message = packet.mid(offset);
    if (quint8(message[0]) != kEchoReply || message[1] != 0)
        return false;
    // Raw sockets see the packet as it travelled: its checksum must hold. Datagram sockets have
    // been checked by the kernel.
    if (withIpHeader && Checksum(message) != 0)
        return false;
    if (match.checkIdentifier && readBig16(message, 4) != match.identifier)
        return false;
    if (readBig16(message, 6) != match.sequence)
        return false;
    if (data)
        *data = message.mid(kHeaderSize);
    if (ttl)
        *ttl = timeToLive;
    return true;
}

} // namespace tavlo::net::icmp
