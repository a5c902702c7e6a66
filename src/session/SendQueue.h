#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QTimer;

// Where queued lines go: something that knows which destinations are connected and can write a line
// (without terminator) to one of them.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual bool isConnected(int destination) const = 0;
    virtual void writeLine(int destination, const QString &text) = 0;
};

// The one way out for every protocol line. Lines wait in arrival order, each with its destination
// (the host, or a host-side slot); the pump `tmrSendData` hands one line per tick to its socket: the
// oldest line whose destination is connected. Lines for unconnected destinations wait in place, so the
// order per destination is kept. The pump runs only while some waiting line can leave; `wake()` is
// called when a destination connects.
class SendQueue : public QObject {
    Q_OBJECT

public:
    static constexpr int kHost = -1;  // destination of QueueToHost
    static constexpr int kTickMs = 1; // pump interval

    struct Entry {
        QString text;
        int destination = kHost;
    };

    explicit SendQueue(LineSink &sink, QObject *parent = nullptr);

    void QueueToHost(const QString &text);
    void QueueMessage(const QString &text, int slot);
    // Empties the queue: nothing queued so far will be sent.
    void clear();

    const QList<Entry> &entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    bool isPumping() const;

    // "主机" or "连线(n)": the destination as the traffic log names it.
    static QString Label(int destination);

    // Starts the pump if a waiting line may now be able to leave.
    void wake();
    // One tick of the pump: sends at most one line.
    void tmrSendData_Timer();

    QTimer *tmrSendData = nullptr;

signals:
    // A line left: "主机: text" or "连线(n): text", for the traffic log.
    void lineSent(const QString &logLine);

private:
    void append(const QString &text, int destination);

    LineSink &m_sink;
    QList<Entry> m_entries;
};
