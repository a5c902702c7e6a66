// tavlo-cadtext as a user runs it: every corpus drawing extracted into one workbook, translated, replaced
// into an output folder and read back by an independent reader (python3-ezdxf); conversion in place with
// its backup; clear failures for bad arguments and unreadable files.

#include "EzdxfTexts.h"
#include "TestFiles.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace tavlo;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program without a display: no X server, no platform chosen.
Result cadtext(const QStringList &arguments) {
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(TAVLO_BINARY_DIR "/src/cadtext/cli/tavlo-cadtext"), arguments);
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class TestCadTextCli : public QObject {
    Q_OBJECT

private slots:
    void wholeCorpusInOneCommand();
    void convertInPlaceKeepsTheBackup();
    void badArgumentsAndUnreadableFiles();
    void everyFilterOptionReachesTheCommand_data();
    void everyFilterOptionReachesTheCommand();
    void refusedAndFailedSavesWriteNothing();
};

void TestCadTextCli::wholeCorpusInOneCommand() {
    QTemporaryDir dir;
    const QStringList drawings = TestFiles::corpusDrawings();
    QCOMPARE(drawings.size(), 10);
    const QString book = dir.filePath(QStringLiteral("texts.xlsx"));
    const Result extracted = cadtext(QStringList{QStringLiteral("extract")} + drawings +
                                     QStringList{QStringLiteral("--all"), QStringLiteral("-o"), book});
    QVERIFY2(extracted.exitCode == 0, qPrintable(extracted.err));
    QCOMPARE(extracted.out.count(QStringLiteral(" texts extracted")), 10);

    // The translator's work: column 4 of every row.
    auto *application = sheet::Application::create();
    sheet::Workbook *workbook = application->Workbooks().Open(book);
    QVERIFY(workbook);
    sheet::Worksheet *sheet = workbook->Sheets(1);
    const int rows = sheet->UsedRange().lastRow();
    QVERIFY(rows > 400);
    for (int row = 2; row <= rows; ++row)
        sheet->setValue(row, 4, QStringLiteral("译%1").arg(row));
    QVERIFY(workbook->Save());
    application->Quit();

    const QString out = dir.filePath(QStringLiteral("out"));
    const Result replaced = cadtext(QStringList{QStringLiteral("replace")} + drawings +
                                    QStringList{QStringLiteral("--all"), QStringLiteral("--manuscript"), book,
                                                QStringLiteral("-o"), out});
    QVERIFY2(replaced.exitCode == 0, qPrintable(replaced.err));
    QCOMPARE(replaced.out.count(QStringLiteral(" texts replaced")), 10);
    for (const QString &drawing : drawings) {
        const QString after = QDir(out).filePath(QFileInfo(drawing).fileName());
        const QJsonObject result = compareWithEzdxf(drawing, after);
        QVERIFY2(!result.isEmpty(), qPrintable(after));
        QVERIFY2(result[QLatin1String("diffs")].toArray().isEmpty(),
                 qPrintable(QJsonDocument(result[QLatin1String("diffs")].toArray()).toJson()));
        const QJsonObject before = result[QLatin1String("before")].toObject();
        const QJsonObject now = result[QLatin1String("after")].toObject();
        int translated = 0;
        for (auto it = now.begin(); it != now.end(); ++it) {
            const QJsonObject fresh = it.value().toObject();
            const QJsonObject old = before[it.key()].toObject();
            for (const QString &field :
                 {QStringLiteral("text"), QStringLiteral("tag"), QStringLiteral("prompt")}) {
                const QString is = fresh[field].toString();
                if (is.startsWith(QStringLiteral("译")))
                    ++translated;
                else
                    QVERIFY2(is == old[field].toString(),
                             qPrintable(after + QLatin1Char(' ') + it.key() + QLatin1String(": ") + is));
            }
        }
        QVERIFY2(translated > 0, qPrintable(after));
        // Every text of model space is translated, whatever its drawing.
        for (auto it = now.begin(); it != now.end(); ++it) {
            const QJsonObject fresh = it.value().toObject();
            if (fresh[QLatin1String("type")].toString() == QLatin1String("TEXT") &&
                !fresh.contains(QLatin1String("block")) &&
                !before[it.key()].toObject()[QLatin1String("text")].toString().trimmed().isEmpty())
                QVERIFY2(fresh[QLatin1String("text")].toString().startsWith(QStringLiteral("译")),
                         qPrintable(after + QLatin1Char(' ') + it.key()));
        }
        QCOMPARE(TestFiles::read(drawing).isEmpty(), false); // the originals stay where they were
    }
}

