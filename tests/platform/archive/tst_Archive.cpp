#include "Python.h"
#include "TestFiles.h"
#include "platform/archive/EntryNames.h"
#include "platform/archive/ZipExtractor.h"
#include "platform/archive/ZipReader.h"
#include "platform/archive/ZipWriter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <zip.h>

using namespace tavlo::archive;

namespace {

const QString kCorpus = QStringLiteral(TAVLO_CORPUS_DIR "/zip/");

QByteArray randomBytes(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// Builds an archive with libzip directly, names stored as given (raw bytes, flag only when asked),
// data stored uncompressed so a test can find and damage it.
void makeZip(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries) {
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    QVERIFY(archive);
    for (const auto &[name, data] : entries) {
        zip_source_t *source = zip_source_buffer(archive, data.constData(), data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_RAW);
        QVERIFY(index >= 0);
        zip_set_file_compression(archive, index, ZIP_CM_STORE, 0);
    }
    QCOMPARE(zip_close(archive), 0);
}

QStringList names(const ZipReader &reader) {
    QStringList result;
    for (const EntryInfo &entry : reader.entries())
        result.append(entry.name);
    return result;
}

} // namespace

class TestArchive : public QObject {
    Q_OBJECT

private slots:
    void decodesEntryNames();
    void resolvesEntryPaths_data();
    void resolvesEntryPaths();
    void numbersNamesBesideExistingFiles();

    void threeFilesInSelectionOrder();
    void otherZipProgramsReadOurArchive();
    void emptyListGivesEmptyArchive();
    void refusesBadSources();
    void cancelledCompressionLeavesNoArchive();

    void extractsChineseNamesFromCorpus_data();
    void extractsChineseNamesFromCorpus();
    void extractsUnflaggedUtf8Names();
    void hostileEntriesWriteNothingOutside_data();
    void hostileEntriesWriteNothingOutside();
    void linkInTargetDoesNotCarryEntriesOutside();
    void damagedArchivesFailCleanly();
    void damagedEntryLeavesNoFile();
    void entryLargerThanDeclaredIsRefused();
    void missingTargetFolderIsCreated();
    void existingFilesFollowTheConflictChoice();
    void cancelledExtractionLeavesNoPartialFile();
};

void TestArchive::decodesEntryNames() {
    const QString chinese = QStringLiteral("物料清单.txt");
    const QByteArray gbk("\xce\xef\xc1\xcf\xc7\xe5\xb5\xa5.txt");
    QCOMPARE(decodeEntryName(gbk, false), chinese);
    QCOMPARE(decodeEntryName(chinese.toUtf8(), true), chinese);
    // Unflagged names are GBK even where the bytes are valid UTF-8 as well ("图纸" in GBK).
    QCOMPARE(decodeEntryName("\xcd\xbc\xd6\xbd.txt", false), QStringLiteral("图纸.txt"));
    // Info-ZIP on Linux stores UTF-8 without the flag: three-byte sequences tell it from GBK.
    QCOMPARE(decodeEntryName(chinese.toUtf8(), false), chinese);
    // A GBK name under the UTF-8 flag was flagged wrongly: GBK still.
    QCOMPARE(decodeEntryName(gbk, true), chinese);
    QCOMPARE(decodeEntryName("dir/readme.txt", false), QStringLiteral("dir/readme.txt"));
}

void TestArchive::resolvesEntryPaths_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("isFolder");
    const int safe = int(PathCheck::Safe), absolute = int(PathCheck::Absolute),
              escapes = int(PathCheck::Escapes), empty = int(PathCheck::Empty);
    QTest::newRow("plain") << "ok.txt" << safe << "ok.txt" << false;
    QTest::newRow("nested") << "a/b/c.txt" << safe << "a/b/c.txt" << false;
    QTest::newRow("folder") << "a/b/" << safe << "a/b" << true;
    QTest::newRow("backslashes") << "a\\b.txt" << safe << "a/b.txt" << false;
    QTest::newRow("dot parts") << "./a/./b.txt" << safe << "a/b.txt" << false;
    QTest::newRow("dotdot inside") << "a/../b.txt" << safe << "b.txt" << false;
    QTest::newRow("dotdot out") << "../../escaped.txt" << escapes << "" << false;
    QTest::newRow("dotdot out later") << "sub/../../escaped2.txt" << escapes << "" << false;
    QTest::newRow("backslash dotdot") << "..\\evil.txt" << escapes << "" << false;
    QTest::newRow("absolute") << "/tmp/x.txt" << absolute << "" << false;
    QTest::newRow("backslash root") << "\\x.txt" << absolute << "" << false;
    QTest::newRow("unc") << "//server/share/x" << absolute << "" << false;
    QTest::newRow("drive") << "C:/Windows/x.txt" << absolute << "" << false;
    QTest::newRow("drive relative") << "c:x.txt" << absolute << "" << false;
    QTest::newRow("nothing left") << "a/.." << empty << "" << false;
    QTest::newRow("dots named file") << "...txt" << safe << "...txt" << false;
}

