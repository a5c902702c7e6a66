#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class HostRequests;
class Session;

// One received protocol line, as a handler sees it.
struct IncomingLine {
    QString tag;     // with its brackets, e.g. "[消息]"
    QString payload; // everything after the first "]"
    int source = -1; // -1: from the host (or fed locally); n >= 1: from the member on slot n
};

// `ProcessIncoming`: the receiving side of the protocol, for both roles. Every line is logged; its tag
// is compared whole and exactly with the tag table; the session's own part (member list, join reply,
// relays, whisper routing, brush clamp, query counting) is carried out here; what a tool shows is left
// to the handler the tool registered for the tag. A tag without handler is only logged beyond the
// session's own part. A tag only a host sends is ignored when it comes from a member, and a tag only a
// member sends is ignored by a member.
class Dispatcher : public QObject {
    Q_OBJECT

public:
    enum class Sender { Host, Member, Both };

    using Handler = std::function<void(const IncomingLine &)>;
    // Host side of "[记录]": stores the record, true when it was stored. Called from a timer after the
    // request's pause, one request at a time (see HostRequests); it should not wait itself.
    using RecordStore = std::function<bool(const QString &record)>;
    // Host side of "[查询]": the rows found for a query text; called like the record store.
    using QueryRunner = std::function<QStringList(const QString &query)>;

    static constexpr int kDesignedBrushCount = 8;

    explicit Dispatcher(Session &session);

    // Who may send a tag; empty for a tag that is not in the table.
    static std::optional<Sender> SenderOf(const QString &tag);
    static QStringList KnownTags();

    // Tools register what a tag does on their screen. For "[画笔]" the payload is the brush index as
    // used (out-of-range values already replaced by 0); a whisper addressed to the host runs the
    // "[消息]" handler with the display line, then the "[通知]" handler.
    void registerHandler(const QString &tag, Handler handler);
    void unregisterHandler(const QString &tag);
    bool hasHandler(const QString &tag) const { return m_handlers.contains(tag); }
    void setRecordStore(RecordStore store);
    void setQueryRunner(QueryRunner runner);
    // The host's waiting record and query requests.
    HostRequests &requests() { return *m_requests; }
    // Entries of the brush-size list: "[画笔]" values beyond its last index become 0.
    void setBrushCount(int count) { m_brushCount = count; }

    // Handles every complete line (ending in CR LF) at the front of `buffer` and removes it; text after
    // the last CR LF stays in the buffer for the caller to complete.
    void ProcessIncoming(QString &buffer, int source);
    // Handles one line without its terminator.
    void handleLine(const QString &line, int source);

    // The member's collection of query rows.
    int queryExpected() const { return m_queryExpected; }
    int queryReceived() const { return m_queryRows.size(); }
    void resetQuery();

signals:
    // A member received every row of its query.
    void queryResultsReady(const QStringList &rows);

private:
    using Action = void (Dispatcher::*)(const IncomingLine &);

    void runHandler(const QString &tag, const QString &payload, int source);
    bool fromMember(const IncomingLine &line) const;
    // A member number read from the first field; empty when malformed.
    std::optional<int> numberAt(const QString &payload) const;

    void onJoin(const IncomingLine &line);
    void onRefused(const IncomingLine &line);
    void onKicked(const IncomingLine &line);
    void onConnectionLost(const IncomingLine &line);
    void onClearList(const IncomingLine &line);
    void onName(const IncomingLine &line);
    void onOwnNumber(const IncomingLine &line);
    void onPlatformName(const IncomingLine &line);
    void onMessage(const IncomingLine &line);
    void onWhisper(const IncomingLine &line);
    void onBrush(const IncomingLine &line);
    void onLine(const IncomingLine &line);
    void onClearPicture(const IncomingLine &line);
    void onRecord(const IncomingLine &line);
    void onRecordResult(const IncomingLine &line);
    void onQuery(const IncomingLine &line);
    void onQueryCount(const IncomingLine &line);
    void onToolOnly(const IncomingLine &line);

    Session &m_session;
    QHash<QString, Handler> m_handlers;
    HostRequests *m_requests;
    int m_brushCount = kDesignedBrushCount;
    int m_queryExpected = 0;
    QStringList m_queryRows;
};