void TestCadTextCli::convertInPlaceKeepsTheBackup() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.dxf"));
    const QByteArray original =
        TestFiles::read(QStringLiteral(TAVLO_CORPUS_DIR "/drawings/01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(TestFiles::write(path, original));
    const Result there = cadtext({QStringLiteral("convert"), QStringLiteral("--to-traditional"), path});
    QVERIFY2(there.exitCode == 0, qPrintable(there.err));
    QVERIFY2(there.out.contains(QStringLiteral("plan.dxf: 29 texts converted")), qPrintable(there.out));
    const QString backup = dir.filePath(QStringLiteral("plan.bak.dxf"));
    QCOMPARE(TestFiles::read(backup), original);
    const QByteArray traditional = TestFiles::read(path);
    QVERIFY(traditional != original);
    QVERIFY(textAfter(compareWithEzdxf(backup, path), QStringLiteral("3A"))
                .startsWith(QStringLiteral("簡體中文")));

    // A second save in place would lose the backup of the original: refused unless asked for.
    const Result refused = cadtext({QStringLiteral("convert"), QStringLiteral("--to-simplified"), path});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(QStringLiteral("--replace-backup")), qPrintable(refused.err));
    QCOMPARE(TestFiles::read(path), traditional);
    QCOMPARE(TestFiles::read(backup), original);
    const Result back = cadtext({QStringLiteral("convert"), QStringLiteral("--to-simplified"),
                                 QStringLiteral("--replace-backup"), path});
    QCOMPARE(back.exitCode, 0);
    const QJsonObject result =
        compareWithEzdxf(QStringLiteral(TAVLO_CORPUS_DIR "/drawings/01_text_mtext_r2000_gbk.dxf"), path);
    QVERIFY(result[QLatin1String("diffs")].toArray().isEmpty());
    QCOMPARE(textAfter(result, QStringLiteral("3A")), QStringLiteral("简体中文：计算机软件与网络"));
}

