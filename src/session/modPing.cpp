#include "modPing.h"

#include "common/modCommon.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace modPing {

int PingAddress(const QString &address, tavlo::net::EchoReply &reply) {
    const quint32 a = tavlo::net::ParseIPv4(address);
    return tavlo::net::SendEcho(a, QByteArray(kRequestData), kTimeoutMs, reply);
}

Echo Probe(const QString &address) {
    const QString trimmed = address.trimmed();
    if (!modCommon::IsIPv4Address(trimmed))
        return Echo::Silent;
    tavlo::net::EchoReply reply;
    PingAddress(trimmed, reply);
    if (reply.status == tavlo::net::kEchoUnavailable)
        return Echo::Unavailable;
    return reply.dataSize() != 0 ? Echo::Answered : Echo::Silent;
}

bool HostAnswers(const QString &address) {
    return Probe(address) == Echo::Answered;
}

bool PortAnswers(const QString &address, quint16 port, int timeoutMs) {
    const QString trimmed = address.trimmed();
    if (!modCommon::IsIPv4Address(trimmed))
        return false;
    QTcpSocket probe;
    QEventLoop loop;
    QObject::connect(&probe, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&probe, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    probe.connectToHost(QHostAddress(tavlo::net::FormatIPv4(tavlo::net::ParseIPv4(trimmed))), port);
    if (probe.state() != QAbstractSocket::ConnectedState &&
        probe.state() != QAbstractSocket::UnconnectedState)
        loop.exec();
    const bool answered = probe.state() == QAbstractSocket::ConnectedState;
    probe.abort();
    return answered;
}

} // namespace modPing
