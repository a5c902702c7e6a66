#include "SessionProbe.h"

#include "chat/Chat.h"
#include "chat/ChatPanel.h"
#include "chat/ChatTool.h"
#include "chat/DrawingBoard.h"
#include "chat/Palette.h"
#include "chat/Whiteboard.h"
#include "session/WireFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>

// One participant: a session on loopback with the real chat panel, chat and whiteboard on it.
struct Participant {
    SessionProbe probe;
    QGroupBox frame;
    int notified = 0;
    ChatTool tool{&frame, probe.session, [this] { ++notified; }};
    ChatPanel &panel = tool.panel();
    Chat &chat = tool.chat();
    Whiteboard &board = tool.whiteboard();

    explicit Participant(const QString &id)
        : probe(id) {
        frame.resize(700, 410);
    }

    QStringList transcript() const {
        const QString text = panel.txtDialog->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }
    void say(const QString &text, bool whisper = false) {
        panel.chkPrivate->setChecked(whisper);
        panel.txtMessage->setText(text);
        QTest::keyClick(panel.txtMessage, Qt::Key_Return);
    }
    void select(const QList<int> &numbers) {
        MemberList &list = probe.members();
        for (int i = 0; i < list.count(); ++i)
            list.setSelected(i, numbers.contains(list.at(i).number));
    }
    // Lines this participant put on the wire, without the traffic log's destination label and without the
    // marks of TestChat::settle().
    QStringList sentLines() const {
        QStringList lines;
        for (const QString &logged : probe.sent) {
            if (!logged.contains(QStringLiteral(": [标记]")))
                lines << logged.section(QStringLiteral(": "), 1);
        }
        return lines;
    }
    QColor pixel(QPoint twips) const {
        return panel.picDraw->image().pixelColor(DrawingBoard::toPixels(twips).toPoint());
    }
};

class TestChat : public QObject {
    Q_OBJECT

    std::unique_ptr<Participant> host, second, third;
    int marks = 0;

    // Until everything sent so far has been handled everywhere: a mark (a tag no one handles) from each
    // member reached the host after all they sent before, then one from the host reached each member
    // after everything the host had relayed.
    void settle() {
        const QString mark = QStringLiteral("[标记]%1").arg(++marks);
        QTRY_VERIFY(!host->probe.session.host().memberListPending());
        for (Participant *p : {second.get(), third.get()})
            p->probe.session.QueueToHost(mark);
        const auto marked = [&mark](const QStringList &received) {
            return int(std::count_if(received.begin(), received.end(), [&mark](const QString &line) {
                return line.endsWith(QStringLiteral(": ") + mark);
            }));
        };
        QTRY_COMPARE(marked(host->probe.received), 2);
        host->probe.session.SendToAllMembers(mark);
        for (Participant *p : {second.get(), third.get()})
            QTRY_COMPARE(marked(p->probe.received), 1);
    }

private slots:
    void init() {
        host = std::make_unique<Participant>(QStringLiteral("甲"));
        second = std::make_unique<Participant>(QStringLiteral("乙"));
        third = std::make_unique<Participant>(QStringLiteral("丙"));
        const quint16 port = host->probe.startHosting();
        QVERIFY(port != 0);
        QVERIFY(second->probe.join(port));
        QVERIFY(third->probe.join(port));
        QTRY_COMPARE(second->probe.members().count(), 3);
        QTRY_COMPARE(third->probe.members().count(), 3);
        settle();
    }
    void cleanup() {
        third.reset();
        second.reset();
        host.reset();
    }

    void hostMessageShownOnceEverywhere() {
        host->say(QStringLiteral("hi"));
        QCOMPARE(host->transcript(), QStringList{QStringLiteral("甲说： hi")});
        QTRY_COMPARE(second->transcript(), QStringList{QStringLiteral("甲说： hi")});
        QTRY_COMPARE(third->transcript(), QStringList{QStringLiteral("甲说： hi")});
        QVERIFY(host->panel.txtMessage->text().isEmpty());
        QCOMPARE(host->notified + second->notified + third->notified, 0);
    }

    void memberMessageRelayedWithoutEcho() {
        second->say(QStringLiteral("yo"));
        QTRY_COMPARE(host->transcript(), QStringList{QStringLiteral("乙说： yo")});
        QTRY_COMPARE(third->transcript(), QStringList{QStringLiteral("乙说： yo")});
        settle();
        QCOMPARE(second->transcript(), QStringList{QStringLiteral("乙说： yo")});
    }

    void memberWhispersToHostAndThirdMember() {
        second->select({MemberList::kHostNumber, third->probe.session.ownNumber()});
        second->say(QStringLiteral("psst"), true);
        QTRY_COMPARE(host->transcript(), QStringList{QStringLiteral("乙悄悄说：psst")});
        QTRY_COMPARE(host->notified, 1);
        QTRY_COMPARE(third->transcript(), QStringList{QStringLiteral("乙悄悄说：psst")});
        QTRY_COMPARE(third->notified, 1);
        QVERIFY(third->probe.received.contains(QStringLiteral("主机: [通知]")));
        settle();
        QCOMPARE(second->transcript(), QStringList{QStringLiteral("乙悄悄说：psst")});
        QCOMPARE(second->notified, 0);
    }

    void whisperWithoutRecipientsStaysLocal() {
        second->select({});
        const qsizetype sentBefore = second->sentLines().size();
        second->say(QStringLiteral("alone"), true);
        QCOMPARE(second->transcript(), QStringList{QStringLiteral("乙悄悄说：alone")});
        QVERIFY(second->probe.session.queue().isEmpty());
        settle();
        QCOMPARE(second->sentLines().size(), sentBefore);
        QVERIFY(host->transcript().isEmpty());
    }