void TestCadTextCli::badArgumentsAndUnreadableFiles() {
    QTemporaryDir dir;
    const QString drawing = QStringLiteral(TAVLO_CORPUS_DIR "/drawings/01_text_mtext_r2000_gbk.dxf");
    // A DWG drawing begins with its version in binary.
    const QString dwg = dir.filePath(QStringLiteral("plan.dwg"));
    QVERIFY(TestFiles::write(dwg, QByteArray("AC1032\0\0\0\0\0\x01", 12)));
    const struct {
        QStringList arguments;
        int code;
        const char *message;
    } cases[] = {
        {{}, 2, "no command"},
        {{QStringLiteral("translate"), drawing}, 2, "unknown command"},
        {{QStringLiteral("extract"), drawing}, 2, "-o WORKBOOK"},
        {{QStringLiteral("extract"), drawing, QStringLiteral("--color"), QStringLiteral("Purple"),
          QStringLiteral("-o"), dir.filePath(QStringLiteral("a.xlsx"))},
         2,
         "unknown colour"},
        {{QStringLiteral("replace"), drawing}, 2, "--manuscript"},
        {{QStringLiteral("convert"), drawing}, 2, "--to-traditional"},
        {{QStringLiteral("convert"), QStringLiteral("--to-traditional"), drawing, drawing,
          QStringLiteral("-o"), dir.path()},
         2,
         "overwrite each other"},
        {{QStringLiteral("extract"), dir.filePath(QStringLiteral("missing.dxf")), QStringLiteral("-o"),
          dir.filePath(QStringLiteral("b.xlsx"))},
         1,
         "cannot read"},
        {{QStringLiteral("replace"), drawing, QStringLiteral("--manuscript"),
          QStringLiteral(TAVLO_CORPUS_DIR "/sheets/damaged-truncated.xlsx"), QStringLiteral("-o"),
          dir.path()},
         1,
         "cannot read the manuscript"},
        {{QStringLiteral("convert"), QStringLiteral("--to-traditional"), dwg}, 1, "是 Dwg 图纸"},
    };
    for (const auto &c : cases) {
        const Result result = cadtext(c.arguments);
        QVERIFY2(result.exitCode == c.code,
                 qPrintable(c.arguments.join(u' ') + QLatin1String(": ") + result.err));
        QVERIFY2(result.err.contains(QString::fromUtf8(c.message)), qPrintable(result.err));
    }
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("a.xlsx"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("b.xlsx"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QFileInfo(drawing).fileName())));
    QVERIFY(!QFileInfo::exists(dir.filePath(QFileInfo(drawing).fileName())));
}

// Each filter option against the count the panel gives with the same choice (the counts by layer,
// style, colour and form agree with ezdxf's view of the drawing). "-style" is the spelling Qt's own
// option parsing used to take away.
void TestCadTextCli::everyFilterOptionReachesTheCommand_data() {
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("texts");
    const QString texts = QStringLiteral("01_text_mtext_r2000_gbk.dxf");
    const QString blocks = QStringLiteral("03_blocks_attribs_r2018.dxf");
    const QString table = QStringLiteral("real/ezdxf__acad_table_simple.dxf");
    const QString repeated = QStringLiteral("real/ezdxf__text.dxf");
    QTest::newRow("no filter") << texts << QStringList{} << 29;
    QTest::newRow("--style") << texts << QStringList{"--style", "HZ"} << 14;
    QTest::newRow("-style") << texts << QStringList{"-style", "HZ"} << 14;
    QTest::newRow("--style none") << texts << QStringList{"--style", "NOPE"} << 0;
    QTest::newRow("--layer") << texts << QStringList{"--layer", "TEXT_CN"} << 12;
    QTest::newRow("--color") << texts << QStringList{"--color", "Red"} << 4;
    QTest::newRow("--color index") << texts << QStringList{"--color", "3"} << 5;
    QTest::newRow("--form") << texts << QStringList{"--form", "MText"} << 11;
    QTest::newRow("--chinese-only") << texts << QStringList{"--chinese-only"} << 23;
    QTest::newRow("--no-duplicates") << repeated << QStringList{"--no-duplicates"} << 53;
    QTest::newRow("repeated, no filter") << repeated << QStringList{} << 92;
    QTest::newRow("--attribute-definitions") << repeated << QStringList{"--attribute-definitions"} << 104;
    QTest::newRow("blocks, no filter") << blocks << QStringList{} << 1;
    QTest::newRow("--blocks") << blocks << QStringList{"--blocks"} << 11;
    QTest::newRow("--attributes") << blocks << QStringList{"--blocks", "--attributes"} << 47;
    QTest::newRow("--all") << blocks << QStringList{"--all"} << 105;
    QTest::newRow("table, no filter") << table << QStringList{} << 0;
    QTest::newRow("--tables") << table << QStringList{"--tables"} << 7;
}

