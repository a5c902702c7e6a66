#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <map>

class QTimer;

// Where queued lines go: something that knows which destinations are connected and can write a line
// (without terminator) to one of them.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual bool isConnected(int destination) const = 0;
    // Whether the destination takes another line now: connected, and not still holding a lot of what it
    // was handed before.
    virtual bool canTake(int destination) const { return isConnected(destination); }
    virtual void writeLine(int destination, const QString &text) = 0;
};

// The one way out for every protocol line. Each destination (the host, or a host-side slot) has its own
// line of waiting lines, kept in the order they were queued. The pump `tmrSendData` hands lines to the
// sockets that can take them, one line per destination in turn (round robin), several rounds per tick,
// each line its own write; so one busy destination cannot hold the others up. Lines for a destination
// that is not connected (or whose socket is full) wait in place.
//
// The backlog is bounded: a destination whose waiting lines pass kMaxBacklogLines or kMaxBacklogBytes
// (or the largest one, when all together pass kMaxTotalBytes) overflows: its lines are dropped, lines
// queued for it from then on are discarded, and backlogExceeded reports it (queued, never from inside
// the call that queued the line) so the owner can cut that connection. dropDestination() forgets a
// destination whose connection ended, its waiting lines included.
//
// The pump runs only while some waiting line may be able to leave; `wake()` is called when a
// destination connects or its socket has room again.
class SendQueue : public QObject {
    Q_OBJECT

public:
    static constexpr int kHost = -1;  // destination of QueueToHost
    static constexpr int kTickMs = 1; // pump interval
    // Time one tick may spend handing lines over, so the window stays responsive.
    static constexpr int kTickBudgetMs = 4;
    static constexpr qsizetype kMaxBacklogLines = 65536;
    static constexpr qsizetype kMaxBacklogBytes = 16 * 1024 * 1024;
    static constexpr qsizetype kMaxTotalBytes = 64 * 1024 * 1024;
    // Lines waiting for destinations that are taking them, above which readers should hold back.
    static constexpr qsizetype kCongestionLines = 8192;

    struct Entry {
        QString text;
        int destination = kHost;
    };

    explicit SendQueue(LineSink &sink, QObject *parent = nullptr);

    void QueueToHost(const QString &text);
    void QueueMessage(const QString &text, int slot);
    // Empties the queue: nothing queued so far will be sent.
    void clear();
    // Forgets one destination: its waiting lines are dropped and a past overflow is forgotten.
    void dropDestination(int destination);

    // What waits, destination by destination, each in its order.
    QList<Entry> entries() const;
    qsizetype size() const { return m_totalLines; }
    bool isEmpty() const { return m_totalLines == 0; }
    qsizetype backlog(int destination) const;
    qsizetype backlogBytes() const { return m_totalBytes; }
    bool isPumping() const;
    // Whether many lines wait for destinations that are taking them: readers of further input that
    // would be relayed should wait a moment.
    bool isCongested() const;
    // Ticks that ran (for the idle-host figure of the benchmark).
    quint64 ticks() const { return m_ticks; }

    // "主机" or "连线(n)": the destination as the traffic log names it.
    static QString Label(int destination);

    // Starts the pump if a waiting line may now be able to leave.
    void wake();
    // One tick of the pump.
    void tmrSendData_Timer();

    QTimer *tmrSendData = nullptr;

signals:
    // A line left: "主机: text" or "连线(n): text", for the traffic log.
    void lineSent(const QString &logLine);
    // The destination's backlog passed the bound; what waited for it is gone.
    void backlogExceeded(int destination);

private:
    struct Lane {
        std::deque<QString> lines;
        qsizetype bytes = 0;
        QString logPrefix;
        bool overflowed = false; // lines for it are discarded until it is dropped
        bool blocked = false;    // could not take a line when the pump last came by
        bool scheduled = false;  // in m_order
    };

    void append(const QString &text, int destination);
    void overflow(int destination, Lane &lane);
    void discardLines(Lane &lane);
    static qsizetype cost(const QString &text);

    LineSink &m_sink;
    std::map<int, Lane> m_lanes;
    std::deque<int> m_order; // destinations with waiting lines, in turn
    qsizetype m_totalLines = 0;
    qsizetype m_totalBytes = 0;
    quint64 m_ticks = 0;
};
