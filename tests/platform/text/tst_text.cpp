#include "platform/text/AtomicFile.h"
#include "platform/text/ChineseScript.h"
#include "platform/text/IniFile.h"
#include "platform/text/TextCodec.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        QVERIFY(TestFiles::write(path, toWire(QStringLiteral("[MIS]\r\nSystem=图纸管理\r\n"))));
        IniFile ini = IniFile::load(path);
        QCOMPARE(ini.encoding(), Encoding::Gb18030);
        ini.setValue(QStringLiteral("MIS"), QStringLiteral("Name"), QStringLiteral("名称"));
        QVERIFY(ini.save(path));
        QCOMPARE(TestFiles::read(path), toWire(QStringLiteral("[MIS]\r\nSystem=图纸管理\r\nName=名称\r\n")));
    }

    // A UTF-8 file with one comment typed in a GBK editor, a CR-only line end and no final line end.
    void iniDecodesEachLineAndKeepsUntouchedBytes() {
        const QByteArray gbkComment = toWire(QStringLiteral("; 本行由记事本以 GBK 保存"));
        const QByteArray original = QByteArray("[MIS]\r\nSystem=") + QStringLiteral("图纸管理").toUtf8() +
                                    "\r\n" + gbkComment + "\r\nName=" + QStringLiteral("名称").toUtf8() +
                                    "\rUnit  =  " + QStringLiteral("台").toUtf8() + "\r\n[PR]\r\nBehavior=0";
        IniFile ini = IniFile::fromBytes(original);
        QCOMPARE(ini.encoding(), Encoding::Utf8);
        QCOMPARE(ini.value(QStringLiteral("MIS"), QStringLiteral("System")), QStringLiteral("图纸管理"));
        QCOMPARE(ini.value(QStringLiteral("MIS"), QStringLiteral("Name")), QStringLiteral("名称"));
        QCOMPARE(ini.value(QStringLiteral("MIS"), QStringLiteral("Unit")), QStringLiteral("台"));
        QCOMPARE(ini.toBytes(), original);

        // Same values: nothing changes. A new value and a new key: only their lines, in UTF-8 and CR LF.
        ini.setValue(QStringLiteral("MIS"), QStringLiteral("Unit"), QStringLiteral("台"));
        QCOMPARE(ini.toBytes(), original);
        ini.setValue(QStringLiteral("MIS"), QStringLiteral("System"), QStringLiteral("资产"));
        ini.setValue(QStringLiteral("PR"), QStringLiteral("Extra"), QStringLiteral("是"));
        QByteArray expected = original;
        expected.replace(QStringLiteral("System=图纸管理").toUtf8(), QStringLiteral("System=资产").toUtf8());
        expected += "\r\nExtra=" + QStringLiteral("是").toUtf8();
        QCOMPARE(ini.toBytes(), expected);

        // A file that is mostly GBK keeps GBK for what it gains; 图纸 in GBK is also valid UTF-8, yet read
        // as the GBK it is.
        IniFile gbk = IniFile::fromBytes(toWire(QStringLiteral("[MIS]\nSystem=图纸\nName=名称\n")));
        QCOMPARE(gbk.encoding(), Encoding::Gb18030);
        QCOMPARE(gbk.value(QStringLiteral("MIS"), QStringLiteral("System")), QStringLiteral("图纸"));
        gbk.setValue(QStringLiteral("MIS"), QStringLiteral("Unit"), QStringLiteral("个"));
        QCOMPARE(gbk.toBytes(), toWire(QStringLiteral("[MIS]\nSystem=图纸\nName=名称\nUnit=个\n")));
    }

    void iniInUtf16StaysUtf16() {
        for (Encoding e : {Encoding::Utf16Le, Encoding::Utf16Be}) {
            const QByteArray original =
                encodeFileText(QStringLiteral("[Tavlo]\r\nPlatformName=设计部\r\n"), e);
            IniFile ini = IniFile::fromBytes(original);
            QCOMPARE(ini.encoding(), e);
            QCOMPARE(ini.value(QStringLiteral("Tavlo"), QStringLiteral("PlatformName")),
                     QStringLiteral("设计部"));
            QCOMPARE(ini.toBytes(), original);
            ini.setValue(QStringLiteral("Tavlo"), QStringLiteral("Port"), QStringLiteral("1006"));
            QCOMPARE(ini.toBytes(),
                     encodeFileText(QStringLiteral("[Tavlo]\r\nPlatformName=设计部\r\nPort=1006\r\n"), e));
        }
    }

    // The old file stays as it was when the temporary file cannot be written; a read-only file is replaced
    // and keeps its mode; a folder in the file's place is left alone.
    void atomicWriteReplacesOnlyWhenComplete() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ro.ini"));
        QVERIFY(writeFileAtomically(path, "old"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(writeFileAtomically(path, "new"));
        QCOMPARE(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QCOMPARE(TestFiles::read(path), QByteArray("new"));

        const QString folder = dir.filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkdir(folder));
        QString error;
        QVERIFY(!writeFileAtomically(folder, "x", &error));
        QVERIFY(error.contains(QStringLiteral("不是普通文件")));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("folder.ini"), QStringLiteral("ro.ini")}));
    }

    void atomicWriteLeavesOldFileOnFailure() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("keep.txt"));
        QVERIFY(writeFileAtomically(path, "old"));
        QString error;
        QVERIFY(!writeFileAtomically(dir.filePath(QStringLiteral("missing/x.txt")), "new", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(TestFiles::read(path), QByteArray("old"));
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
