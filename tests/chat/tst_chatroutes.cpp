// The chat's and the whiteboard's routes over real loopback sockets: a hosting Session with the
// real chat and whiteboard on views that record what they are given, and raw peers that speak GB18030
// lines.
#include "SessionProbe.h"

#include "chat/Chat.h"
#include "chat/Palette.h"
#include "chat/Whiteboard.h"
#include "session/WireFormat.h"

#include <QColor>
#include <QTest>

#include <memory>

namespace {

// Records each thing the tools show as the line it stands for, in `handled`.
class RecordingView : public Chat::View, public Whiteboard::View {
public:
    explicit RecordingView(QStringList &handled)
        : m_handled(handled) {}

    QString message() const override { return {}; }
    void clearMessage() override {}
    bool privateChat() const override { return false; }
    void appendToTranscript(const QString &lines) override {
        for (const QString &line : lines.split(u'\n'))
            m_handled.append(QStringLiteral("[消息]") + line);
    }
    void clearTranscript() override {}

    int brushIndex() const override { return m_brush; }
    void setBrushIndex(int index) override {
        m_brush = index;
        m_handled.append(QStringLiteral("[画笔]%1").arg(index));
    }
    int brushWidth() const override { return m_brush + 1; }
    int brushCount() const override { return Whiteboard::kDesignedBrushCount; }
    int markedSwatch() const override { return Palette::kDefaultSwatch; }
    void markSwatch(int) override {}
    void drawOnBoard(QPointF from, QPointF to, const QColor &color, int) override {
        m_handled.append(
            Whiteboard::LineMessage(from, to, WireFormat::FormatNumberField(Palette::toWire(color))));
    }
    void clearBoard() override { m_handled.append(QStringLiteral("[清除图片]")); }

private:
    QStringList &m_handled;
    int m_brush = 0;
};

// The chat and the whiteboard on a probe, in place of its stand-in tool.
struct Tools {
    explicit Tools(SessionProbe &probe)
        : view(probe.handled)
        , chat(probe.session, view, [&probe] { probe.handled.append(QStringLiteral("[通知]")); })
        , board(probe.session, view) {}

    RecordingView view;
    Chat chat;
    Whiteboard board;
};

// The probe hosting with the tools, and three raw members 甲, 乙 and 丙 joined to it.
QList<LoopbackPeer *> hostThreeMembers(SessionProbe &host, QObject *owner) {
    const QList<LoopbackPeer *> peers = joinRawMembers(host, host.startHosting(), {"甲", "乙", "丙"}, owner);
    host.handled.clear(); // the board cleared as the session started: no line did that
    return peers;
}

} // namespace

class TestChatRoutes : public QObject {
    Q_OBJECT

private slots:
    void relaysFollowTheTagTable() {
        SessionProbe host(QStringLiteral("主"));
        Tools tools(host);
        const QList<LoopbackPeer *> peers = hostThreeMembers(host, this);
        QCOMPARE(peers.size(), 3);
        LoopbackPeer *p1 = peers[0], *p2 = peers[1], *p3 = peers[2];

        // "[消息]" from 2 goes to every other member, not back to 2.
        p2->send(QStringLiteral("[消息]乙说： hi"));
        QVERIFY(p1->waitForLines(1));
        QVERIFY(p3->waitForLines(1));
        QCOMPARE(p1->takeLines(), QStringList{"[消息]乙说： hi"});
        QCOMPARE(p3->takeLines(), QStringList{"[消息]乙说： hi"});
        tools.chat.flushDialog(); // the host's transcript takes received lines a few times a second

        // "[直线]" and "[画笔]" go to all, the drawer included.
        p2->send(QStringLiteral("[画笔]3"));
        p2->send(QStringLiteral("[直线]00000000010000000002000000000300000000040000000255"));
        for (LoopbackPeer *p : {p1, p2, p3})
            QVERIFY(p->waitForLines(2));
        for (LoopbackPeer *p : {p1, p2, p3})
            QCOMPARE(p->takeLines(),
                     (QStringList{"[画笔]3", "[直线]00000000010000000002000000000300000000040000000255"}));

        // "[清除图片]" to all but the sender.
        p3->send(QStringLiteral("[清除图片]"));
        // "[画笔]" comes back to its sender, as the brush the host used (one beyond the list: 0):
        // anything meant for 3 before it would come first.
        p3->send(QStringLiteral("[画笔]8"));
        QVERIFY(p1->waitForLines(2));
        QVERIFY(p2->waitForLines(2));
        QVERIFY(p3->waitForLines(1));
        QCOMPARE(p3->takeLines(), QStringList{"[画笔]0"});
        QCOMPARE(p1->takeLines(), (QStringList{"[清除图片]", "[画笔]0"}));
        QCOMPARE(host.handled, (QStringList{"[消息]乙说： hi", "[画笔]3",
                                            "[直线]00000000010000000002000000000300000000040000000255",
                                            "[清除图片]", "[画笔]0"}));
    }