void TestArchive::resolvesEntryPaths() {
    QFETCH(QString, name);
    QFETCH(int, check);
    QFETCH(QString, relative);
    QFETCH(bool, isFolder);
    const ResolvedPath resolved = resolveEntryPath(name);
    QCOMPARE(int(resolved.check), check);
    QCOMPARE(resolved.relative, relative);
    if (resolved.check == PathCheck::Safe)
        QCOMPARE(resolved.isFolder, isFolder);
}

void TestArchive::numbersNamesBesideExistingFiles() {
    QTemporaryDir dir;
    QCOMPARE(numberedName(dir.path(), QStringLiteral("notes.txt")), QStringLiteral("notes (2).txt"));
    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("notes (2).txt")), "x"));
    QCOMPARE(numberedName(dir.path(), QStringLiteral("notes.txt")), QStringLiteral("notes (3).txt"));
    QCOMPARE(numberedName(dir.path(), QStringLiteral("a.tar.gz")), QStringLiteral("a.tar (2).gz"));
    QCOMPARE(numberedName(dir.path(), QStringLiteral(".profile")), QStringLiteral(".profile (2)"));
    QCOMPARE(numberedName(dir.path(), QStringLiteral("Makefile")), QStringLiteral("Makefile (2)"));
    QCOMPARE(numberedName(dir.path(), QStringLiteral("%1 %2.txt")), QStringLiteral("%1 %2 (2).txt"));
}

void TestArchive::threeFilesInSelectionOrder() {
    QTemporaryDir dir;
    const QStringList files{dir.filePath(QStringLiteral("zeta.txt")),
                            dir.filePath(QStringLiteral("采购申请单.txt")),
                            dir.filePath(QStringLiteral("alpha.dat"))};
    for (const QString &file : files)
        QVERIFY(TestFiles::write(file, QFileInfo(file).fileName().toUtf8() + " contents"));
    const QString archive = dir.filePath(QStringLiteral("out.zip"));
    QVERIFY(createArchive(files, archive).ok());

    ZipReader reader(archive);
    QVERIFY2(reader.isOpen(), qPrintable(reader.errorString()));
    QCOMPARE(names(reader), QStringList({QStringLiteral("zeta.txt"), QStringLiteral("采购申请单.txt"),
                                         QStringLiteral("alpha.dat")}));
    for (const EntryInfo &entry : reader.entries()) {
        QVERIFY(entry.utf8Flag || entry.name == entry.name.toLatin1());
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(reader.copyEntry(entry.index, buffer, {}, nullptr));
        QCOMPARE(buffer.data(), entry.name.toUtf8() + " contents");
    }
}

