#include "session/SendQueue.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Destinations that are "connected", those whose socket is full, and what was written, in order.
class FakeSink : public LineSink {
public:
    QSet<int> connected;
    QSet<int> full;
    QList<QPair<int, QString>> written;

    bool isConnected(int destination) const override { return connected.contains(destination); }
    bool canTake(int destination) const override {
        return isConnected(destination) && !full.contains(destination);
    }
    void writeLine(int destination, const QString &text) override { written.append({destination, text}); }
};

} // namespace

class TestSendQueue : public QObject {
    Q_OBJECT

private slots:
    void destinationsTakeTurnsAndEachKeepsItsOrder() {
        FakeSink sink;
        SendQueue queue(sink);
        queue.tmrSendData->stop(); // ticks by hand
        for (int i = 0; i < 3; ++i) {
            queue.QueueMessage(QStringLiteral("a%1").arg(i), 2);
            queue.QueueMessage(QStringLiteral("b%1").arg(i), 3);
        }
        for (int i = 3; i < 6; ++i)
            queue.QueueMessage(QStringLiteral("a%1").arg(i), 2);
        queue.QueueMessage(QStringLiteral("c0"), 4);
        sink.connected = {3, 4};

        // One tick hands over everything that can leave, one line per destination in turn; slot 2's
        // lines wait in place.
        QSignalSpy sent(&queue, &SendQueue::lineSent);
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written, (QList<QPair<int, QString>>{{3, "b0"}, {4, "c0"}, {3, "b1"}, {3, "b2"}}));
        QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("连线(3): b0"));
        QCOMPARE(queue.size(), 6);
        QCOMPARE(queue.backlog(2), 6);

        // A flood for one destination does not hold up a line for another.
        sink.written.clear();
        sink.connected = {2, 3};
        queue.QueueMessage(QStringLiteral("b3"), 3);
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written.mid(0, 2), (QList<QPair<int, QString>>{{2, "a0"}, {3, "b3"}}));
        QStringList toTwo;
        for (const auto &[destination, text] : std::as_const(sink.written)) {
            if (destination == 2)
                toTwo << text;
        }
        QCOMPARE(toTwo, (QStringList{"a0", "a1", "a2", "a3", "a4", "a5"}));
        QVERIFY(queue.isEmpty());

        // A full socket takes nothing until it has room again.
        sink.written.clear();
        sink.full = {2};
        queue.QueueMessage(QStringLiteral("x"), 2);
        queue.QueueMessage(QStringLiteral("y"), 3);
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written, (QList<QPair<int, QString>>{{3, "y"}}));
        sink.full.clear();
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written.last(), (QPair<int, QString>{2, "x"}));
    }

    void aBacklogPastTheBoundIsDroppedAndReported() {
        FakeSink sink;
        SendQueue queue(sink);
        QSignalSpy exceeded(&queue, &SendQueue::backlogExceeded);
        queue.QueueMessage(QStringLiteral("other"), 3);
        for (qsizetype i = 0; i <= SendQueue::kMaxBacklogLines; ++i)
            queue.QueueMessage(QStringLiteral("l"), 2);
        // Reported later, not from inside the call that queued the line.
        QCOMPARE(exceeded.size(), 0);
        QCOMPARE(queue.backlog(2), 0);
        QCOMPARE(queue.size(), 1);
        queue.QueueMessage(QStringLiteral("more"), 2);
        QCOMPARE(queue.backlog(2), 0); // discarded until the destination is dropped
        QTRY_COMPARE(exceeded.size(), 1);
        QCOMPARE(exceeded.at(0).at(0).toInt(), 2);

        queue.dropDestination(2);
        queue.QueueMessage(QStringLiteral("fresh"), 2);
        QCOMPARE(queue.backlog(2), 1);
        // Bytes count as well as lines.
        const QString big(1024 * 1024, u'x');
        for (int i = 0; i < 8; ++i)
            queue.QueueMessage(big, 5);
        QCOMPARE(queue.backlog(5), 0);
        QTRY_COMPARE(exceeded.size(), 2);
        QVERIFY(queue.backlogBytes() < 1024);
    }

    void pumpRunsOnlyWhileALineCanLeave() {
        FakeSink sink;
        SendQueue queue(sink);
        QVERIFY(!queue.isPumping());
        queue.QueueToHost(QStringLiteral("[加入]甲"));
        QVERIFY(queue.isPumping());
        // Not connected: the first tick finds nothing to send and the pump rests.
        QTRY_VERIFY(!queue.isPumping());
        QCOMPARE(queue.entries().size(), 1);
        const quint64 ticks = queue.ticks();
        // A timer of the pump's interval fires again and again meanwhile; the resting pump does not.
        QTimer reference;
        reference.setTimerType(Qt::PreciseTimer);
        int fired = 0;
        connect(&reference, &QTimer::timeout, this, [&fired] { ++fired; });
        reference.start(SendQueue::kTickMs);
        QVERIFY(QTest::qWaitFor([&fired] { return fired >= 20; }));
        reference.stop();
        QCOMPARE(queue.ticks(), ticks); // resting means no ticks at all

        // The join line leaves with the first tick after the connection is up.
        QSignalSpy sent(&queue, &SendQueue::lineSent);
        sink.connected = {SendQueue::kHost};
        queue.wake();
        QTRY_COMPARE(sent.size(), 1);
        QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("主机: [加入]甲"));
        QTRY_VERIFY(!queue.isPumping());
    }

    void clearDropsEverythingQueued() {
        FakeSink sink;
        SendQueue queue(sink);
        queue.QueueToHost(QStringLiteral("x"));
        queue.QueueMessage(QStringLiteral("y"), 1);
        queue.clear();
        QVERIFY(queue.isEmpty());
        QVERIFY(!queue.isPumping());
        sink.connected = {SendQueue::kHost, 1};
        queue.wake();
        QVERIFY(!queue.isPumping());
        // A line queued now is the first and only one to leave.
        queue.QueueMessage(QStringLiteral("z"), 1);
        QTRY_VERIFY(!sink.written.isEmpty());
        QTRY_VERIFY(!queue.isPumping());
        QCOMPARE(sink.written.size(), 1);
    }

    void labelsNameTheDestination() {
        QCOMPARE(SendQueue::Label(SendQueue::kHost), QStringLiteral("主机"));
        QCOMPARE(SendQueue::Label(12), QStringLiteral("连线(12)"));
    }
};

QTEST_GUILESS_MAIN(TestSendQueue)
#include "tst_sendqueue.moc"
