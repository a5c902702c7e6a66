#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QTimer;
class Session;

// The host's side of "[记录]" and "[查询]": requests wait in arrival order and are served one at a
// time, each after a pause of kPauseMs. The pause is a timer, not a wait inside the request's own
// handling, so lines of other connections are handled meanwhile without ever running inside a request.
// The answer goes to the connection that asked, and only while that connection is still the one on its
// slot; requests of a connection that ended are forgotten. A connection with more than
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
    // The rows found for a query text.
    using QueryRunner = std::function<QStringList(const QString &query)>;

    explicit HostRequests(Session &session, QObject *parent = nullptr);

    void setRecordStore(RecordStore store) { m_recordStore = std::move(store); }
    void setQueryRunner(QueryRunner runner) { m_queryRunner = std::move(runner); }
    bool hasRecordStore() const { return bool(m_recordStore); }
    bool hasQueryRunner() const { return bool(m_queryRunner); }

    // Queues a request from connection `source` (-1: fed locally, answered to nobody).
    void submitRecord(const QString &record, int source);
    void submitQuery(const QString &query, int source);
    // The connection on slot n ended: its waiting requests are dropped.
    void forget(int n);
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
    void serveNext();
    void serve(const Request &request);
    bool stillThere(const Request &request) const;

    Session &m_session;
    RecordStore m_recordStore;
    QueryRunner m_queryRunner;
    std::deque<Request> m_waiting;
    QHash<int, int> m_waitingPer; // source -> requests waiting
    qsizetype m_waitingBytes = 0;
    QTimer *m_pause;
    bool m_serving = false;
};