void TestArchive::otherZipProgramsReadOurArchive() {
    QTemporaryDir dir;
    const QStringList files{dir.filePath(QStringLiteral("b.txt")),
                            dir.filePath(QStringLiteral("物料清单.txt")),
                            dir.filePath(QStringLiteral("a.txt"))};
    for (const QString &file : files)
        QVERIFY(TestFiles::write(file, randomBytes(20000)));
    const QString archive = dir.filePath(QStringLiteral("out.zip"));
    QVERIFY(createArchive(files, archive).ok());

    if (!QFileInfo::exists(Python::kPath))
        QSKIP("/usr/bin/python3 is not installed");
    bool ok = false;
    const QByteArray out =
        Python::run(QStringLiteral("import json, sys, zipfile\n"
                                   "z = zipfile.ZipFile(sys.argv[1])\n"
                                   "assert z.testzip() is None\n"
                                   "print(json.dumps([[i.filename, bool(i.flag_bits & 0x800)] "
                                   "for i in z.infolist()]))\n"),
                    {archive}, &ok);
    QVERIFY(ok);
    const QJsonArray listed = QJsonDocument::fromJson(out).array();
    QCOMPARE(listed.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(listed[i].toArray()[0].toString(), QFileInfo(files[i]).fileName());
    QVERIFY(listed[1].toArray()[1].toBool()); // the Chinese name carries the UTF-8 flag
}

void TestArchive::emptyListGivesEmptyArchive() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("empty.zip"));
    QVERIFY(createArchive({}, archive).ok());
    QCOMPARE(TestFiles::read(archive), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    ZipReader reader(archive);
    QVERIFY(reader.isOpen());
    QVERIFY(reader.entries().isEmpty());
}

void TestArchive::refusesBadSources() {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    QVERIFY(TestFiles::write(a, "keep me"));
    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("sub/a.txt")), "same name"));
    const QString archive = dir.filePath(QStringLiteral("out.zip"));

    Outcome missing = createArchive({a, dir.filePath(QStringLiteral("gone.txt"))}, archive);
    QCOMPARE(missing.failure, Failure::SourceUnreadable);
    QCOMPARE(missing.path, dir.filePath(QStringLiteral("gone.txt")));
    QCOMPARE(createArchive({a, dir.path()}, archive).failure, Failure::SourceUnreadable);
    QCOMPARE(createArchive({a, dir.filePath(QStringLiteral("sub/a.txt"))}, archive).failure,
             Failure::DuplicateName);
    QVERIFY(!QFileInfo::exists(archive));

    // Choosing one of the files as the archive must not destroy it.
    QCOMPARE(createArchive({a}, a).failure, Failure::ArchiveIsSource);
    QCOMPARE(TestFiles::read(a), QByteArray("keep me"));

    const Outcome unwritable = createArchive({a}, dir.filePath(QStringLiteral("no/such/folder/out.zip")));
    QCOMPARE(unwritable.failure, Failure::ArchiveUnwritable);
    QVERIFY(!unwritable.detail.isEmpty());
}

void TestArchive::cancelledCompressionLeavesNoArchive() {
    QTemporaryDir dir;
    const QStringList files{dir.filePath(QStringLiteral("big1.bin")),
                            dir.filePath(QStringLiteral("big2.bin"))};
    for (const QString &file : files)
        QVERIFY(TestFiles::write(file, randomBytes(2 * 1024 * 1024)));
    const QStringList before = TestFiles::tree(dir.path());
    const QString archive = dir.filePath(QStringLiteral("out.zip"));

    int calls = 0;
    qint64 lastTotal = 0;
    const Outcome cancelled = createArchive(files, archive, [&](qint64 done, qint64 total) {
        lastTotal = total;
        return done < total / 4 && ++calls < 1000;
    });
    QCOMPARE(cancelled.failure, Failure::Cancelled);
    QCOMPARE(lastTotal, qint64(4 * 1024 * 1024));
    QCOMPARE(TestFiles::tree(dir.path()), before); // neither the archive nor a temporary file is left

    // An archive that was there before stays whole.
    QVERIFY(createArchive({files[0]}, archive).ok());
    const QByteArray previous = TestFiles::read(archive);
    QCOMPARE(createArchive(files, archive, [](qint64, qint64) { return false; }).failure, Failure::Cancelled);
    QCOMPARE(TestFiles::read(archive), previous);
    QCOMPARE(TestFiles::tree(dir.path()), QStringList(before) << QStringLiteral("out.zip"));
}

