#include "session/MemberList.h"
#include "session/WireFormat.h"

#include "platform/text/TextCodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace WireFormat;

class TestWireFormat : public QObject {
    Q_OBJECT

private slots:
    void numberFieldsAreTenCharactersWide() {
        QCOMPARE(FormatNumberField(3), QStringLiteral("0000000003"));
        QCOMPARE(FormatNumberField(0), QStringLiteral("0000000000"));
        QCOMPARE(FormatNumberField(-1), QStringLiteral("-000000001"));
        QCOMPARE(FormatNumberField(-123), QStringLiteral("-000000123"));
        // Whiteboard coordinates are fractional: rounded, halves away from zero.
        QCOMPARE(FormatNumberField(2.5), QStringLiteral("0000000003"));
        QCOMPARE(FormatNumberField(-2.5), QStringLiteral("-000000003"));
        QCOMPARE(FormatNumberField(-0.4), QStringLiteral("0000000000"));
        QCOMPARE(FormatNumberField(16777215), QStringLiteral("0016777215"));
        // Nothing the program sends is this large, but it must not be undefined.
        QVERIFY(!FormatNumberField(1e300).isEmpty());
        QCOMPARE(FormatNumberField(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0000000000"));
    }

    void fieldsAreCutByPosition() {
        const QString whisper = QStringLiteral("0000000002-0000000010000000003甲悄悄说：hi");
        QCOMPARE(FieldAt(whisper, 1), QStringLiteral("0000000002"));
        QCOMPARE(FieldAt(whisper, 2), QStringLiteral("-000000001"));
        QCOMPARE(FieldAt(whisper, 3), QStringLiteral("0000000003"));
        QCOMPARE(FieldsFrom(whisper, 4), QStringLiteral("甲悄悄说：hi"));
        QCOMPARE(FieldAt(QStringLiteral("12345"), 1), QStringLiteral("12345"));
        QCOMPARE(FieldAt(QStringLiteral("12345"), 2), QString());
        QCOMPARE(FieldsFrom(QStringLiteral("12345"), 3), QString());
        QCOMPARE(FieldAt(QStringLiteral("12345"), 0), QString());
        QCOMPARE(FieldAt(QStringLiteral("12345"), -4), QString());
    }

    void aLineSplitsAtItsFirstBracket() {
        Line l = SplitLine(QStringLiteral("[消息]甲说： a]b"));
        QCOMPARE(l.tag, QStringLiteral("[消息]"));
        QCOMPARE(l.payload, QStringLiteral("甲说： a]b"));
        l = SplitLine(QStringLiteral("[清除图片]"));
        QCOMPARE(l.tag, QStringLiteral("[清除图片]"));
        QVERIFY(l.payload.isEmpty());
        l = SplitLine(QStringLiteral("no tag here"));
        QVERIFY(l.tag.isEmpty());
        l = SplitLine(QStringLiteral("x]y"));
        QCOMPARE(l.tag, QStringLiteral("x]")); // not a table tag: only logged
    }

    void numbersAreReadStrictly() {
        QCOMPARE(ToInt16(QStringLiteral("0000000003")), std::optional<qint16>(3));
        QCOMPARE(ToInt16(QStringLiteral("-000000001")), std::optional<qint16>(-1));
        QCOMPARE(ToInt16(QStringLiteral(" 5")), std::optional<qint16>(5));
        QCOMPARE(ToInt16(QStringLiteral("32767")), std::optional<qint16>(32767));
        QVERIFY(!ToInt16(QStringLiteral("32768")));
        QVERIFY(!ToInt16(QStringLiteral("99999999999999999999999")));
        QVERIFY(!ToInt16(QStringLiteral("")));
        QVERIFY(!ToInt16(QStringLiteral("-")));
        QVERIFY(!ToInt16(QStringLiteral("1x")));
        QVERIFY(!ToInt16(QStringLiteral("１")));
        QCOMPARE(ToInt32(QStringLiteral("0016777215")), std::optional<qint32>(16777215));
        QCOMPARE(ToSingle(QStringLiteral("-000000012")), std::optional<float>(-12.0f));
        QCOMPARE(ToSingle(QStringLiteral("12.5")), std::optional<float>(12.5f));
        QVERIFY(!ToSingle(QStringLiteral("1e99")));
        QVERIFY(!ToSingle(QStringLiteral("nan")));
    }

    void framerReassemblesLinesAcrossArrivals() {
        LineFramer framer;
        bool overflow = true;
        QCOMPARE(framer.feed("[清除图片]\r\n[消息]a\r\n", &overflow),
                 (QByteArrayList{"[清除图片]", "[消息]a"}));
        QVERIFY(!overflow);
        QVERIFY(framer.feed("[消", &overflow).isEmpty());
        QCOMPARE(framer.pending(), 4);
        QCOMPARE(framer.feed("息]b\r", &overflow), QByteArrayList{});
        // The CR and LF of one terminator may come in different arrivals.
        QCOMPARE(framer.feed("\n[直", &overflow), QByteArrayList{"[消息]b"});
        QCOMPARE(framer.feed("线]\r\n", &overflow), QByteArrayList{"[直线]"});
        QCOMPARE(framer.pending(), 0);
        QCOMPARE(framer.feed("\r\n", &overflow), QByteArrayList{""});
    }

    void framerDropsAPeerWhoseLineIsTooLong() {
        LineFramer framer(16);
        bool overflow = false;
        // A complete line that is too long: the lines before it still count.
        QCOMPARE(framer.feed("ok\r\n" + QByteArray(17, 'x') + "\r\nlater\r\n", &overflow),
                 QByteArrayList{"ok"});
        QVERIFY(overflow);
        QCOMPARE(framer.pending(), 0);

        // A line that keeps growing without an end is cut as soon as it passes the cap.
        LineFramer growing(16);
        QVERIFY(growing.feed(QByteArray(10, 'y'), &overflow).isEmpty());
        QVERIFY(!overflow);
        growing.feed(QByteArray(10, 'y'), &overflow);
        QVERIFY(overflow);

        // Exactly the cap is fine, even when its CR waits for the LF.
        LineFramer exact(16);
        QVERIFY(exact.feed(QByteArray(16, 'z') + '\r', &overflow).isEmpty());
        QVERIFY(!overflow);
        QCOMPARE(exact.feed("\n", &overflow), QByteArrayList{QByteArray(16, 'z')});
        QVERIFY(!overflow);
    }

    void aDecodedLineNeverTakesMoreBytesThanItCameIn() {
        // Relayed, a line must fit the cap it fitted when it came: every byte, every pair of bytes and
        // random lines, valid or not.
        auto check = [](const QByteArray &bytes) {
            const QByteArray again = tavlo::text::toWire(DecodeLine(bytes));
            if (again.size() > bytes.size())
                qWarning() << bytes.toHex() << "->" << again.toHex();
            return again.size() <= bytes.size();
        };
        for (int a = 0; a < 256; ++a) {
            QVERIFY(check(QByteArray(1, char(a))));
            for (int b = 0; b < 256; ++b)
                QVERIFY(check(QByteArray{char(a), char(b)}));
        }
        QRandomGenerator random(20);
        for (int i = 0; i < 20000; ++i) {
            QByteArray bytes(1 + random.bounded(40), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            QVERIFY(check(bytes));
        }
        QCOMPARE(DecodeLine(QByteArray(20000, '\xff')), QString(20000, u'?'));
        const QString text = QStringLiteral("图纸 abc ") + QString::fromUcs4(U"\U00020000");
        QCOMPARE(DecodeLine(tavlo::text::toWire(text)), text);
    }

    void memberListFindsEntriesByNumber() {
        MemberList list;
        list.AddMember(-1, QStringLiteral("主"));
        list.AddMember(2, QStringLiteral("乙"));
        list.AddMember(1, QStringLiteral("甲"));
        list.AddMember(2, QStringLiteral("乙2")); // same number: replaced, moved to the end
        QCOMPARE(list.numbers(), (QList<int>{-1, 1, 2}));
        QCOMPARE(list.MemberName(2), QStringLiteral("乙2"));
        QCOMPARE(list.MemberName(7), QString());
        list.RemoveMember(7);
        QCOMPARE(list.count(), 3);
        list.setSelected(1, true);
        list.setSelected(2, true);
        QCOMPARE(list.selectedCount(), 2);
        list.RemoveMember(1);
        QCOMPARE(list.selectedCount(), 1);
        QVERIFY(list.isSelected(1));
        list.clearSelection();
        QCOMPARE(list.selectedCount(), 0);
        list.setSelected(9, true); // out of range: ignored
        list.clear();
        QCOMPARE(list.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWireFormat)
#include "tst_wireformat.moc"
