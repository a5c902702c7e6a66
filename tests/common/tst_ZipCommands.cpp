#include "TestFiles.h"
#include "common/ZipCommands.h"
#include "common/modZip.h"
#include "platform/archive/ZipReader.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using tavlo::archive::EntryIssue;
using tavlo::archive::EntryProblem;
using tavlo::archive::ExtractReport;
using tavlo::archive::Failure;
using tavlo::archive::Outcome;

namespace {

const QString kCorpus = QStringLiteral(TAVLO_CORPUS_DIR "/zip/");

// What a dialog was asked to show.
struct DialogCall {
    QString title, filter, folder, defaultExtension, defaultFileName;
    int openOrSave = 0;
};

// Stands in for the user at the dialogs: answers each with a prepared choice (empty = cancel) and
// remembers what was asked.
struct FakeUser {
    QStringList files;
    QString saveAs, openFile, folder;
    QList<DialogCall> calls;

    ZipDialogs dialogs() {
        ZipDialogs d;
        d.openFiles = [this](QWidget *, const QString &title, const QString &filter, const QString &folder) {
            calls.append({title, filter, folder, {}, {}, 0});
            return files;
        };
        d.openOrSave = [this](QWidget *, int openOrSave, const QString &title, const QString &filter,
                              const QString &folder, const QString &extension, const QString &name) {
            calls.append({title, filter, folder, extension, name, openOrSave});
            return openOrSave == 1 ? openFile : saveAs;
        };
        d.folder = [this](QWidget *, const QString &title, const QString &start) {
            calls.append({title, {}, start, {}, {}, 0});
            return folder;
        };
        return d;
    }
};

} // namespace

class TestZipCommands : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void compressionStatusTexts();
    void extractionStatusTexts();

    void cancellingDialogsEndsWithoutStatus();
    void compressesChosenFilesInOrder();
    void failedCompressionIsReported();
    void cancellingTheProgressWindowLeavesNoArchive();
    void extractsIntoANewFolder();
    void reportsRefusedAndDamagedArchives();

private:
    ZipCommands &commands() { return *m_commands; }

    QTemporaryDir *m_dir = nullptr;
    QWidget *m_window = nullptr;
    ZipCommands *m_commands = nullptr;
    FakeUser m_user;
    QStringList m_tips;
};

void TestZipCommands::init() {
    m_dir = new QTemporaryDir;
    m_window = new QWidget;
    m_user = FakeUser();
    m_tips.clear();
    m_commands = new ZipCommands(
        m_window, [this](const QString &tip) { m_tips.append(tip); }, m_window);
    m_commands->setDialogs(m_user.dialogs());
    m_commands->setProgramFolder(m_dir->filePath(QStringLiteral("program")));
}

void TestZipCommands::cleanup() {
    delete m_window;
    delete m_dir;
}

void TestZipCommands::compressionStatusTexts() {
    QCOMPARE(modZip::compressionStatusText(Outcome{}), QStringLiteral("压缩文件完毕。"));
    const QList<Outcome> failures{{Failure::Cancelled, "/x/a.zip", {}},
                                  {Failure::SourceUnreadable, "/x/gone.txt", {}},
                                  {Failure::DuplicateName, "/y/a.txt", {}},
                                  {Failure::ArchiveIsSource, "/x/a.txt", {}},
                                  {Failure::ArchiveUnwritable, "/x/a.zip", "Permission denied"}};
    for (const Outcome &outcome : failures) {
        const QString text = modZip::compressionStatusText(outcome);
        QVERIFY2(!text.contains(QStringLiteral("完毕")), qPrintable(text));
        QVERIFY2(text.startsWith(QStringLiteral("压缩文件")), qPrintable(text));
    }
    QCOMPARE(modZip::compressionStatusText(failures[4]),
             QStringLiteral("压缩文件失败：无法写入 a.zip（Permission denied）。"));
}