void TestArchive::extractsChineseNamesFromCorpus_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("gbk") << "gbk-names.zip"
                         << QStringList{QStringLiteral("图纸说明.txt"), QStringLiteral("物料清单.txt")};
    QTest::newRow("utf8") << "utf8-names.zip"
                          << QStringList{QStringLiteral("readme.txt"), QStringLiteral("采购申请单.txt")};
}

void TestArchive::extractsChineseNamesFromCorpus() {
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const ExtractReport report = extractArchive(kCorpus + file, dir.path());
    QVERIFY(report.complete());
    QCOMPARE(TestFiles::tree(dir.path()), expected);
    QStringList extracted = report.extracted;
    extracted.sort();
    QCOMPARE(extracted, expected);
}

void TestArchive::extractsUnflaggedUtf8Names() {
    // Three ways Chinese names reach us: flagged UTF-8 (Python, 7-Zip), GBK without the flag whose
    // bytes are also valid UTF-8 (Windows' own zip of "图纸.txt"), and GBK under a UTF-8 flag set by
    // mistake, which libzip alone would refuse as inconsistent while Info-ZIP lists it.
    QTemporaryDir dir;
    const QString flagged = dir.filePath(QStringLiteral("flagged.zip"));
    const QString gbk = dir.filePath(QStringLiteral("gbk.zip"));
    const QString misflagged = dir.filePath(QStringLiteral("misflagged.zip"));
    const QByteArray gbkName("\xcd\xbc\xd6\xbd.txt"); // 图纸.txt
    makeZip(gbk, {{gbkName, "drawing"}, {"sub/\xce\xef\xc1\xcf.txt", "material"}});
    makeZip(flagged, {{QStringLiteral("采购.txt").toUtf8(), "x"}});
    QByteArray bytes = TestFiles::read(flagged);
    // Set the UTF-8 flag (bit 11) in the local header and the central record of the one entry.
    auto setFlag = [](QByteArray &zip, const QByteArray &signature, int flagAt) {
        const qsizetype at = zip.indexOf(signature);
        QVERIFY(at >= 0);
        zip[at + flagAt + 1] = char(zip[at + flagAt + 1] | 0x08);
    };
    setFlag(bytes, QByteArrayLiteral("PK\x03\x04"), 6);
    setFlag(bytes, QByteArrayLiteral("PK\x01\x02"), 8);
    QVERIFY(TestFiles::write(flagged, bytes));
    // libzip flags a name that happens to be valid UTF-8: clear the flag as Windows leaves it, and
    // set it on every entry for the misflagged copy.
    auto setFlags = [](QByteArray zip, bool on) {
        for (const auto &[signature, flagAt] :
             {std::pair{QByteArrayLiteral("PK\x03\x04"), 7}, std::pair{QByteArrayLiteral("PK\x01\x02"), 9}}) {
            for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4))
                zip[at + flagAt] = char(on ? (zip[at + flagAt] | 0x08) : (zip[at + flagAt] & ~0x08));
        }
        return zip;
    };
    bytes = TestFiles::read(gbk);
    QVERIFY(TestFiles::write(gbk, setFlags(bytes, false)));
    QVERIFY(TestFiles::write(misflagged, setFlags(bytes, true)));

    QCOMPARE(names(ZipReader(flagged)), QStringList{QStringLiteral("采购.txt")});
    const QStringList expected{QStringLiteral("sub/物料.txt"), QStringLiteral("图纸.txt")};
    for (const QString &archive : {gbk, misflagged}) {
        ZipReader reader(archive);
        QVERIFY2(reader.isOpen(), qPrintable(reader.errorString()));
        QStringList listed = names(reader);
        listed.sort();
        QCOMPARE(listed, expected);
        QTemporaryDir target;
        const ExtractReport report = extractArchive(archive, target.path());
        QVERIFY(report.complete());
        QCOMPARE(TestFiles::read(target.filePath(QStringLiteral("图纸.txt"))), QByteArray("drawing"));
        QCOMPARE(TestFiles::read(target.filePath(QStringLiteral("sub/物料.txt"))), QByteArray("material"));
    }

    // Info-ZIP lists the misflagged archive too: it is damaged in nobody else's eyes.
    const QString unzip = QStringLiteral("/usr/bin/unzip");
    if (!QFileInfo::exists(unzip))
        QSKIP("/usr/bin/unzip is not installed");
    QProcess process;
    process.start(unzip, {QStringLiteral("-l"), misflagged});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
}

