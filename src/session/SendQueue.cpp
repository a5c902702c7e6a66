#include "SendQueue.h"

#include <QTimer>

SendQueue::SendQueue(LineSink &sink, QObject *parent)
    : QObject(parent)
    , tmrSendData(new QTimer(this))
    , m_sink(sink) {
    tmrSendData->setObjectName(QStringLiteral("tmrSendData"));
    tmrSendData->setInterval(kTickMs);
    tmrSendData->setTimerType(Qt::PreciseTimer);
    connect(tmrSendData, &QTimer::timeout, this, &SendQueue::tmrSendData_Timer);
}

void SendQueue::QueueToHost(const QString &text) {
    append(text, kHost);
}

void SendQueue::QueueMessage(const QString &text, int slot) {
    append(text, slot);
}

void SendQueue::append(const QString &text, int destination) {
    m_entries.append(Entry{text, destination});
    wake();
}

void SendQueue::clear() {
    m_entries.clear();
    tmrSendData->stop();
}

bool SendQueue::isPumping() const {
    return tmrSendData->isActive();
}

QString SendQueue::Label(int destination) {
    if (destination == kHost)
        return QStringLiteral("主机");
    return QStringLiteral("连线(%1)").arg(destination);
}

void SendQueue::wake() {
    if (!m_entries.isEmpty() && !tmrSendData->isActive())
        tmrSendData->start();
}

void SendQueue::tmrSendData_Timer() {
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (!m_sink.isConnected(m_entries[i].destination))
            continue;
        const Entry entry = m_entries.takeAt(i);
        m_sink.writeLine(entry.destination, entry.text);
        emit lineSent(Label(entry.destination) + QStringLiteral(": ") + entry.text);
        if (m_entries.isEmpty())
            tmrSendData->stop();
        return;
    }
    // Everything left waits for a destination to connect; wake() restarts the pump then.
    tmrSendData->stop();
}
