#include "HostRequests.h"

#include "ProtocolTags.h"
#include "SessionLink.h"
#include "SessionSockets.h"

#include <QTimer>

namespace {

const QString kRecordStored = QStringLiteral("录入成功!");
const QString kRecordNotStored = QStringLiteral("未录入成功!");

} // namespace

HostRequests::HostRequests(SessionLink &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_pause(new QTimer(this)) {
    m_pause->setSingleShot(true);
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
        drop(busiest, [](const Request &) { return true; });
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
        scheduleNext();
}

void HostRequests::drop(int n, const std::function<bool(const Request &)> &which) {
    if (!m_waitingPer.contains(n))
        return;
    std::erase_if(m_waiting, [this, n, &which](const Request &r) {
        if (r.source != n || !which(r))
            return false;
        m_waitingBytes -= r.payload.size();
        if (--m_waitingPer[n] <= 0)
            m_waitingPer.remove(n);
        return true;
    });
    if (m_waiting.empty())
        m_pause->stop();
}

void HostRequests::forget(int n) {
    drop(n, [](const Request &r) { return r.kind == Kind::Query; });
}

void HostRequests::clear() {
    m_pause->stop();
    // Records already received are kept even though nobody will hear the answer.
    std::vector<Request> records;
    for (const Request &request : m_waiting) {
        if (request.kind == Kind::Record)
            records.push_back(request);
    }
    m_waiting.clear();
    m_waitingPer.clear();
    m_waitingBytes = 0;
    if (!records.empty() && !m_serving) {
        m_serving = true;
        for (Request &record : records)
            record.source = -1;
        serveRecords(records);
        m_serving = false;
    }
}

bool HostRequests::stillThere(const Request &request) const {
    return request.source < 1 || (m_session.sockets().connectionId(request.source) == request.connection &&
                                  m_session.sockets().isSlotConnected(request.source));
}

void HostRequests::scheduleNext() {
    if (m_waiting.empty())
        return;
    // Records at once (the next turn of the event loop); a query after its pause.
    m_pause->start(m_waiting.front().kind == Kind::Record ? 0 : kPauseMs);
}

void HostRequests::serveNext() {
    if (m_serving || m_waiting.empty())
        return;
    std::vector<Request> taken;
    const Kind kind = m_waiting.front().kind;
    while (!m_waiting.empty() && m_waiting.front().kind == kind && (taken.empty() || kind == Kind::Record)) {
        taken.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
        const Request &request = taken.back();
        m_waitingBytes -= request.payload.size();
        if (--m_waitingPer[request.source] <= 0)
            m_waitingPer.remove(request.source);
    }
    m_serving = true;
    if (kind == Kind::Record)
        serveRecords(taken);
    else if (stillThere(taken.front()))
        serveQuery(taken.front());
    m_serving = false;
    scheduleNext();
}

void HostRequests::serveRecords(const std::vector<Request> &records) {
    QList<bool> stored;
    if (m_recordBatchStore) {
        QStringList payloads;
        for (const Request &request : records)
            payloads.append(request.payload);
        const RecordBatchStore store = m_recordBatchStore; // a copy: the store may replace itself
        stored = store(payloads);
    } else if (m_recordStore) {
        const RecordStore store = m_recordStore;
        for (const Request &request : records)
            stored.append(store(request.payload));
    } else {
        return;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const Request &request = records[i];
        if (request.source >= 1 && stillThere(request))
            m_session.QueueMessage(ProtocolTags::kRecordResult.line(
                                       stored.value(qsizetype(i)) ? kRecordStored : kRecordNotStored),
                                   request.source);
    }
}

void HostRequests::serveQuery(const Request &request) {
    if (!m_queryRunner)
        return;
    const QueryRunner run = m_queryRunner;
    const QStringList rows = run(request.payload);
    if (request.source < 1 || !stillThere(request))
        return;
    // The count has a blank before it, as members have always read it.
    m_session.QueueMessage(ProtocolTags::kQueryCount.line(u' ' + QString::number(rows.size())),
                           request.source);
    for (const QString &row : rows)
        m_session.QueueMessage(ProtocolTags::kQuery.line(row), request.source);
}