void TestArchive::hostileEntriesWriteNothingOutside_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<int>("problem");
    QTest::newRow("dotdot") << "hostile-dotdot.zip"
                            << QStringList{QStringLiteral("../../escaped.txt"),
                                           QStringLiteral("sub/../../escaped2.txt")}
                            << int(EntryProblem::EscapesFolder);
    QTest::newRow("absolute") << "hostile-absolute.zip"
                              << QStringList{QStringLiteral("/tmp/tavlo-absolute-escape.txt")}
                              << int(EntryProblem::AbsolutePath);
}

void TestArchive::hostileEntriesWriteNothingOutside() {
    QFETCH(QString, file);
    QFETCH(QStringList, refused);
    QFETCH(int, problem);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("one/two/target"));
    const bool absoluteExisted = QFileInfo::exists(QStringLiteral("/tmp/tavlo-absolute-escape.txt"));

    const ExtractReport report = extractArchive(kCorpus + file, target);
    QVERIFY(report.outcome.ok());
    QVERIFY(!report.complete());
    QCOMPARE(report.extracted, QStringList{QStringLiteral("ok.txt")});
    QCOMPARE(report.refused.size(), refused.size());
    for (int i = 0; i < refused.size(); ++i) {
        QCOMPARE(report.refused[i].name, refused[i]);
        QCOMPARE(int(report.refused[i].problem), problem);
    }
    QCOMPARE(TestFiles::tree(dir.path()),
             QStringList({QStringLiteral("one"), QStringLiteral("one/two"), QStringLiteral("one/two/target"),
                          QStringLiteral("one/two/target/ok.txt")}));
    if (!absoluteExisted)
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/tavlo-absolute-escape.txt")));
}

void TestArchive::linkInTargetDoesNotCarryEntriesOutside() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target"));
    const QString outside = dir.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QDir().mkpath(outside));
    QVERIFY(QFile::link(outside, target + QStringLiteral("/sub")));
    QVERIFY(QFile::link(outside + QStringLiteral("/victim.txt"), target + QStringLiteral("/victim.txt")));
    QVERIFY(TestFiles::write(outside + QStringLiteral("/victim.txt"), "outside"));
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    makeZip(archive, {{"sub/x.txt", "x"}, {"sub/made/deeper/y.txt", "y"}, {"victim.txt", "replaced"}});

    const ExtractReport report =
        extractArchive(archive, target, {{}, [](const QString &) { return Conflict::Overwrite; }});
    QCOMPARE(report.refused.size(), 2);
    QCOMPARE(report.refused[0].name, QStringLiteral("sub/x.txt"));
    QCOMPARE(report.extracted, QStringList{QStringLiteral("victim.txt")});
    // No folder is made through the link either.
    QCOMPARE(TestFiles::tree(outside), QStringList{QStringLiteral("victim.txt")});
    QCOMPARE(TestFiles::read(outside + QStringLiteral("/victim.txt")), QByteArray("outside"));
    QVERIFY(!QFileInfo(target + QStringLiteral("/victim.txt")).isSymLink());
    QCOMPARE(TestFiles::read(target + QStringLiteral("/victim.txt")), QByteArray("replaced"));
}