void TestCadTextCli::everyFilterOptionReachesTheCommand() {
    QFETCH(QString, drawing);
    QFETCH(QStringList, options);
    QFETCH(int, texts);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("texts.csv"));
    const Result result = cadtext(QStringList{QStringLiteral("extract"),
                                              QStringLiteral(TAVLO_CORPUS_DIR "/drawings/") + drawing,
                                              QStringLiteral("-o"), book} +
                                  options);
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    const auto count =
        QRegularExpression(QStringLiteral("^(\\d+) texts -> "), QRegularExpression::MultilineOption)
            .match(result.out);
    QVERIFY2(count.hasMatch(), qPrintable(result.out));
    QCOMPARE(count.captured(1).toInt(), texts);
}

// A read-only drawing is refused in place, and a save that fails says nothing was saved; the backup
// it made does not stand in the way of the next try.
void TestCadTextCli::refusedAndFailedSavesWriteNothing() {
    if (geteuid() == 0)
        QSKIP("root may write any file: run as a normal user");
    QTemporaryDir dir;
    const QByteArray original =
        TestFiles::read(QStringLiteral(TAVLO_CORPUS_DIR "/drawings/01_text_mtext_r2000_gbk.dxf"));
    const QString path = dir.filePath(QStringLiteral("plan.dxf"));
    const QString backup = dir.filePath(QStringLiteral("plan.bak.dxf"));
    QVERIFY(TestFiles::write(path, original));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    TestFiles::write(dir.filePath(QStringLiteral("rows.csv")),
                     QStringLiteral(",,简体中文：计算机软件与网络,Chinese\n").toUtf8());
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("convert"), QStringLiteral("--to-traditional"), path},
          QStringList{QStringLiteral("replace"), path, QStringLiteral("--manuscript"),
                      dir.filePath(QStringLiteral("rows.csv"))}}) {
        const Result refused = cadtext(arguments);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("read-only")), qPrintable(refused.err));
        QVERIFY2(refused.out.contains(QStringLiteral("nothing saved")), qPrintable(refused.out));
        QCOMPARE(TestFiles::read(path), original);
        QVERIFY(!QFileInfo::exists(backup));
        QCOMPARE(QFileInfo(path).permissions() & QFile::WriteOwner, QFile::Permissions());
    }

    // The drawing is a link into a folder where nothing may be written: the backup beside the link is
    // made, the drawing itself cannot be replaced.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString locked = dir.filePath(QStringLiteral("locked/plan.dxf"));
    QVERIFY(TestFiles::write(locked, original));
    QVERIFY(QFile::remove(path));
    QVERIFY(QFile::link(locked, path));
    const QFile::Permissions open = QFileInfo(dir.filePath(QStringLiteral("locked"))).permissions();
    QVERIFY(
        QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner));
    const Result failed = cadtext({QStringLiteral("convert"), QStringLiteral("--to-traditional"), path});
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("locked")), open));
    QCOMPARE(failed.exitCode, 1);
    QVERIFY2(failed.out.contains(QStringLiteral("plan.dxf: nothing saved")), qPrintable(failed.out));
    QVERIFY2(!failed.out.contains(QStringLiteral("texts converted")), qPrintable(failed.out));
    QVERIFY2(failed.err.contains(QStringLiteral("cannot save")), qPrintable(failed.err));
    QCOMPARE(TestFiles::read(locked), original);
    QVERIFY(!QFileInfo::exists(backup));

    const Result retried = cadtext({QStringLiteral("convert"), QStringLiteral("--to-traditional"), path});
    QVERIFY2(retried.exitCode == 0, qPrintable(retried.err));
    QVERIFY2(retried.out.contains(QStringLiteral("plan.dxf: 29 texts converted")), qPrintable(retried.out));
    QCOMPARE(TestFiles::read(backup), original);
    const QJsonObject result = compareWithEzdxf(backup, locked);
    QVERIFY(result[QLatin1String("diffs")].toArray().isEmpty());
    QCOMPARE(textAfter(result, QStringLiteral("3A")), QStringLiteral("簡體中文：計算機軟件與網絡"));
}

QTEST_MAIN(TestCadTextCli)
#include "tst_cadtextcli.moc"
