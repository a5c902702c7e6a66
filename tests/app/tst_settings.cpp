#include "app/HelpText.h"
#include "app/SettingsStore.h"
#include "app/SystemInfo.h"

#include "TestFiles.h"
#include "platform/text/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using tavlo::text::IniFile;

namespace {

SettingsDefaults defaults() {
    SettingsDefaults d;
    d.applicationTitle = QStringLiteral("Tavlo");
    d.hostName = QStringLiteral("office-pc");
    d.schema = RecordSchemaText::designed();
    return d;
}

Settings readText(const QString &text) {
    return SettingsStore::read(IniFile::parse(text), defaults());
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void missingFileGivesDefaults() {
        const Settings s = SettingsStore::load(QStringLiteral("/nonexistent/Tavlo.ini"), defaults());
        QCOMPARE(s.platformName, QStringLiteral("Tavlo"));
        QCOMPARE(s.port, 1006);
        QCOMPARE(s.ip, QStringLiteral("127.0.0.1"));
        QCOMPARE(s.recentId, QStringLiteral("office-pc"));
        QCOMPARE(s.color, 1);
        QCOMPARE(s.brush, 0);
        QVERIFY(!s.recentServer);
        QCOMPARE(s.schema.systemName, QStringLiteral("物料信息管理系统"));
        QCOMPARE(s.schema.attributes[10], QStringLiteral("录入者"));
    }

    void invalidValuesFallBack() {
        const Settings s = readText(QStringLiteral(
            "[Tavlo]\nPort=abc\nIP=300.1.1.1\nVIPList=192.0.2.5|192.0.2.5|bad|198.51.100.1\nRecentID=\n"
            "ConnectMode=2\nAutoConnect=yes\nRecentServer=maybe\n"
            "[ICQ]\nBrush=99\nColor=16\nPrivate=true\n[MIS]\nMatchCase=2\nWholeWord=1\nAndOr=1\nShowMode="
            "x\n"));
        QCOMPARE(s.port, 1006);
        QCOMPARE(s.ip, QStringLiteral("127.0.0.1"));
        QCOMPARE(s.vipList, (QStringList{"192.0.2.5", "198.51.100.1"}));
        QCOMPARE(s.recentId, QStringLiteral("office-pc"));
        QCOMPARE(s.connectMode, 0);
        QCOMPARE(s.autoConnect, 0);
        QVERIFY(!s.recentServer);
        QCOMPARE(s.brush, 0);
        QCOMPARE(s.color, 1);
        QVERIFY(!s.privateChat);
        QCOMPARE(s.matchCase, 0);
        QCOMPARE(s.wholeWord, 1);
        QCOMPARE(s.andOr, 1);
        QCOMPARE(s.showMode, 0);
        QCOMPARE(readText(QStringLiteral("[ICQ]\nColor=-1\nBrush=-1")).color, 1);
        QCOMPARE(readText(QStringLiteral("[ICQ]\nColor=15\nBrush=7")).brush, 7);
        QCOMPARE(readText(QStringLiteral("[ICQ]\nColor=0")).color, 0);
        QCOMPARE(readText(QStringLiteral("[Tavlo]\nPort=70000")).port, 1006);
        QCOMPARE(readText(QStringLiteral("[Tavlo]\nPort=12.5")).port, 1006);
        QVERIFY(readText(QStringLiteral("[Tavlo]\nRecentServer=True")).recentServer);
        QVERIFY(readText(QStringLiteral("[Tavlo]\nRecentServer=-1")).recentServer);
    }

    void saveWritesEveryKeyInOrderAndReadsBackUnchanged() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavlo.ini"));
        Settings s = readText(QString());
        s.recentServer = true;
        s.platformName = QStringLiteral("设计部");
        s.port = 2345;
        s.vipList = {"127.0.0.2", "127.0.0.3"};
        s.schema.attributes[0] = QStringLiteral("图号");
        QVERIFY(SettingsStore::save(path, s));
        const QByteArray first = TestFiles::read(path);
        QVERIFY(first.startsWith("[Tavlo]\nRecentServer=True\nPlatformName=设计部\nPort=2345\nIP=127.0.0.1\n"
                                 "VIPList=127.0.0.2|127.0.0.3\nBlackList=\nRecentID=office-pc\n"));
        QVERIFY(first.contains("[MIS]\nMatchCase=0\nWholeWord=0\nAndOr=0\nShowMode=0\nSystem="));
        QVERIFY(first.contains("\nName=图号\n"));
        QVERIFY(first.endsWith("[PR]\nBehavior=0\n"));

        // Read-only between runs, yet the next save still goes through.
        QVERIFY(
            !(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
        const Settings back = SettingsStore::load(path, defaults());
        QVERIFY(SettingsStore::save(path, back));
        QCOMPARE(TestFiles::read(path), first);
    }

    void addressListsDropRepeatsThatDifferOnlyByBlanks() {
        const Settings s =
            readText(QStringLiteral("[Tavlo]\nVIPList=198.51.100.1| 198.51.100.1 |198.51.100.2|198.51.100.2 "
                                    "\nBlackList= 198.51.100.9|198.51.100.9\n"));
        QCOMPARE(s.vipList, (QStringList{"198.51.100.1", "198.51.100.2"}));
        QCOMPARE(s.blackList, QStringList{"198.51.100.9"});
    }

    // The one writer: a read-only file (as every run leaves it) takes a key and stays read-only; a folder
    // where the file should be is reported and left as it is, mode included.
    void storeWritesReadOnlyFilesAndLeavesFoldersAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavlo.ini"));
        const QByteArray gbkLine = "; " + tavlo::text::toWire(QStringLiteral("手工注释")) + "\n";
        QVERIFY(TestFiles::write(path, "[Tavlo]\nPort=1500\n" + gbkLine + "[MIS]\nSystem=资产\n"));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QString error;
        QVERIFY2(SettingsStore::saveValue(path, QStringLiteral("MIS"), QStringLiteral("RowList"),
                                          QStringLiteral("|2|3"), &error),
                 qPrintable(error));
        QCOMPARE(TestFiles::read(path),
                 "[Tavlo]\nPort=1500\n" + gbkLine + "[MIS]\nSystem=资产\nRowList=|2|3\n");
        QVERIFY(
            !(QFileInfo(path).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));

        const QString folder = dir.filePath(QStringLiteral("folder/Tavlo.ini"));
        QVERIFY(QDir().mkpath(folder));
        const QFile::Permissions before = QFileInfo(folder).permissions();
        QVERIFY(!SettingsStore::save(folder, readText(QString()), &error));
        QVERIFY(error.contains(QStringLiteral("不是普通文件")));
        QCOMPARE(QFileInfo(folder).permissions(), before);
        QVERIFY(QDir(folder).isEmpty());
    }

    void foreignSectionsAndCommentsSurviveASave() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavlo.ini"));
        QVERIFY(TestFiles::write(path, "; kept by hand\n[Tavlo]\n Port = 1500 "
                                       "\nHomePage=http://intranet/\n[MIS]\nRowList=a|b\n[Mine]\nz=1\n"));
        Settings s = SettingsStore::load(path, defaults());
        QCOMPARE(s.port, 1500);
        QVERIFY(SettingsStore::save(path, s));
        const QByteArray saved = TestFiles::read(path);
        // A key whose value did not change keeps its line as typed.
        QVERIFY(saved.startsWith("; kept by hand\n[Tavlo]\n Port = 1500 \nHomePage=http://intranet/\n"));
        QVERIFY(saved.contains("RowList=a|b\n"));
        QVERIFY(saved.contains("[Mine]\nz=1\n\n[ICQ]\n"));
        QCOMPARE(HelpText::homePage(path), QStringLiteral("http://intranet/"));
    }

