#include "platform/text/AtomicFile.h"
#include "platform/text/ChineseScript.h"
#include "platform/text/IniFile.h"
#include "platform/text/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::text;

class TestText : public QObject {
    Q_OBJECT

private slots:
    void fileTextIsUtf8WhenValidElseGb18030() {
        const QString text = QStringLiteral("物料=离心泵");
        Encoding e;
        QCOMPARE(decodeFileText(text.toUtf8(), &e), text);
        QCOMPARE(e, Encoding::Utf8);
        QCOMPARE(decodeFileText(QByteArray("\xEF\xBB\xBF") + text.toUtf8(), &e), text);
        QCOMPARE(e, Encoding::Utf8Bom);
        QCOMPARE(decodeFileText(toWire(text), &e), text);
        QCOMPARE(e, Encoding::Gb18030);
        QCOMPARE(decodeFileText(QByteArray("plain ascii"), &e), QStringLiteral("plain ascii"));
        QCOMPARE(e, Encoding::Utf8);
    }

    void wireIsGbkCompatibleAndKeepsCharactersOutsideGbk() {
        // GBK bytes of 中文 are D6D0 CEC4; a GB18030 four-byte character survives the round trip.
        QCOMPARE(toWire(QStringLiteral("中文")), QByteArray("\xD6\xD0\xCE\xC4"));
        const QString rare = QStringLiteral("€😀䶵");
        QCOMPARE(fromWire(toWire(rare)), rare);
        // Invalid bytes decode to something without crashing.
        QVERIFY(!fromWire(QByteArray("\x81\x30\xFF\xFE")).isNull());
    }

    void iniKeepsWhatItDoesNotKnow() {
        const QString text = QStringLiteral(
            "; a comment\n[Other]\nx = 1\n\n[Tavlo]\n  Port =  2000  \nExtra=keep\n\n[Tail]\ny=2\n");
        IniFile ini = IniFile::parse(text);
        QCOMPARE(ini.value(QStringLiteral("tavlo"), QStringLiteral("PORT")), QStringLiteral("2000"));
        QVERIFY(!ini.contains(QStringLiteral("Tavlo"), QStringLiteral("Missing")));
        ini.setValue(QStringLiteral("Tavlo"), QStringLiteral("Port"), QStringLiteral("1006"));
        ini.setValue(QStringLiteral("Tavlo"), QStringLiteral("IP"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v"));
        QCOMPARE(
            ini.toText(),
            QStringLiteral("; a comment\n[Other]\nx = 1\n\n[Tavlo]\nPort=1006\nExtra=keep\nIP=127.0.0.1\n\n"
                           "[Tail]\ny=2\n\n[New]\nk=v\n"));
    }

    void iniValueCannotBreakIntoSeveralLines() {
        IniFile ini;
        ini.setValue(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\r\n[Evil]\nx=1"));
        QCOMPARE(IniFile::parse(ini.toText()).value(QStringLiteral("S"), QStringLiteral("k")),
                 QStringLiteral("a  [Evil] x=1"));
        QVERIFY(!IniFile::parse(ini.toText()).contains(QStringLiteral("Evil"), QStringLiteral("x")));
    }

    void iniRewriteKeepsEncodingAndLineEnds() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("t.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(toWire(QStringLiteral("[MIS]\r\nSystem=图纸管理\r\n")));
        f.close();
        IniFile ini = IniFile::load(path);
        QCOMPARE(ini.encoding(), Encoding::Gb18030);
        ini.setValue(QStringLiteral("MIS"), QStringLiteral("Name"), QStringLiteral("名称"));
        QVERIFY(ini.save(path));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), toWire(QStringLiteral("[MIS]\r\nSystem=图纸管理\r\nName=名称\r\n")));
    }

    void atomicWriteLeavesOldFileOnFailure() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.txt"));
        QVERIFY(writeFileAtomically(path, "old"));
        QString error;
        QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("missing/x.txt")), "new", &error));
        QVERIFY(!error.isEmpty());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }

    void chineseScriptMapsOneCharacterAtATime() {
        QCOMPARE(mapChineseCharacter(u'國', Script::Simplified), QChar(u'国'));
        QCOMPARE(mapChineseCharacter(u'图', Script::Traditional), QChar(u'圖'));
        QCOMPARE(mapChineseCharacter(u'中', Script::Traditional), QChar(u'中'));
        QCOMPARE(mapChineseCharacter(u'A', Script::Traditional), QChar(u'A'));
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "tst_text.moc"