void TestZipCommands::extractionStatusTexts() {
    ExtractReport report;
    QCOMPARE(modZip::extractionStatusText(report), QStringLiteral("解压文件完毕。"));

    ExtractReport damaged;
    damaged.outcome = {Failure::ArchiveUnreadable, "/x/bad.zip", "Not a zip archive"};
    QCOMPARE(modZip::extractionStatusText(damaged),
             QStringLiteral("解压文件失败：bad.zip 已损坏或不是 zip 压缩文件（Not a zip archive）。"));

    ExtractReport cancelled;
    cancelled.outcome.failure = Failure::Cancelled;
    cancelled.extracted = QStringList{"a.txt"};
    QCOMPARE(modZip::extractionStatusText(cancelled), QStringLiteral("解压文件已取消，已解压 1 个文件。"));

    ExtractReport refused;
    refused.refused = {{"../a", EntryProblem::EscapesFolder, {}},
                       {"/b", EntryProblem::AbsolutePath, {}},
                       {"../c", EntryProblem::EscapesFolder, {}}};
    refused.failed = {{"d.txt", EntryProblem::Unreadable, "CRC error"}};
    QCOMPARE(modZip::extractionStatusText(refused),
             QStringLiteral("解压文件未完成，拒绝了 3 个会写到目标文件夹之外的条目：../a、/b 等；"
                            "1 个文件损坏或无法写入：d.txt（CRC error）。"));

    ExtractReport renamed;
    renamed.extracted = QStringList{"a (2).txt"};
    renamed.renamed = renamed.extracted;
    QCOMPARE(modZip::extractionStatusText(renamed),
             QStringLiteral("解压文件完毕。1 个同名文件已存在，新文件另存为 a (2).txt。"));
}

void TestZipCommands::cancellingDialogsEndsWithoutStatus() {
    const QString a = m_dir->filePath(QStringLiteral("a.txt"));
    QVERIFY(TestFiles::write(a, "a"));

    commands().compressFiles(); // file choice cancelled
    QCOMPARE(m_user.calls.size(), 1);

    m_user.files = QStringList{a, m_dir->filePath(QStringLiteral("gone.txt"))};
    commands().compressFiles(); // a chosen file is gone: ends before asking where to save
    QCOMPARE(m_user.calls.size(), 2);

    m_user.files = QStringList{a};
    commands().compressFiles(); // save dialog cancelled
    QCOMPARE(m_user.calls.size(), 4);

    commands().extractArchive(); // archive choice cancelled
    m_user.openFile = m_dir->filePath(QStringLiteral("missing.zip"));
    commands().extractArchive(); // chosen archive does not exist
    m_user.openFile = kCorpus + QStringLiteral("utf8-names.zip");
    commands().extractArchive(); // folder choice cancelled
    QCOMPARE(m_user.calls.size(), 8);

    QVERIFY(m_tips.isEmpty());
    QCOMPARE(TestFiles::tree(m_dir->path()), QStringList{QStringLiteral("a.txt")});
}

void TestZipCommands::compressesChosenFilesInOrder() {
    QStringList files;
    for (const QString &name :
         {QStringLiteral("plan.v2.dxf"), QStringLiteral("说明.txt"), QStringLiteral("a.txt")}) {
        files.append(m_dir->filePath(QStringLiteral("src/") + name));
        QVERIFY(TestFiles::write(files.last(), name.toUtf8()));
    }
    m_user.files = files;
    m_user.saveAs = m_dir->filePath(QStringLiteral("out.zip"));
    commands().compressFiles();

    QCOMPARE(m_tips, QStringList({QStringLiteral("正在压缩文件 ... ..."), QStringLiteral("压缩文件完毕。")}));
    QCOMPARE(m_user.calls.size(), 2);
    const DialogCall &choose = m_user.calls[0];
    QCOMPARE(choose.title, QStringLiteral("选择要压缩的文件"));
    QCOMPARE(choose.filter, QStringLiteral("All Files (*.*)|*.*"));
    QCOMPARE(choose.folder, m_dir->filePath(QStringLiteral("program")));
    const DialogCall &save = m_user.calls[1];
    QCOMPARE(save.title, QStringLiteral("文件压缩为"));
    QCOMPARE(save.filter, QStringLiteral("Zip Files (*.zip)|*.zip"));
    QVERIFY(save.openOrSave != 1);
    QCOMPARE(save.folder, m_dir->filePath(QStringLiteral("src")));
    QCOMPARE(save.defaultExtension, QStringLiteral("zip"));
    QCOMPARE(save.defaultFileName, QStringLiteral("plan.v2.zip"));

    tavlo::archive::ZipReader reader(m_user.saveAs);
    QStringList names;
    for (const auto &entry : reader.entries())
        names.append(entry.name);
    QCOMPARE(names, QStringList({QStringLiteral("plan.v2.dxf"), QStringLiteral("说明.txt"),
                                 QStringLiteral("a.txt")}));
}

