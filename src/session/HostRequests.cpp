#include "HostRequests.h"

#include "Session.h"
#include "SessionSockets.h"

#include <QTimer>

namespace {

const QString kRecordStored = QStringLiteral("录入成功!");
const QString kRecordNotStored = QStringLiteral("未录入成功!");

} // namespace

HostRequests::HostRequests(Session &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_pause(new QTimer(this)) {
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, &HostRequests::serveNext);
}

void HostRequests::submitRecord(const QString &record, int source) {
    submit(Kind::Record, record, source);
}

void HostRequests::submitQuery(const QString &query, int source) {
    submit(Kind::Query, query, source);
}

void HostRequests::submit(Kind kind, const QString &payload, int source) {
    int &count = m_waitingPer[source];
    if (count >= kMaxWaitingPerConnection || int(m_waiting.size()) >= kMaxWaiting ||
        m_waitingBytes + payload.size() > kMaxWaitingBytes) {
        int busiest = source;
        if (count < kMaxWaitingPerConnection) {
            for (auto it = m_waitingPer.cbegin(); it != m_waitingPer.cend(); ++it) {
                if (it.value() > m_waitingPer.value(busiest))
                    busiest = it.key();
            }
        }
        forget(busiest);
        if (busiest >= 1)
            // Later: the caller is handling a line of that connection right now.
            QMetaObject::invokeMethod(
                this, [this, busiest] { emit tooManyRequests(busiest); }, Qt::QueuedConnection);
        if (busiest == source)
            return;
    }
    ++m_waitingPer[source];
    m_waitingBytes += payload.size();
    m_waiting.push_back(Request{kind, payload, source, m_session.sockets().connectionId(source)});
    if (!m_serving && !m_pause->isActive())
        m_pause->start();
}

void HostRequests::forget(int n) {
    if (m_waitingPer.remove(n) == 0)
        return;
    std::erase_if(m_waiting, [this, n](const Request &r) {
        if (r.source != n)
            return false;
        m_waitingBytes -= r.payload.size();
        return true;
    });
    if (m_waiting.empty())
        m_pause->stop();
}

void HostRequests::clear() {
    m_waiting.clear();
    m_waitingPer.clear();
    m_waitingBytes = 0;
    m_pause->stop();
}

bool HostRequests::stillThere(const Request &request) const {
    return request.source < 1 || (m_session.sockets().connectionId(request.source) == request.connection &&
                                  m_session.sockets().isSlotConnected(request.source));
}

void HostRequests::serveNext() {
    if (m_serving || m_waiting.empty())
        return;
    const Request request = m_waiting.front();
    m_waiting.pop_front();
    m_waitingBytes -= request.payload.size();
    if (--m_waitingPer[request.source] <= 0)
        m_waitingPer.remove(request.source);
    if (stillThere(request)) {
        m_serving = true;
        serve(request);
        m_serving = false;
    }
    if (!m_waiting.empty())
        m_pause->start();
}

void HostRequests::serve(const Request &request) {
    if (request.kind == Kind::Record) {
        if (!m_recordStore)
            return;
        const RecordStore store = m_recordStore; // a copy: the store may replace itself
        const bool stored = store(request.payload);
        if (request.source >= 1 && stillThere(request))
            m_session.QueueMessage(QStringLiteral("[记录结果]") + (stored ? kRecordStored : kRecordNotStored),
                                   request.source);
        return;
    }
    if (!m_queryRunner)
        return;
    const QueryRunner run = m_queryRunner;
    const QStringList rows = run(request.payload);
    if (request.source < 1 || !stillThere(request))
        return;
    m_session.QueueMessage(QStringLiteral("[查询条数] ") + QString::number(rows.size()), request.source);
    for (const QString &row : rows)
        m_session.QueueMessage(QStringLiteral("[查询]") + row, request.source);
}