void TestArchive::damagedArchivesFailCleanly() {
    QTemporaryDir dir;
    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("garbage.zip")), randomBytes(4096)));
    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("zero.zip")), QByteArray()));
    const QStringList archives{
        kCorpus + QStringLiteral("damaged-truncated.zip"), dir.filePath(QStringLiteral("garbage.zip")),
        dir.filePath(QStringLiteral("zero.zip")), dir.filePath(QStringLiteral("missing.zip"))};
    for (const QString &archive : archives) {
        const QString target = dir.filePath(QStringLiteral("target"));
        const ExtractReport report = extractArchive(archive, target);
        QCOMPARE(report.outcome.failure, Failure::ArchiveUnreadable);
        QVERIFY(!report.outcome.detail.isEmpty());
        QVERIFY(TestFiles::tree(target).isEmpty());
        QVERIFY(!ZipReader(archive).isOpen());
    }
}

void TestArchive::damagedEntryLeavesNoFile() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    const QByteArray payload = "payload that will be damaged in the archive";
    makeZip(archive, {{"bad.txt", payload}, {"good.txt", "fine"}});
    QByteArray bytes = TestFiles::read(archive);
    const qsizetype at = bytes.indexOf(payload);
    QVERIFY(at > 0);
    bytes[at + 3] = 'X';
    QVERIFY(TestFiles::write(archive, bytes));

    const QString target = dir.filePath(QStringLiteral("target"));
    const ExtractReport report = extractArchive(archive, target);
    QCOMPARE(report.failed.size(), 1);
    QCOMPARE(report.failed[0].name, QStringLiteral("bad.txt"));
    QCOMPARE(report.failed[0].problem, EntryProblem::Unreadable);
    QCOMPARE(TestFiles::tree(target), QStringList{QStringLiteral("good.txt")});
}

// An entry that says it holds 10 bytes but inflates to 20 MiB: at most 10 bytes are ever written, and the
// entry is refused with a reason, in Chinese like every archive error.
void TestArchive::entryLargerThanDeclaredIsRefused() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("bomb.zip"));
    {
        int code = 0;
        zip_t *zip = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        QVERIFY(zip);
        const QByteArray zeros(20 << 20, '\0');
        zip_source_t *source = zip_source_buffer(zip, zeros.constData(), zeros.size(), 0);
        QVERIFY(zip_file_add(zip, "bomb.txt", source, 0) >= 0);
        QCOMPARE(zip_close(zip), 0);
    }
    QByteArray bytes = TestFiles::read(archive);
    const auto setSize = [&bytes](const QByteArray &signature, int offset) {
        const qsizetype at = bytes.indexOf(signature);
        QVERIFY(at >= 0);
        qToLittleEndian<quint32>(10, bytes.data() + at + offset);
    };
    setSize(QByteArray("PK\x03\x04", 4), 22);
    setSize(QByteArray("PK\x01\x02", 4), 24);
    QVERIFY(TestFiles::write(archive, bytes));

    const QString target = dir.filePath(QStringLiteral("target"));
    const ExtractReport report = extractArchive(archive, target);
    QVERIFY(!report.complete());
    QCOMPARE(report.failed.size(), 1);
    QCOMPARE(report.failed[0].problem, EntryProblem::Unreadable);
    QVERIFY2(report.failed[0].detail.contains(QStringLiteral("声明的大小")),
             qPrintable(report.failed[0].detail));
    QVERIFY(TestFiles::tree(target).isEmpty());

    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("garbage.zip")), randomBytes(4096)));
    QCOMPARE(ZipReader(dir.filePath(QStringLiteral("garbage.zip"))).errorString(),
             QStringLiteral("不是 zip 压缩文件"));
}