    void hostWhisperingToItselfSendsNothing() {
        host->select({MemberList::kHostNumber});
        host->say(QStringLiteral("me"), true);
        QCOMPARE(host->transcript(), QStringList{QStringLiteral("甲悄悄说：me")});
        QVERIFY(host->probe.session.queue().isEmpty());
        host->select({second->probe.session.ownNumber()});
        host->say(QStringLiteral("you"), true);
        QTRY_COMPARE(second->transcript(), QStringList{QStringLiteral("甲悄悄说：you")});
        QTRY_COMPARE(second->notified, 1);
        settle();
        QVERIFY(third->transcript().isEmpty());
    }

    void theTranscriptKeepsTheNewestLinesEachCutToWhatThisProgramSends() {
        // More lines than the transcript keeps, one of them far longer than anyone can type.
        const int total = Chat::kMaxDialogLines + 300;
        for (int i = 0; i < total; ++i)
            second->probe.session.QueueToHost(i == total - 2
                                                  ? QStringLiteral("[消息]") + QString(30000, u'长')
                                                  : QStringLiteral("[消息]乙说： 第%1行").arg(i));
        for (Participant *p : {host.get(), third.get()}) {
            QVERIFY(QTest::qWaitFor(
                [p, total] {
                    return p->transcript().value(Chat::kMaxDialogLines - 1) ==
                           QStringLiteral("乙说： 第%1行").arg(total - 1);
                },
                60000));
            const QStringList lines = p->transcript();
            QCOMPARE(lines.size(), Chat::kMaxDialogLines);
            QCOMPARE(lines.first(), QStringLiteral("乙说： 第%1行").arg(total - Chat::kMaxDialogLines));
            QCOMPARE(lines.at(lines.size() - 2),
                     QString(Chat::kMaxDialogLineChars, u'长') + QStringLiteral("…（共 30000 字符）"));
        }
    }

    void enterInAnEmptyBoxSendsNothing() {
        host->panel.txtMessage->setFocus();
        QTest::keyClick(host->panel.txtMessage, Qt::Key_Return);
        QVERIFY(host->transcript().isEmpty());
        QVERIFY(host->probe.session.queue().isEmpty());
    }

    void aClickSendsBrushThenADot() {
        host->panel.comBrush->setCurrentIndex(1);
        host->panel.markSwatch(5); // red
        QTest::mouseClick(host->panel.picDraw, Qt::LeftButton, {}, QPoint(10, 20));
        settle();
        const QString x = QStringLiteral("0000000150"), y = QStringLiteral("0000000300");
        const QString red = WireFormat::FormatNumberField(0x0000FF);
        QCOMPARE(host->sentLines().mid(host->sentLines().size() - 4),
                 (QStringList{"[画笔]1", "[画笔]1", "[直线]" + x + y + x + y + red,
                              "[直线]" + x + y + x + y + red}));
        QCOMPARE(host->pixel(QPoint(150, 300)), QColor(Qt::red));
        QTRY_COMPARE(second->pixel(QPoint(150, 300)), QColor(Qt::red));
        QCOMPARE(second->panel.comBrush->currentIndex(), 1); // the receiver's brush follows the drawer
    }

    void rightButtonDrawsNothing() {
        const int before = host->probe.sent.size();
        QTest::mouseClick(host->panel.picDraw, Qt::RightButton, {}, QPoint(10, 20));
        // A click that drew would have queued its lines at once.
        QVERIFY(host->probe.session.queue().isEmpty());
        QCOMPARE(host->probe.sent.size(), before);
        QCOMPARE(host->pixel(QPoint(150, 300)), host->panel.picDraw->palette().color(QPalette::Window));
    }

    void strokeBeyondTheEdgeTravelsWithAMinusSign() {
        second->board.picDraw_MouseDown(QPoint(30, 30));
        second->board.picDraw_MouseMove(QPoint(-45, 30));
        QTRY_VERIFY(
            host->probe.received.last().contains(QStringLiteral("[直线]00000000300000000030-000000045")));
        settle();
    }

    void memberClearsItsBoardAtOnceAndTheOthersAfterRelay() {
        for (Participant *p : {host.get(), second.get(), third.get()})
            p->panel.picDraw->drawLine(QPoint(300, 300), QPoint(600, 600), Qt::black, 3);
        second->board.cmdClearDraw_Click();
        const QColor blank = second->panel.picDraw->palette().color(QPalette::Window);
        QCOMPARE(second->pixel(QPoint(450, 450)), blank);
        QCOMPARE(host->pixel(QPoint(450, 450)), QColor(Qt::black));
        QTRY_COMPARE(host->pixel(QPoint(450, 450)), blank);
        QTRY_COMPARE(third->pixel(QPoint(450, 450)), blank);
    }

    void receivedLinesUseTheReceiversPenAndSurviveRepaints() {
        third->panel.comBrush->setCurrentIndex(7);
        QCOMPARE(third->board.penWidth(), 8);
        host->probe.session.SendToAllMembers(
            QStringLiteral("[直线]") + WireFormat::FormatNumberField(150) +
            WireFormat::FormatNumberField(750) + WireFormat::FormatNumberField(1500) +
            WireFormat::FormatNumberField(750) + WireFormat::FormatNumberField(0xFF0000));
        QTRY_COMPARE(third->pixel(QPoint(750, 750 + 45)), QColor(Qt::blue)); // 3 px below the centre line
        third->panel.picDraw->resize(300, 300);
        third->panel.picDraw->resize(193, 193);
        QCOMPARE(third->pixel(QPoint(750, 750)), QColor(Qt::blue));
    }
};

QTEST_MAIN(TestChat)
#include "tst_chat.moc"