    void brushIndexIsClampedToTheList() {
        const std::pair<const char *, int> cases[] = {{"9", 0}, {"-3", 0}, {"7", 7},
                                                      {"x", 0}, {"8", 0},  {" 2 ", 2}};
        for (const auto &[value, used] : cases)
            QCOMPARE(Whiteboard::UsedBrush(QLatin1String(value), Whiteboard::kDesignedBrushCount), used);
        QCOMPARE(Whiteboard::UsedBrush(QStringLiteral("9"), 10), 9);
    }

    void whisperReachesTheListedMembersButNeverTheSender() {
        SessionProbe host(QStringLiteral("主"));
        Tools tools(host);
        const QList<LoopbackPeer *> peers = hostThreeMembers(host, this);
        QCOMPARE(peers.size(), 3);
        LoopbackPeer *p1 = peers[0], *p2 = peers[1], *p3 = peers[2];

        // From connection 3 to the host and to itself: the host shows it with notification, 3 gets nothing.
        p3->send(QStringLiteral("[悄悄话]0000000002-0000000010000000003丙悄悄说：hi"));
        QTRY_COMPARE(host.handled, (QStringList{"[消息]丙悄悄说：hi", "[通知]"}));
        // To member 2 (and to numbers nobody holds, which are dropped instead of waiting for ever).
        p3->send(QStringLiteral("[悄悄话]00000000030000000002-0000000050000000009丙悄悄说：psst"));
        QVERIFY(p2->waitForLines(2));
        QCOMPARE(p2->takeLines(), (QStringList{"[消息]丙悄悄说：psst", "[通知]"}));
        // One line naming member 2 three thousand times and the host three hundred: one copy each.
        QString numbers;
        for (int i = 0; i < 3000; ++i)
            numbers += QStringLiteral("0000000002");
        for (int i = 0; i < 300; ++i)
            numbers += QStringLiteral("-000000001");
        p3->send(QStringLiteral("[悄悄话]0000003300") + numbers + QStringLiteral("丙悄悄说：又来"));
        // What came after it marks the end of what it set off.
        p3->send(QStringLiteral("[消息]丙说： 完"));
        QVERIFY(p1->waitForLines(1));
        QVERIFY(QTest::qWaitFor([p2] { return p2->lines().contains(QStringLiteral("[消息]丙说： 完")); }));
        QCOMPARE(p2->takeLines(), (QStringList{"[消息]丙悄悄说：又来", "[通知]", "[消息]丙说： 完"}));
        QCOMPARE(p1->takeLines(), QStringList{"[消息]丙说： 完"});
        QVERIFY(p3->lines().isEmpty());
        tools.chat.flushDialog();
        QCOMPARE(host.handled, (QStringList{"[消息]丙悄悄说：hi", "[通知]", "[消息]丙悄悄说：又来", "[通知]",
                                            "[消息]丙说： 完"}));
        QVERIFY(p2->isConnected());
    }

    void aWhisperNamesEachRecipientOnceUpToWhereThePayloadEnds() {
        // Four fields: the host, member 2, something unreadable, the host again.
        const auto whisper = Chat::ReadWhisper(QStringLiteral("0000000004") + QStringLiteral("-000000001") +
                                               QStringLiteral("0000000002") + QStringLiteral("xxxxxxxxxx") +
                                               QStringLiteral("-000000001说"));
        QVERIFY(whisper);
        QCOMPARE(whisper->recipients, (QList<int>{-1, 2}));
        QCOMPARE(whisper->display, QStringLiteral("说"));
        // Fewer numbers than the count says: reading stops where the payload ends.
        const auto shortOne = Chat::ReadWhisper(QStringLiteral("00000000030000000001"));
        QVERIFY(shortOne);
        QCOMPARE(shortOne->recipients, QList<int>{1});
        QVERIFY(!Chat::ReadWhisper(QStringLiteral("x")));
    }
};

QTEST_MAIN(TestChatRoutes)
#include "tst_chatroutes.moc"
