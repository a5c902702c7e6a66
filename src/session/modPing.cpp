#include "modPing.h"

#include "common/modCommon.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <memory>
#include <utility>

namespace modPing {

void Probe(const QString &address, QObject *context, std::function<void(Echo)> done) {
    const QString trimmed = address.trimmed();
    if (!modCommon::IsIPv4Address(trimmed)) {
        QMetaObject::invokeMethod(
            context, [done = std::move(done)] { done(Echo::Silent); }, Qt::QueuedConnection);
        return;
    }
    tavlo::net::StartEcho(tavlo::net::ParseIPv4(trimmed), QByteArray(kRequestData), kTimeoutMs, context,
                          [done = std::move(done)](int, const tavlo::net::EchoReply &reply) {
                              if (reply.status == tavlo::net::kEchoUnavailable)
                                  done(Echo::Unavailable);
                              else
                                  done(reply.dataSize() != 0 ? Echo::Answered : Echo::Silent);
                          });
}

void PortAnswers(const QString &address, quint16 port, QObject *context, std::function<void(bool)> done,
                 int timeoutMs) {
    const QString trimmed = address.trimmed();
    if (!modCommon::IsIPv4Address(trimmed)) {
        QMetaObject::invokeMethod(
            context, [done = std::move(done)] { done(false); }, Qt::QueuedConnection);
        return;
    }
    // The probe belongs to the context: it goes, unanswered, when the context goes first.
    auto *probe = new QTcpSocket(context);
    auto *timer = new QTimer(probe);
    timer->setSingleShot(true);
    // Whichever comes first settles it; queued, so the answer never comes from inside this call.
    const auto answer = std::make_shared<std::function<void(bool)>>(std::move(done));
    const auto settle = [probe, answer] {
        if (!*answer)
            return;
        const auto done = std::exchange(*answer, nullptr);
        const bool answered = probe->state() == QAbstractSocket::ConnectedState;
        probe->abort();
        probe->deleteLater();
        done(answered);
    };
    QObject::connect(probe, &QTcpSocket::connected, probe, settle, Qt::QueuedConnection);
    QObject::connect(probe, &QTcpSocket::errorOccurred, probe, settle, Qt::QueuedConnection);
    // A connection the system completed in time counts even when this process was too busy to hear of
    // it before the time-out: its state is polled once, without running events.
    QObject::connect(timer, &QTimer::timeout, probe, [probe, settle] {
        if (probe->state() == QAbstractSocket::ConnectingState)
            probe->waitForConnected(0);
        settle();
    });
    timer->start(timeoutMs);
    probe->connectToHost(QHostAddress(tavlo::net::FormatIPv4(tavlo::net::ParseIPv4(trimmed))), port);
}

} // namespace modPing
