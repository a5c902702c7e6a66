#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QTimer;
class SessionLink;

// The host's side of "[记录]" and "[查询]": requests wait in arrival order. Records that wait one after
// another are stored together as soon as the event loop turns (one write to the disk for all of them);
// a query is served after a pause of kPauseMs. Both run from a timer, never inside the handling of a
// line, so lines of other connections are handled meanwhile. The answer goes to the connection that
// asked, and only while that connection is still the one on its slot: a record of a connection that
// ended is stored all the same (only its answer is dropped), its queries are forgotten. A connection
// with more than
// kMaxWaitingPerConnection requests waiting (or the busiest one, when all together pass kMaxWaiting
// requests or kMaxWaitingBytes of text) is
// reported through tooManyRequests and its requests dropped.
class HostRequests : public QObject {
    Q_OBJECT

public:
    static constexpr int kPauseMs = 50;
    static constexpr int kMaxWaitingPerConnection = 1024;
    static constexpr int kMaxWaiting = 4096;
    static constexpr qsizetype kMaxWaitingBytes = 16 * 1024 * 1024;

    // Stores a record, true when it was stored.
    using RecordStore = std::function<bool(const QString &record)>;
    // Stores records that arrived together; one result per record, true when it was stored.
    using RecordBatchStore = std::function<QList<bool>(const QStringList &records)>;
    // The rows found for a query text.
    using QueryRunner = std::function<QStringList(const QString &query)>;

    explicit HostRequests(SessionLink &session, QObject *parent = nullptr);

    void setRecordStore(RecordStore store) { m_recordStore = std::move(store); }
    // Takes the place of the record store while set.
    void setRecordBatchStore(RecordBatchStore store) { m_recordBatchStore = std::move(store); }
    void setQueryRunner(QueryRunner runner) { m_queryRunner = std::move(runner); }
    bool hasRecordStore() const { return m_recordStore || m_recordBatchStore; }
    bool hasQueryRunner() const { return bool(m_queryRunner); }
    const QueryRunner &queryRunner() const { return m_queryRunner; }

    // Queues a request from connection `source` (-1: fed locally, answered to nobody).
    void submitRecord(const QString &record, int source);
    void submitQuery(const QString &query, int source);
    // The connection on slot n ended: its waiting queries are dropped; its records are still stored.
    void forget(int n);
    // The session ends: waiting records are stored (nobody is told), queries dropped.
    void clear();
    int waiting() const { return int(m_waiting.size()); }

signals:
    // Connection n asked for more than may wait; its requests are already dropped.
    void tooManyRequests(int n);

private:
    enum class Kind { Record, Query };
    struct Request {
        Kind kind;
        QString payload;
        int source;
        quint64 connection; // which connection asked (the slot may carry another one later)
    };

    void submit(Kind kind, const QString &payload, int source);
    // Drops the waiting requests of slot n that `which` selects.
    void drop(int n, const std::function<bool(const Request &)> &which);
    void scheduleNext();
    void serveNext();
    void serveRecords(const std::vector<Request> &records);
    void serveQuery(const Request &request);
    bool stillThere(const Request &request) const;

    SessionLink &m_session;
    RecordStore m_recordStore;
    RecordBatchStore m_recordBatchStore;
    QueryRunner m_queryRunner;
    std::deque<Request> m_waiting;
    QHash<int, int> m_waitingPer; // source -> requests waiting
    qsizetype m_waitingBytes = 0;
    QTimer *m_pause;
    bool m_serving = false;
};
