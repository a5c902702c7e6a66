#include "common/modCommonDialogs.h"

#include "TestFiles.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace modCommonDialogs;

namespace {

// Acts on the file dialog as soon as it is open; the dialog's own event loop runs the timer.
void whenDialogOpens(std::function<void(QFileDialog *)> act) {
    QTimer::singleShot(0, [act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
    });
}

void touch(const QString &path) {
    QVERIFY(TestFiles::write(path, {}));
}

} // namespace

class TestCommonDialogs : public QObject {
    Q_OBJECT

private slots:
    void convertsFilters_data();
    void convertsFilters();
    void openDialogReturnsAnExistingFile();
    void saveDialogAddsExtensionAndAsksBeforeOverwriting();
    void filesDialogReturnsEveryChosenFile();
    void folderDialogShowsOnlyFolders();
};

void TestCommonDialogs::convertsFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all files") << "All Files (*.*)|*.*" << QStringList{"All Files (*)"};
    QTest::newRow("zip") << "Zip Files (*.zip)|*.zip" << QStringList{"Zip Files (*.zip)"};
    QTest::newRow("several") << "Excel (*.xls;*.xlsx)|*.xls;*.xlsx|All|*.*"
                             << QStringList{"Excel (*.xls *.xlsx)", "All (*)"};
    QTest::newRow("chinese, trailing bar")
        << QStringLiteral("图纸文件|*.dxf|") << QStringList{QStringLiteral("图纸文件 (*.dxf)")};
    QTest::newRow("workbooks") << QStringLiteral("Excel 文件(*.xls;*.xlsx)|*.xls;*.xlsx|所有文件 (*.*)|*.*")
                               << QStringList{QStringLiteral("Excel 文件 (*.xls *.xlsx)"),
                                              QStringLiteral("所有文件 (*)")};
    QTest::newRow("drawings") << QStringLiteral("AutoCAD 文件(*.dwg)|*.dwg")
                              << QStringList{QStringLiteral("AutoCAD 文件 (*.dwg)")};
    QTest::newRow("description only") << "Text" << QStringList{};
    QTest::newRow("no description") << "|*.txt" << QStringList{"*.txt (*.txt)"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestCommonDialogs::convertsFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(toNameFilters(filter), expected);
}

void TestCommonDialogs::openDialogReturnsAnExistingFile() {
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("a.zip")));
    QWidget owner;

    whenDialogOpens([&](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("选择要解压的文件"));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->nameFilters(), QStringList{"Zip Files (*.zip)"});
        QCOMPARE(dialog->directory().absolutePath(), dir.path());
        QCOMPARE(dialog->parentWidget(), &owner);
        dialog->selectFile(QStringLiteral("a.zip"));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(OpenOrSaveDialog(&owner, 1, QStringLiteral("选择要解压的文件"),
                              QStringLiteral("Zip Files (*.zip)|*.zip"), dir.path(), QStringLiteral("zip")),
             dir.filePath(QStringLiteral("a.zip")));

    whenDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(OpenOrSaveDialog(&owner, 1, QStringLiteral("t"), QString(), dir.path()), QString());
}

void TestCommonDialogs::saveDialogAddsExtensionAndAsksBeforeOverwriting() {
    QTemporaryDir dir;
    whenDialogOpens([&](QFileDialog *dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("zip"));
        QCOMPARE(dialog->selectedFiles().value(0), dir.filePath(QStringLiteral("plan.zip")));
        dialog->selectFile(QStringLiteral("archive"));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(OpenOrSaveDialog(nullptr, 2, QStringLiteral("文件压缩为"),
                              QStringLiteral("Zip Files (*.zip)|*.zip"), dir.path(), QStringLiteral("zip"),
                              QStringLiteral("plan.zip")),
             dir.filePath(QStringLiteral("archive.zip")));
}

void TestCommonDialogs::filesDialogReturnsEveryChosenFile() {
    QTemporaryDir dir;
    touch(dir.filePath(QStringLiteral("b.txt")));
    touch(dir.filePath(QStringLiteral("a.txt")));
    whenDialogOpens([](QFileDialog *dialog) {
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(dialog->nameFilters(), QStringList{"All Files (*)"});
        dialog->selectFile(QStringLiteral("\"b.txt\" \"a.txt\""));
        static_cast<QDialog *>(dialog)->accept();
    });
    QCOMPARE(OpenFilesDialog(nullptr, QStringLiteral("选择要压缩的文件"),
                             QStringLiteral("All Files (*.*)|*.*"), dir.path()),
             QStringList({dir.filePath(QStringLiteral("b.txt")), dir.filePath(QStringLiteral("a.txt"))}));

    whenDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
    QVERIFY(OpenFilesDialog(nullptr, QStringLiteral("t"), QString(), dir.path()).isEmpty());
}

void TestCommonDialogs::folderDialogShowsOnlyFolders() {
    QTemporaryDir dir;
    whenDialogOpens([&](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("文件解压至:"));
        QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
        QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
        static_cast<QDialog *>(dialog)->accept(); // nothing picked: the start folder itself
    });
    QCOMPARE(FolderDialog(nullptr, QStringLiteral("文件解压至:"), dir.path()), dir.path());

    whenDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(FolderDialog(nullptr, QStringLiteral("t"), dir.path()), QString());
}

QTEST_MAIN(TestCommonDialogs)
#include "tst_CommonDialogs.moc"