void TestArchive::missingTargetFolderIsCreated() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("new/deeper"));
    const ExtractReport report = extractArchive(kCorpus + QStringLiteral("utf8-names.zip"), target);
    QVERIFY(report.complete());
    QVERIFY(QFileInfo(target + QStringLiteral("/readme.txt")).isFile());

    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("file")), "not a folder"));
    QCOMPARE(
        extractArchive(kCorpus + QStringLiteral("utf8-names.zip"), dir.filePath(QStringLiteral("file/x")))
            .outcome.failure,
        Failure::FolderUnwritable);
}

void TestArchive::existingFilesFollowTheConflictChoice() {
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    makeZip(archive, {{"a.txt", "new a"}, {"sub/", ""}, {"sub/b.txt", "new b"}});
    const QString target = dir.filePath(QStringLiteral("target"));
    QVERIFY(TestFiles::write(target + QStringLiteral("/a.txt"), "old a"));
    QVERIFY(TestFiles::write(target + QStringLiteral("/sub/b.txt"), "old b"));

    // Default: both kept, the new one under a numbered name.
    ExtractReport report = extractArchive(archive, target);
    QVERIFY(report.complete());
    QCOMPARE(report.renamed, QStringList({QStringLiteral("a (2).txt"), QStringLiteral("sub/b (2).txt")}));
    QCOMPARE(TestFiles::read(target + QStringLiteral("/a.txt")), QByteArray("old a"));
    QCOMPARE(TestFiles::read(target + QStringLiteral("/a (2).txt")), QByteArray("new a"));
    QCOMPARE(TestFiles::read(target + QStringLiteral("/sub/b (2).txt")), QByteArray("new b"));

    QStringList asked;
    report = extractArchive(archive, target, {{}, [&](const QString &path) {
                                                  asked.append(path);
                                                  return Conflict::Skip;
                                              }});
    QCOMPARE(asked, QStringList({QStringLiteral("a.txt"), QStringLiteral("sub/b.txt")}));
    QCOMPARE(report.skipped, asked);
    QVERIFY(report.extracted.isEmpty());

    report = extractArchive(archive, target, {{}, [](const QString &) { return Conflict::Overwrite; }});
    QCOMPARE(report.extracted, QStringList({QStringLiteral("a.txt"), QStringLiteral("sub/b.txt")}));
    QVERIFY(report.renamed.isEmpty());
    QCOMPARE(TestFiles::read(target + QStringLiteral("/a.txt")), QByteArray("new a"));
    QCOMPARE(TestFiles::read(target + QStringLiteral("/sub/b.txt")), QByteArray("new b"));

    // A folder in the way of a file is never replaced; the file is kept beside it.
    QVERIFY(QFile::remove(target + QStringLiteral("/a (2).txt")));
    QVERIFY(QFile::remove(target + QStringLiteral("/a.txt")));
    QVERIFY(QDir().mkpath(target + QStringLiteral("/a.txt")));
    report = extractArchive(archive, target, {{}, [](const QString &) { return Conflict::Overwrite; }});
    QCOMPARE(TestFiles::read(target + QStringLiteral("/a (2).txt")), QByteArray("new a"));
}

void TestArchive::cancelledExtractionLeavesNoPartialFile() {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("big.bin"));
    QVERIFY(TestFiles::write(source, randomBytes(1024 * 1024)));
    QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("small.txt")), "small"));
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    QVERIFY(createArchive({dir.filePath(QStringLiteral("small.txt")), source}, archive).ok());

    const QString target = dir.filePath(QStringLiteral("target"));
    const ExtractReport report =
        extractArchive(archive, target, {[](qint64 done, qint64 total) { return done < total / 2; }, {}});
    QCOMPARE(report.outcome.failure, Failure::Cancelled);
    QCOMPARE(report.extracted, QStringList{QStringLiteral("small.txt")});
    QCOMPARE(TestFiles::tree(target), QStringList{QStringLiteral("small.txt")});
}

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_Archive.moc"
