#include "session/SendQueue.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// Destinations that are "connected" and what was written to them, in order.
class FakeSink : public LineSink {
public:
    QSet<int> connected;
    QList<QPair<int, QString>> written;

    bool isConnected(int destination) const override { return connected.contains(destination); }
    void writeLine(int destination, const QString &text) override { written.append({destination, text}); }
};

} // namespace

class TestSendQueue : public QObject {
    Q_OBJECT

private slots:
    void sendsOneLinePerTickOldestConnectedFirst() {
        FakeSink sink;
        SendQueue queue(sink);
        queue.tmrSendData->stop(); // ticks by hand
        queue.QueueMessage(QStringLiteral("a2"), 2);
        queue.QueueMessage(QStringLiteral("a3"), 3);
        queue.QueueMessage(QStringLiteral("b2"), 2);
        queue.QueueMessage(QStringLiteral("b3"), 3);
        sink.connected = {3};

        QSignalSpy sent(&queue, &SendQueue::lineSent);
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written.size(), 1);
        queue.tmrSendData_Timer();
        queue.tmrSendData_Timer(); // nothing more for slot 3: slot 2's lines wait in place
        QCOMPARE(sink.written, (QList<QPair<int, QString>>{{3, "a3"}, {3, "b3"}}));
        QCOMPARE(queue.entries().size(), 2);
        QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("连线(3): a3"));

        sink.connected.insert(2);
        queue.tmrSendData_Timer();
        queue.tmrSendData_Timer();
        QCOMPARE(sink.written.mid(2), (QList<QPair<int, QString>>{{2, "a2"}, {2, "b2"}}));
        QVERIFY(queue.isEmpty());
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
        QTest::qWait(20);
        QVERIFY(sink.written.isEmpty());
    }

    void labelsNameTheDestination() {
        QCOMPARE(SendQueue::Label(SendQueue::kHost), QStringLiteral("主机"));
        QCOMPARE(SendQueue::Label(12), QStringLiteral("连线(12)"));
    }
};

QTEST_GUILESS_MAIN(TestSendQueue)
#include "tst_sendqueue.moc"
