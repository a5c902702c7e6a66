// Recovery copies without the main window: which workbooks and documents are kept, when their copies
// go, and copies opened again exactly as they were (a damaged one refused).
#include "Python.h"
#include "common/RecoveryKeeper.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentArchive.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo;

namespace {

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A form as the requisition tool makes it: landscape, page-number footer, formatted paragraphs, a table
// with merged and split rows, heights, diagonals and fitted widths, a page break and a second table.
void buildForm(document::Document *d) {
    using namespace tavlo::document;
    d->setOrientation(PageSetup::Landscape);
    d->setMargins(50, 40, 60, 55);
    d->footerInsertAfter(QStringLiteral("第"));
    d->footerAddField(QStringLiteral("PAGE  \\* Arabic "));
    d->footerInsertAfter(QStringLiteral("页"));
    d->setFooterAlignment(Alignment::Right);
    d->setHeaderBottomBorder(false);
    d->setLastParagraphFont(QStringLiteral("宋体"), 16, true);
    d->setLastParagraphAlignment(Alignment::Center);
    d->setLastParagraphText(QStringLiteral("物料采购申请单\r\n"));
    d->setLastParagraphFont(QStringLiteral("黑体"), 11, false);
    d->setLastParagraphText(QStringLiteral("工程项目名称：净水厂\t设计编号：S-1"));
    Table *t = d->addTableAtEnd(3, 10);
    for (int c = 1; c <= 10; ++c) {
        t->setColumnWidth(c, 30 + 7 * c);
        t->setCellText(1, c, QStringLiteral("列%1\r第二段").arg(c));
    }
    t->setRowHeight(2, 104);
    for (int i = 0; i < 9; ++i)
        t->mergeWithNext(2, 1);
    t->setCellText(2, 1, QStringLiteral("技术条件:\r验收标准:"));
    t->splitCell(3, 1, 8);
    t->editCell(1, 1).setBorder(Border::DiagonalDown, true);
    t->editCell(3, 2).setBorder(Border::DiagonalUp, true);
    t->editCell(3, 3).setBorder(Border::Left, false);
    t->editCell(1, 4).alignment = Alignment::Right;
    t->InsertRowsBelow(1, 2);
    t->setCellText(2, 2, QStringLiteral("1234567890123456"));
    t->AutoFitBehavior(AutoFit::Content);
    d->appendPageBreak();
    d->setLastParagraphText(QStringLiteral("第二页 😀"));
    d->addTableAtEnd(1, 2)->AutoFitBehavior(AutoFit::Window);
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    // Kept: an unsaved workbook or document on screen, a moment after it changed. Not kept: the program's
    // own hidden workbooks. A copy goes when its work is saved or closed by the user; when the program
    // ends without asking (keepAll), closing keeps it.
    void keepsUnsavedWorkOnScreenUntilSavedOrDiscarded() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Recovery"));
        RecoveryKeeper keeper(folder);
        keeper.setInterval(0);
        QVERIFY(keeper.found().isEmpty());

        sheet::Application *hidden = sheet::Application::create();
        sheet::Application *shown = sheet::Application::create();
        shown->setVisible(true);
        document::Application *word = document::Application::create();
        word->setVisible(true);
        keeper.watch(hidden);
        keeper.watch(shown);
        keeper.watch(word);
        sheet::Workbook *internal = hidden->Workbooks().Add();
        internal->Sheets(1)->setValue(1, 1, QStringLiteral("内部"));
        sheet::Workbook *result = shown->Workbooks().Add();
        result->Sheets(1)->setValue(1, 1, QStringLiteral("物料代码"));
        result->Sheets(1)->setValue(2, 1, QStringLiteral("1101010001000001"));
        document::Document *form = word->Documents().Add();
        form->setLastParagraphText(QStringLiteral("物料采购申请单"));

        // Written on its own a moment after the changes.
        QTRY_VERIFY_WITH_TIMEOUT(!keeper.copyOf(result).isEmpty() && !keeper.copyOf(form).isEmpty(), 30000);
        QVERIFY(keeper.copyOf(internal).isEmpty());
        QCOMPARE(filesIn(folder).size(), 4); // two contents, two descriptions
        QCOMPARE(Python::xlsxRows(keeper.copyOf(result)), QStringLiteral("物料代码\n1101010001000001\n"));

        // A later change reaches the copy.
        result->Sheets(1)->setValue(3, 1, QStringLiteral("1101010001000002"));
        QVERIFY(keeper.writeNow());
        QCOMPARE(Python::xlsxRows(keeper.copyOf(result)),
                 QStringLiteral("物料代码\n1101010001000001\n1101010001000002\n"));

        // Saved: the copy goes.
        const QString formCopy = keeper.copyOf(form);
        QVERIFY(form->SaveAs(dir.filePath(QStringLiteral("申请单.docx"))));
        QVERIFY(keeper.copyOf(form).isEmpty());
        QVERIFY(!QFile::exists(formCopy));
        // Closed by the user (who was asked): the copy goes.
        const QString resultCopy = keeper.copyOf(result);
        result->Close();
        QVERIFY(!QFile::exists(resultCopy));
        QVERIFY(filesIn(folder).isEmpty());

        // The program ends without asking: written at once, and kept when the instances quit.
        sheet::Workbook *second = shown->Workbooks().Add();
        second->Sheets(1)->setValue(1, 2, QStringLiteral("批量"));
        form->setLastParagraphText(QStringLiteral("改过"));
        keeper.keepAll();
        QVERIFY(!keeper.copyOf(second).isEmpty() && !keeper.copyOf(form).isEmpty());
        for (auto *app : {hidden, shown})
            app->Quit();
        word->Quit();
        QCOMPARE(filesIn(folder).size(), 4);

        // The next run finds both, oldest first.
        RecoveryKeeper next(folder);
        const QList<RecoveryEntry> found = next.found();
        QCOMPARE(found.size(), 2);
        QStringList names;
        for (const RecoveryEntry &e : found)
            names << e.name;
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("工作簿2"), QStringLiteral("申请单.docx")}));
        for (const RecoveryEntry &e : found)
            next.discard(e.id);
        QVERIFY(next.found().isEmpty());
        QVERIFY(filesIn(folder).isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A document and a workbook opened again are what they were: every block, format, width, border and
    // the page setup (the archive of the reopened document equals the original's, and so does its .docx),
    // still unsaved, under their names and files. A damaged copy is refused and opens nothing; so is every
    // shortened archive.
    void copiesComeBackAsTheyWereAndDamagedOnesAreRefused() {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Recovery"));
        QByteArray archive;
        int pages = 0;
        {
            RecoveryKeeper keeper(folder);
            document::Application *word = document::Application::create();
            word->setVisible(true);
            sheet::Application *excel = sheet::Application::create();
            excel->setVisible(true);
            keeper.watch(word);
            keeper.watch(excel);
            document::Document *form = word->Documents().Add();
            buildForm(form);
            QVERIFY(form->SaveAs(dir.filePath(QStringLiteral("original.docx"))));
            form->setSaved(false); // as if changed after the save
            archive = document::DocumentArchive::write(*form);
            pages = form->pageCount();
            QVERIFY(pages >= 2);
            sheet::Workbook *book = excel->Workbooks().Add();
            book->Sheets(1)->setValue(1, 1, QStringLiteral("名称"));
            book->Sheets(1)->setNumber(2, 2, 12500.5);
            book->AddSheet(QStringLiteral("第二页"))->setValue(3, 3, QStringLiteral("C3"));
            keeper.keepAll();
            word->Quit();
            excel->Quit();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        RecoveryKeeper keeper(folder);
        QCOMPARE(keeper.found().size(), 2);
        for (const RecoveryEntry &entry : keeper.found()) {
            QString error;
            QVERIFY2(keeper.reopen(entry.id, &error), qPrintable(error));
        }
        QVERIFY(keeper.found().isEmpty());
        document::Document *form = document::Application::instances().value(0)->documentList().value(0);
        QVERIFY(form && !form->Saved() && form->Name() == QStringLiteral("original.docx"));
        QCOMPARE(form->FullName(),
                 QFileInfo(dir.filePath(QStringLiteral("original.docx"))).absoluteFilePath());
        QCOMPARE(document::DocumentArchive::write(*form), archive);
        QCOMPARE(form->pageCount(), pages);
        // And the .docx made from it is the original's, part for part (only the creation time differs).
        QVERIFY(form->SaveAs(dir.filePath(QStringLiteral("reopened.docx"))));
        const QByteArray parts = Python::run(
            QStringLiteral("import sys, zipfile\n"
                           "a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])\n"
                           "names = sorted(n for n in a.namelist() if n != 'docProps/core.xml')\n"
                           "assert names == sorted(n for n in b.namelist() if n != 'docProps/core.xml')\n"
                           "bad = [n for n in names if a.read(n) != b.read(n)]\n"
                           "print(' '.join(bad) if bad else 'same')\n"),
            {dir.filePath(QStringLiteral("original.docx")), dir.filePath(QStringLiteral("reopened.docx"))});
        QCOMPARE(QString::fromUtf8(parts).trimmed(), QStringLiteral("same"));
        sheet::Workbook *book = sheet::Application::instances().value(0)->workbookList().value(0);
        QVERIFY(book && !book->Saved() && book->Name() == QStringLiteral("工作簿1") &&
                book->FullName().isEmpty());
        QCOMPARE(book->Sheets(1)->value(1, 1), QStringLiteral("名称"));
        QVERIFY(book->Sheets(1)->isNumber(2, 2));
        QCOMPARE(book->Sheets(1)->value(2, 2), QStringLiteral("12500.5"));
        QCOMPARE(book->Sheets(QStringLiteral("第二页"))->value(3, 3), QStringLiteral("C3"));
        // Saved, its copy went; changed again, it goes on under the copy it came from.
        QVERIFY(keeper.copyOf(form).isEmpty());
        form->setSaved(false);
        keeper.keepAll();
        const QString formCopy = keeper.copyOf(form);
        QVERIFY(formCopy.endsWith(keeper.store().entries().value(0).id + QStringLiteral(".tdoc")) ||
                formCopy.endsWith(keeper.store().entries().value(1).id + QStringLiteral(".tdoc")));
        for (auto *app : document::Application::instances())
            app->Quit();
        for (auto *app : sheet::Application::instances())
            app->Quit();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Damaged: one byte of the document's copy changed in a count, then the copy cut short.
        QFile file(formCopy);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(file.size() - 30) && file.write("\xff\xff\xff\xff", 4) == 4);
        file.close();
        RecoveryKeeper damaged(folder);
        QCOMPARE(damaged.found().size(), 2);
        for (const RecoveryEntry &entry : damaged.found()) {
            if (entry.kind != RecoveryEntry::Document)
                continue;
            QString error;
            QVERIFY(!damaged.reopen(entry.id, &error));
            QVERIFY2(error.contains(QStringLiteral("损坏")), qPrintable(error));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(document::Application::instances().isEmpty());
        document::Application *word = document::Application::create();
        document::Document *target = word->Documents().Add();
        for (qsizetype cut = 0; cut < archive.size(); ++cut) {
            QString error;
            QVERIFY2(!document::DocumentArchive::read(archive.left(cut), target, &error),
                     qPrintable(QString::number(cut)));
        }
        QCOMPARE(target->blockCount(), 1);
        QVERIFY(target->Saved());
        word->Quit();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_MAIN(TestRecovery)
#include "tst_recovery.moc"
