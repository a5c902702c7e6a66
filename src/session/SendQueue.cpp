#include "SendQueue.h"

#include <QElapsedTimer>
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

qsizetype SendQueue::cost(const QString &text) {
    // The text itself and what a waiting entry costs around it.
    return text.size() * qsizetype(sizeof(QChar)) + 64;
}

void SendQueue::append(const QString &text, int destination) {
    auto [it, created] = m_lanes.try_emplace(destination);
    Lane &lane = it->second;
    if (created)
        lane.logPrefix = Label(destination) + QStringLiteral(": ");
    if (lane.overflowed)
        return;
    lane.lines.push_back(text);
    const qsizetype bytes = cost(text);
    lane.bytes += bytes;
    m_totalBytes += bytes;
    ++m_totalLines;
    if (!lane.scheduled) {
        lane.scheduled = true;
        m_order.push_back(destination);
    }
    if (qsizetype(lane.lines.size()) > kMaxBacklogLines || lane.bytes > kMaxBacklogBytes) {
        overflow(destination, lane);
    } else if (m_totalBytes > kMaxTotalBytes) {
        auto largest = m_lanes.begin();
        for (auto l = m_lanes.begin(); l != m_lanes.end(); ++l) {
            if (l->second.bytes > largest->second.bytes)
                largest = l;
        }
        overflow(largest->first, largest->second);
    }
    wake();
}

void SendQueue::overflow(int destination, Lane &lane) {
    discardLines(lane);
    lane.overflowed = true;
    // Queued: the caller is in the middle of queueing (perhaps inside a dispatcher handler).
    QMetaObject::invokeMethod(
        this, [this, destination] { emit backlogExceeded(destination); }, Qt::QueuedConnection);
}

void SendQueue::discardLines(Lane &lane) {
    m_totalLines -= qsizetype(lane.lines.size());
    m_totalBytes -= lane.bytes;
    lane.lines.clear();
    lane.bytes = 0;
}

void SendQueue::clear() {
    m_lanes.clear();
    m_order.clear();
    m_totalLines = 0;
    m_totalBytes = 0;
    tmrSendData->stop();
}

void SendQueue::dropDestination(int destination) {
    const auto it = m_lanes.find(destination);
    if (it == m_lanes.end())
        return;
    discardLines(it->second);
    m_lanes.erase(it);
    std::erase(m_order, destination);
}

QList<SendQueue::Entry> SendQueue::entries() const {
    QList<Entry> all;
    for (const auto &[destination, lane] : m_lanes) {
        for (const QString &text : lane.lines)
            all.append(Entry{text, destination});
    }
    return all;
}

qsizetype SendQueue::backlog(int destination) const {
    const auto it = m_lanes.find(destination);
    return it == m_lanes.end() ? 0 : qsizetype(it->second.lines.size());
}

bool SendQueue::isPumping() const {
    return tmrSendData->isActive();
}

bool SendQueue::isCongested() const {
    if (m_totalLines <= kCongestionLines)
        return false;
    // Lines stuck behind a full or absent socket do not count: holding back input would not free them,
    // and their destination overflows in the end.
    qsizetype moving = 0;
    for (const auto &[destination, lane] : m_lanes) {
        if (!lane.blocked)
            moving += qsizetype(lane.lines.size());
    }
    return moving > kCongestionLines;
}

QString SendQueue::Label(int destination) {
    if (destination == kHost)
        return QStringLiteral("主机");
    return QStringLiteral("连线(%1)").arg(destination);
}

void SendQueue::wake() {
    if (m_totalLines > 0 && !tmrSendData->isActive())
        tmrSendData->start();
}

void SendQueue::tmrSendData_Timer() {
    ++m_ticks;
    QElapsedTimer clock;
    clock.start();
    bool sentAny = false;
    for (int round = 1; !m_order.empty(); ++round) {
        bool progress = false;
        // One line for each destination in turn; destinations that get lines meanwhile wait for the
        // next round.
        for (size_t turns = m_order.size(); turns > 0 && !m_order.empty(); --turns) {
            const int destination = m_order.front();
            m_order.pop_front();
            const auto it = m_lanes.find(destination);
            if (it == m_lanes.end() || !it->second.scheduled)
                continue; // dropped meanwhile
            Lane &lane = it->second;
            if (lane.lines.empty()) {
                lane.scheduled = false;
                continue;
            }
            if (!m_sink.canTake(destination)) {
                lane.blocked = true;
                m_order.push_back(destination);
                continue;
            }
            lane.blocked = false;
            const QString text = std::move(lane.lines.front());
            lane.lines.pop_front();
            const qsizetype bytes = cost(text);
            lane.bytes -= bytes;
            m_totalBytes -= bytes;
            --m_totalLines;
            if (lane.lines.empty())
                lane.scheduled = false;
            else
                m_order.push_back(destination);
            const QString logLine = lane.logPrefix + text;
            // The bookkeeping is done: what the writes and the log line set off may change the queue.
            m_sink.writeLine(destination, text);
            emit lineSent(logLine);
            progress = true;
            sentAny = true;
        }
        if (!progress || ((round & 7) == 0 && clock.elapsed() >= kTickBudgetMs))
            break;
    }
    // With nothing waiting, or nothing that could leave, the pump rests; wake() restarts it.
    if (m_totalLines == 0 || !sentAny)
        tmrSendData->stop();
}
