// The spreadsheet application model as programs drive it: workbooks, sheets, cells, saving, closing.
#include "TestApps.h"

#include "platform/sheet/Application.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::sheet;

class TestSheetModel : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { TestApps::quitAll<Application>(); }
    void applicationsRunAndQuit();
    void typedValuesFollowTheCellFormat();
    void valueKeepsDigitsTheShownTextRounds();
    void usedRangeOfEmptyAndFilledSheets();
    void columnsFormatWidthAndAutoFit();
    void sheetsNamesAndActivation();
    void saveAsThenOpenAgain();
    void savedFlagFollowsChanges();
    void closedWorkbookFailsQuietly();
    void limitsOfCells();

private:
    QTemporaryDir m_dir;
};

void TestSheetModel::applicationsRunAndQuit() {
    QCOMPARE(Application::running(), nullptr);
    QPointer<Application> first = Application::create();
    QPointer<Application> second = Application::create();
    QCOMPARE(Application::running(), first.data());
    QCOMPARE(Application::instances().size(), 2);
    QVERIFY(!first->Visible());

    Workbook *a = first->Workbooks().Add();
    Workbook *b = first->Workbooks().Add();
    QCOMPARE(a->Name(), QStringLiteral("工作簿1"));
    QCOMPARE(b->Name(), QStringLiteral("工作簿2"));
    QCOMPARE(a->FullName(), QString());
    QCOMPARE(a->SheetsCount(), 1);
    QCOMPARE(a->Sheets(1)->Name(), QStringLiteral("Sheet1"));
    QCOMPARE(first->Workbooks().Count(), 2);
    QCOMPARE(first->Workbooks().Item(2), b);
    QCOMPARE(first->Workbooks().Item(0), nullptr);
    QCOMPARE(first->Workbooks().Item(3), nullptr);

    QSignalSpy closed(a, &Workbook::closed);
    QPointer<Workbook> watchA = a;
    first->Quit();
    QCOMPARE(closed.count(), 1);
    QVERIFY(!first->isAlive());
    QCOMPARE(first->Workbooks().Add(), nullptr);
    QCOMPARE(Application::running(), second.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QVERIFY(watchA.isNull());
}

void TestSheetModel::typedValuesFollowTheCellFormat() {
    Application *app = Application::create();
    Worksheet *sheet = app->Workbooks().Add()->Sheets(1);
    // General: a plain number becomes a number, as when typed into a spreadsheet.
    QVERIFY(sheet->Cells(1, 1).setValue(QStringLiteral("0012")));
    QVERIFY(sheet->isNumber(1, 1));
    QCOMPARE(sheet->Cells(1, 1).Value(), QStringLiteral("12"));
    // "@" first: the text is stored as typed.
    QVERIFY(sheet->Cells(2, 1).setNumberFormatLocal(QStringLiteral("@")));
    QVERIFY(sheet->Cells(2, 1).setValue(QStringLiteral("0012")));
    QVERIFY(!sheet->isNumber(2, 1));
    QCOMPARE(sheet->Cells(2, 1).Value(), QStringLiteral("0012"));
    QCOMPARE(sheet->Cells(2, 1).NumberFormatLocal(), QStringLiteral("@"));
    // A leading apostrophe keeps the rest as text; digits a number cannot hold stay text.
    QVERIFY(sheet->Cells(3, 1).setValue(QStringLiteral("'0012")));
    QCOMPARE(sheet->Cells(3, 1).Value(), QStringLiteral("0012"));
    QVERIFY(sheet->Cells(4, 1).setValue(QStringLiteral("110101199003071234")));
    QVERIFY(!sheet->isNumber(4, 1));
    QCOMPARE(sheet->Cells(4, 1).Value(), QStringLiteral("110101199003071234"));
    QVERIFY(sheet->Cells(5, 1).setValue(QStringLiteral("DN50")));
    QCOMPARE(sheet->Cells(5, 1).Text(), QStringLiteral("DN50"));
    // Changing the format later does not change a stored value.
    QVERIFY(sheet->Cells(1, 1).setNumberFormatLocal(QStringLiteral("@")));
    QVERIFY(sheet->isNumber(1, 1));
    // Emptying a formatted cell keeps its format.
    QVERIFY(sheet->Cells(2, 1).setValue(QString()));
    QCOMPARE(sheet->Cells(2, 1).Value(), QString());
    QCOMPARE(sheet->Cells(2, 1).NumberFormatLocal(), QStringLiteral("@"));
    QVERIFY(sheet->Cells(2, 1).setValue(QStringLiteral("007")));
    QCOMPARE(sheet->Cells(2, 1).Value(), QStringLiteral("007"));
    QCOMPARE(sheet->Cells(9, 9).NumberFormatLocal(), QStringLiteral("General"));
}

void TestSheetModel::valueKeepsDigitsTheShownTextRounds() {
    Application *app = Application::create();
    Worksheet *sheet = app->Workbooks().Add()->Sheets(1);
    QVERIFY(sheet->Cells(1, 1).setValue(QStringLiteral("123456789012")));
    QCOMPARE(sheet->Cells(1, 1).Text(), QStringLiteral("1.23457E+11"));
    QCOMPARE(sheet->Cells(1, 1).Value(), QStringLiteral("123456789012"));
    QVERIFY(sheet->Cells(1, 2).setNumber(0.1 + 0.2));
    QCOMPARE(sheet->Cells(1, 2).Value(), QStringLiteral("0.3"));
    QVERIFY(!sheet->Cells(1, 3).setNumber(std::nan("")));
}

void TestSheetModel::usedRangeOfEmptyAndFilledSheets() {
    Application *app = Application::create();
    Worksheet *sheet = app->Workbooks().Add()->Sheets(1);
    // An empty sheet's used range is A1 alone: its last row is 1.
    QCOMPARE(sheet->UsedRange().lastRow(), 1);
    QCOMPARE(sheet->UsedRange().RowsCount, 1);
    // A column format alone does not widen the used range.
    QVERIFY(sheet->Columns(1, 3).setNumberFormatLocal(QStringLiteral("@")));
    QCOMPARE(sheet->UsedRange().lastRow(), 1);
    QVERIFY(sheet->Cells(3, 2).setValue(QStringLiteral("x")));
    QVERIFY(sheet->Cells(7, 4).setNumberFormatLocal(QStringLiteral("@"))); // a cell format does
    const UsedRangeInfo used = sheet->UsedRange();
    QCOMPARE(used.Row, 3);
    QCOMPARE(used.Column, 2);
    QCOMPARE(used.RowsCount, 5);
    QCOMPARE(used.lastRow(), 7);
    QCOMPARE(used.lastColumn(), 4);
}

void TestSheetModel::columnsFormatWidthAndAutoFit() {
    Application *app = Application::create();
    Worksheet *sheet = app->Workbooks().Add()->Sheets(1);
    QVERIFY(sheet->Cells(2, 2).setValue(QStringLiteral("42")));
    QVERIFY(sheet->Cells(2, 2).setNumberFormatLocal(QStringLiteral("0.00")));
    QVERIFY(sheet->Columns(QStringLiteral("A:H")).setNumberFormatLocal(QStringLiteral("@")));
    // The columns' format reaches cells already there and cells written later.
    QCOMPARE(sheet->Cells(2, 2).NumberFormatLocal(), QStringLiteral("@"));
    QVERIFY(sheet->Cells(5, 8).setValue(QStringLiteral("0012")));
    QCOMPARE(sheet->Cells(5, 8).Value(), QStringLiteral("0012"));
    QVERIFY(sheet->Cells(5, 9).setValue(QStringLiteral("0012")));
    QCOMPARE(sheet->Cells(5, 9).Value(), QStringLiteral("12"));

    QVERIFY(sheet->Cells(1, 1).setValue(QStringLiteral("离心泵")));
    QVERIFY(sheet->Cells(2, 1).setValue(QStringLiteral("ab")));
    QVERIFY(sheet->Columns(QStringLiteral("C")).setColumnWidth(30));
    QCOMPARE(sheet->Columns(3).ColumnWidth(), 30.0);
    QVERIFY(sheet->Columns(QStringLiteral("a:c")).AutoFit());
    QCOMPARE(sheet->columnWidth(1), 7.0);
    QCOMPARE(sheet->columnWidth(2), 3.0);
    QCOMPARE(sheet->columnWidth(3), kDefaultColumnWidth); // nothing in it: standard width
    QVERIFY(sheet->Columns(QStringLiteral("C:A")).isValid());
    QVERIFY(!sheet->Columns(QStringLiteral("1")).isValid());
    QVERIFY(!sheet->Columns(QStringLiteral("A:B:C")).AutoFit());
}

void TestSheetModel::sheetsNamesAndActivation() {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Add();
    Worksheet *second = book->AddSheet();
    QCOMPARE(second->Name(), QStringLiteral("Sheet2"));
    QCOMPARE(book->AddSheet(QStringLiteral("sheet2")), nullptr); // names are unique in any case
    QVERIFY(book->AddSheet(QStringLiteral("译稿")));
    QCOMPARE(book->Sheets(QStringLiteral("SHEET2")), second);
    QCOMPARE(second->Index(), 2);
    QVERIFY(!second->setName(QStringLiteral("a/b")));
    QVERIFY(!second->setName(QStringLiteral("Sheet1")));
    QVERIFY(second->setName(QStringLiteral("参数1")));
    QCOMPARE(book->ActiveSheet(), book->Sheets(1));
    QSignalSpy activated(book, &Workbook::activeSheetChanged);
    second->Activate();
    QCOMPARE(book->ActiveSheet(), second);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(book->Sheets(4), nullptr);
    QCOMPARE(book->Sheets(0), nullptr);
}

void TestSheetModel::saveAsThenOpenAgain() {
    Application *app = Application::create();
    app->setDisplayAlerts(false);
    Workbook *book = app->Workbooks().Add();
    Worksheet *sheet = book->Sheets(1);
    QVERIFY(!book->Save()); // never saved: no file to save to
    QVERIFY(!book->lastError().isEmpty());
    for (int c = 1; c <= 11; ++c) {
        QVERIFY(sheet->Cells(2, c).setNumberFormatLocal(QStringLiteral("@")));
        QVERIFY(sheet->Cells(2, c).setValue(QStringLiteral("00%1").arg(c)));
    }
    book->AddSheet(QStringLiteral("第二"))->Activate();
    const QString path = m_dir.filePath(QStringLiteral("MIS.xls"));
    QSignalSpy renamed(book, &Workbook::nameChanged);
    QVERIFY2(book->SaveAs(path), qPrintable(book->lastError()));
    QCOMPARE(book->Name(), QStringLiteral("MIS.xls"));
    QCOMPARE(book->FullName(), path);
    QVERIFY(book->Saved());
    QCOMPARE(renamed.count(), 1);
    QVERIFY(sheet->Cells(3, 1).setValue(QStringLiteral("more")));
    QVERIFY(book->Save());
    // The open file is the workbook already open; opening it after closing reads it again.
    QCOMPARE(app->Workbooks().Open(path), book);
    book->Close();
    Workbook *again = app->Workbooks().Open(path);
    QVERIFY2(again, qPrintable(app->lastError()));
    QVERIFY(again != book);
    QVERIFY(again->Saved());
    QCOMPARE(again->SheetsCount(), 2);
    QCOMPARE(again->ActiveSheet()->Name(), QStringLiteral("第二"));
    QCOMPARE(again->Sheets(1)->Cells(2, 1).Value(), QStringLiteral("001"));
    QCOMPARE(again->Sheets(1)->Cells(2, 11).Value(), QStringLiteral("0011"));
    QCOMPARE(again->Sheets(1)->Cells(2, 11).NumberFormatLocal(), QStringLiteral("@"));
    QCOMPARE(again->Sheets(1)->Cells(3, 1).Value(), QStringLiteral("more"));
    QCOMPARE(again->Sheets(1)->UsedRange().lastRow(), 3);

    QCOMPARE(app->Workbooks().Open(m_dir.filePath(QStringLiteral("missing.xlsx"))), nullptr);
    QVERIFY(app->lastError().contains(QStringLiteral("missing.xlsx")));
    QCOMPARE(app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/damaged-truncated.xlsx")),
             nullptr);
    QVERIFY(!again->SaveAs(m_dir.filePath(QStringLiteral("book.ods"))));
    QCOMPARE(again->FullName(), path); // a failed save changes nothing
}

void TestSheetModel::savedFlagFollowsChanges() {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/mis-office.xlsx"));
    QVERIFY2(book, qPrintable(app->lastError()));
    QVERIFY(book->Saved());
    QSignalSpy saved(book, &Workbook::savedChanged);
    QVERIFY(book->Sheets(1)->Cells(5, 1).setValue(QStringLiteral("new")));
    QVERIFY(!book->Saved());
    book->setSaved(true);
    QVERIFY(book->Saved());
    QCOMPARE(saved.count(), 2);
    book->Sheets(1)->Columns(2).setColumnWidth(12);
    QVERIFY(!book->Saved());
}

void TestSheetModel::closedWorkbookFailsQuietly() {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Add();
    QPointer<Worksheet> sheet = book->Sheets(1);
    CellRef cell = sheet->Cells(1, 1);
    QVERIFY(cell.setValue(QStringLiteral("x")));
    book->Close();
    book->Close(); // twice is harmless
    QVERIFY(!book->isAlive());
    QCOMPARE(book->SheetsCount(), 0);
    QCOMPARE(book->Sheets(1), nullptr);
    QCOMPARE(book->ActiveSheet(), nullptr);
    QVERIFY(!book->SaveAs(m_dir.filePath(QStringLiteral("x.xlsx"))));
    QVERIFY(!sheet->isAlive());
    QCOMPARE(cell.Value(), QString());
    QVERIFY(!cell.setValue(QStringLiteral("y")));
    QVERIFY(!sheet->Columns(1).AutoFit());
    QCOMPARE(app->Workbooks().Count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(sheet.isNull());
    QCOMPARE(cell.Value(), QString()); // the cell outlives its sheet safely
}

void TestSheetModel::limitsOfCells() {
    Application *app = Application::create();
    Worksheet *sheet = app->Workbooks().Add()->Sheets(1);
    QVERIFY(!sheet->Cells(0, 1).setValue(QStringLiteral("x")));
    QVERIFY(!sheet->Cells(1, 0).setValue(QStringLiteral("x")));
    QVERIFY(!sheet->Cells(kMaxRows + 1, 1).setValue(QStringLiteral("x")));
    QVERIFY(sheet->Cells(kMaxRows, 16384).setValue(QStringLiteral("corner")));
    QCOMPARE(sheet->UsedRange().lastRow(), kMaxRows);
    QVERIFY(!sheet->Cells(1, 1).setValue(QString(32768, u'x')));
    QVERIFY(sheet->lastError().contains(QStringLiteral("32767")));
    QVERIFY(sheet->Cells(1, 1).setValue(QString(32767, u'x')));
}

QTEST_GUILESS_MAIN(TestSheetModel)
#include "tst_SheetModel.moc"