void TestZipCommands::failedCompressionIsReported() {
    const QString a = m_dir->filePath(QStringLiteral("a.txt"));
    QVERIFY(TestFiles::write(a, "a"));
    m_user.files = QStringList{a};
    m_user.saveAs = m_dir->filePath(QStringLiteral("no/such/folder/out.zip"));
    commands().compressFiles();
    QCOMPARE(m_tips.size(), 2);
    QVERIFY2(m_tips[1].startsWith(QStringLiteral("压缩文件失败：无法写入 out.zip")), qPrintable(m_tips[1]));
}

void TestZipCommands::cancellingTheProgressWindowLeavesNoArchive() {
    QByteArray data(4 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    const QString big = m_dir->filePath(QStringLiteral("big.bin"));
    QVERIFY(TestFiles::write(big, data));
    m_user.files = QStringList{big};
    m_user.saveAs = m_dir->filePath(QStringLiteral("out.zip"));

    // The progress window exists as soon as the work starts; its cancel button is pressed then, and a
    // second command meanwhile must do nothing.
    int callsDuringWork = -1;
    QTimer::singleShot(0, m_window, [this, &callsDuringWork] {
        auto *progress = m_window->findChild<QProgressDialog *>();
        QVERIFY(progress);
        QVERIFY(commands().isBusy());
        const qsizetype before = m_user.calls.size();
        commands().extractArchive();
        callsDuringWork = int(m_user.calls.size() - before);
        QPushButton *cancel = progress->findChild<QPushButton *>();
        QVERIFY(cancel);
        cancel->click();
    });
    commands().compressFiles();

    QCOMPARE(callsDuringWork, 0);
    QCOMPARE(m_tips, QStringList({QStringLiteral("正在压缩文件 ... ..."),
                                  QStringLiteral("压缩文件已取消，未写入压缩文件。")}));
    QCOMPARE(TestFiles::tree(m_dir->path()), QStringList{QStringLiteral("big.bin")});
    QVERIFY(!commands().isBusy());
    QVERIFY(!m_window->findChild<QProgressDialog *>());
}

void TestZipCommands::extractsIntoANewFolder() {
    m_user.openFile = kCorpus + QStringLiteral("utf8-names.zip");
    m_user.folder = m_dir->filePath(QStringLiteral("new/target"));
    commands().extractArchive();

    QCOMPARE(m_tips, QStringList({QStringLiteral("正在解压文件 ... ..."), QStringLiteral("解压文件完毕。")}));
    QCOMPARE(TestFiles::tree(m_user.folder),
             QStringList({QStringLiteral("readme.txt"), QStringLiteral("采购申请单.txt")}));
    const DialogCall &open = m_user.calls[0];
    QCOMPARE(open.title, QStringLiteral("选择要解压的文件"));
    QCOMPARE(open.filter, QStringLiteral("Zip Files (*.zip)|*.zip"));
    QCOMPARE(open.openOrSave, 1);
    QCOMPARE(open.defaultExtension, QStringLiteral("zip"));
    QCOMPARE(open.folder, m_dir->filePath(QStringLiteral("program")));
    QCOMPARE(m_user.calls[1].title, QStringLiteral("文件解压至:"));
    QCOMPARE(m_user.calls[1].folder, m_dir->filePath(QStringLiteral("program")));
}

void TestZipCommands::reportsRefusedAndDamagedArchives() {
    m_user.folder = m_dir->filePath(QStringLiteral("a/b/target"));
    m_user.openFile = kCorpus + QStringLiteral("hostile-dotdot.zip");
    commands().extractArchive();
    QCOMPARE(m_tips.value(1),
             QStringLiteral("解压文件未完成，拒绝了 2 个会写到目标文件夹之外的条目：../../escaped.txt、"
                            "sub/../../escaped2.txt。"));
    QCOMPARE(
        TestFiles::tree(m_dir->filePath(QStringLiteral("a"))),
        QStringList({QStringLiteral("b"), QStringLiteral("b/target"), QStringLiteral("b/target/ok.txt")}));

    m_user.openFile = kCorpus + QStringLiteral("damaged-truncated.zip");
    commands().extractArchive();
    QVERIFY2(m_tips.value(3).startsWith(
                 QStringLiteral("解压文件失败：damaged-truncated.zip 已损坏或不是 zip 压缩文件")),
             qPrintable(m_tips.value(3)));
}

QTEST_MAIN(TestZipCommands)
#include "tst_ZipCommands.moc"