    void systemInformationReadsProcFields() {
        const QString cpuinfo =
            QStringLiteral("processor\t: 0\nmodel name\t: Example CPU @ 2.00GHz\nflags\t\t: fpu\n");
        QCOMPARE(SystemInfo::procField(cpuinfo, QStringLiteral("model name")),
                 QStringLiteral("Example CPU @ 2.00GHz"));
        QCOMPARE(SystemInfo::procField(cpuinfo, QStringLiteral("missing")), QString());
#ifdef Q_OS_LINUX
        const QString described = SystemInfo::describe();
        QVERIFY(described.contains(QStringLiteral("内核：linux")));
        QVERIFY(described.contains(QStringLiteral("Qt：")));
#endif
    }

    void readMeIsWrittenOnceAndNeverOverwritten() {
        QCOMPARE(HelpText::readMeLines().size(), 72);
        QCOMPARE(HelpText::readMeLines().first(), QStringLiteral("一、进程管理部分"));
        QCOMPARE(HelpText::readMeLines()[8], QString());
        QCOMPARE(HelpText::readMeLines().last(), QStringLiteral("2.不改变被执行文件在系统的关联关系。"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ReadMe.txt"));
        QVERIFY(HelpText::ensureReadMe(path));
        const QByteArray written = TestFiles::read(path);
        QCOMPARE(written.count('\n'), 72);
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("my note\n");
        f.close();
        QVERIFY(HelpText::ensureReadMe(path));
        QCOMPARE(TestFiles::read(path), written + "my note\n");
        QFile::remove(path);
        QVERIFY(HelpText::ensureReadMe(path));
        QCOMPARE(TestFiles::read(path), written);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
