// The spreadsheet slots as the tools use them, and the watch that frees slots of closed workbooks.
#include "common/modOffice.h"

#include "platform/document/DocumentWindow.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/SheetWindow.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::sheet;

namespace {
const QString kCodingWorkbook = QStringLiteral(TAVLO_CORPUS_DIR "/sheets/coding-workbook.xlsx");

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestModOffice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void columnNumber_data();
    void columnNumber();
    void attachNewOrRunningInstance();
    void attachNeverHidesAnInstanceItDidNotStart();
    void closeHiddenWorkbookQuitsItsInstance();
    void closeLeavesVisibleWorkbookToTheUser();
    void closeKeepsAnInstanceAnotherSlotUses();
    void aliveAndDead();
    void countsAlongRowsAndDownColumns();
    void lastUsedRow();
    void watchReleasesSlotWhoseWindowTheUserClosed();
    void watchKeepsLiveSlotsAndStopsWhenNoneIsAlive();
    void recordWorkbookRoundTripThroughASlot();
    void releaseAllEndsEveryInstance();

private:
    OfficeSlots m_slots;
    QTemporaryDir m_dir;
};

void TestModOffice::initTestCase() {
    tavlo::sheet::installSheetWindows();
    tavlo::document::installDocumentWindows();
}

void TestModOffice::cleanup() {
    m_slots.ReleaseAll();
    flushDeletes();
    QVERIFY(Application::instances().isEmpty());
}

void TestModOffice::columnNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("A") << "A" << 1;
    QTest::newRow("iv") << "iv" << 256;
    QTest::newRow("IW") << "IW" << 257; // beyond IV: callers check 1..256
    QTest::newRow("12") << "12" << 12;
    QTest::newRow("1.5") << "1.5" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("three letters") << "ABC" << 0;
    QTest::newRow("letter and digit") << "A1" << 0;
    QTest::newRow("Chinese") << "列" << 0;
    QTest::newRow("whole with point") << "3.0" << 3;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("too large") << "99999999999" << 0;
}

void TestModOffice::columnNumber() {
    QFETCH(QString, text);
    QFETCH(int, number);
    QCOMPARE(OfficeSlots::ColumnNumber(text), number);
}

void TestModOffice::attachNewOrRunningInstance() {
    m_slots.AttachExcel(OfficeSlots::CodingDataSource, false, true);
    Application *first = m_slots.excel(1)->application;
    QVERIFY(first);
    QVERIFY(!first->Visible());
    m_slots.AttachExcel(OfficeSlots::RecordEntry, false, false);
    QCOMPARE(m_slots.excel(2)->application.data(), first); // attached to the running one
    m_slots.AttachExcel(OfficeSlots::TextExtraction, true, true);
    QVERIFY(m_slots.excel(6)->application.data() != first);
    QVERIFY(m_slots.excel(6)->application->Visible());
    m_slots.AttachExcel(OfficeSlots::TextExtraction, true, true); // a filled slot stays as it is
    QCOMPARE(Application::instances().size(), 2);
    m_slots.AttachExcel(0, true, true);
    m_slots.AttachExcel(8, true, true);
    QCOMPARE(m_slots.excel(8), nullptr);
    QCOMPARE(Application::instances().size(), 2);
}

void TestModOffice::attachNeverHidesAnInstanceItDidNotStart() {
    m_slots.AttachExcel(OfficeSlots::QueryDisplay, true, true);
    Application *visible = m_slots.excel(4)->application;
    m_slots.AttachExcel(OfficeSlots::RecordEntry, false, false);
    QCOMPARE(m_slots.excel(2)->application.data(), visible);
    QVERIFY(visible->Visible());
    // A slot whose instance died is empty again: attaching starts afresh.
    visible->Quit();
    flushDeletes();
    m_slots.AttachExcel(OfficeSlots::QueryDisplay, false, true);
    QVERIFY(m_slots.excel(4)->application);
    QVERIFY(m_slots.excel(4)->application->isAlive());
}

void TestModOffice::closeHiddenWorkbookQuitsItsInstance() {
    m_slots.AttachExcel(1, false, true);
    ExcelSlot *slot = m_slots.excel(1);
    slot->workbook = slot->application->Workbooks().Open(kCodingWorkbook);
    QVERIFY(slot->workbook);
    QPointer<Application> app = slot->application;
    QPointer<Workbook> book = slot->workbook;
    m_slots.CloseExcel(1);
    QVERIFY(!book->isAlive());
    QVERIFY(!app->isAlive());
    QVERIFY(!slot->application && !slot->workbook && !slot->worksheet);
    flushDeletes();
    QVERIFY(app.isNull());
}

void TestModOffice::closeLeavesVisibleWorkbookToTheUser() {
    m_slots.AttachExcel(6, true, true);
    ExcelSlot *slot = m_slots.excel(6);
    QPointer<Workbook> book = slot->application->Workbooks().Add();
    slot->workbook = book;
    QPointer<Application> app = slot->application;
    m_slots.CloseExcel(6);
    QVERIFY(book->isAlive());
    QVERIFY(app->isAlive());
    QVERIFY(!slot->application);
}

void TestModOffice::closeKeepsAnInstanceAnotherSlotUses() {
    m_slots.AttachExcel(2, false, true);
    m_slots.AttachExcel(3, false, false);
    QPointer<Application> shared = m_slots.excel(2)->application;
    QCOMPARE(m_slots.excel(3)->application.data(), shared.data());
    m_slots.CloseExcel(2);
    QVERIFY(shared->isAlive());
    m_slots.excel(3)->workbook = m_slots.excel(3)->application->Workbooks().Open(kCodingWorkbook);
    QVERIFY(m_slots.excel(3)->workbook);
    m_slots.CloseExcel(3);
    QVERIFY(!shared->isAlive());
}

void TestModOffice::aliveAndDead() {
    QVERIFY(!m_slots.WorkbookAlive(1));
    QVERIFY(!m_slots.WorkbookAlive(99));
    m_slots.AttachExcel(1, false, true);
    QVERIFY(!m_slots.WorkbookAlive(1)); // no workbook yet
    ExcelSlot *slot = m_slots.excel(1);
    slot->workbook = slot->application->Workbooks().Add();
    slot->worksheet = slot->workbook->Sheets(1);
    QVERIFY(m_slots.WorkbookAlive(1));
    QVERIFY(!OfficeSlots::ObjectDead(slot->workbook));
    QVERIFY(!OfficeSlots::ObjectDead(slot->worksheet));
    QVERIFY(OfficeSlots::ObjectDead(static_cast<Workbook *>(nullptr)));
    slot->workbook->Close();
    QVERIFY(!m_slots.WorkbookAlive(1));
    QVERIFY(OfficeSlots::ObjectDead(slot->workbook));
    QVERIFY(OfficeSlots::ObjectDead(slot->worksheet));
    QVERIFY(!OfficeSlots::ObjectDead(slot->application));
}

void TestModOffice::countsAlongRowsAndDownColumns() {
    QCOMPARE(m_slots.CountAlongRow(1, 2, 1), 0); // no workbook
    m_slots.AttachExcel(1, false, true);
    ExcelSlot *slot = m_slots.excel(1);
    slot->workbook = slot->application->Workbooks().Open(kCodingWorkbook);
    QVERIFY(slot->workbook);
    QCOMPARE(m_slots.CountAlongRow(1, 2, 1), 4);   // four category headers
    QCOMPARE(m_slots.CountDownColumn(1, 2, 1), 4); // header and three names
    QCOMPARE(m_slots.CountDownColumn(1, 2, 3), 1); // header only
    QCOMPARE(m_slots.CountDownColumn(1, 3, 2), 4);
    QCOMPARE(m_slots.CountAlongRow(1, 9, 1), 0); // no such sheet
    // A cell of blanks ends the count; a cell with a tab does not.
    Worksheet *sheet = slot->workbook->Sheets(2);
    QVERIFY(sheet->Cells(1, 5).setValue(QStringLiteral("   ")));
    QVERIFY(sheet->Cells(1, 6).setValue(QStringLiteral("0105-x")));
    QCOMPARE(m_slots.CountAlongRow(1, 2, 1), 4);
    QVERIFY(sheet->Cells(1, 5).setValue(QStringLiteral("\t")));
    QCOMPARE(m_slots.CountAlongRow(1, 2, 1), 6);
}

void TestModOffice::lastUsedRow() {
    QCOMPARE(m_slots.LastUsedRow(6), -1);
    m_slots.AttachExcel(6, false, true);
    ExcelSlot *slot = m_slots.excel(6);
    slot->workbook = slot->application->Workbooks().Add();
    QCOMPARE(m_slots.LastUsedRow(6), -1); // no worksheet in the slot
    slot->worksheet = slot->workbook->Sheets(1);
    QCOMPARE(m_slots.LastUsedRow(6), 1); // an empty sheet reports row 1
    QVERIFY(slot->worksheet->Columns(1, 3).setNumberFormatLocal(QStringLiteral("@")));
    QCOMPARE(m_slots.LastUsedRow(6), 1);
    QVERIFY(slot->worksheet->Cells(5, 2).setValue(QStringLiteral("2F")));
    QCOMPARE(m_slots.LastUsedRow(6), 5);
    slot->workbook->Close();
    QCOMPARE(m_slots.LastUsedRow(6), -1);
    QCOMPARE(m_slots.LastUsedRow(0), -1);
}

void TestModOffice::watchReleasesSlotWhoseWindowTheUserClosed() {
    QVERIFY(!m_slots.tmrExcel.isActive());
    QCOMPARE(m_slots.tmrExcel.interval(), 500);
    m_slots.AttachExcel(OfficeSlots::Manuscript, true, true);
    ExcelSlot *slot = m_slots.excel(7);
    slot->workbook =
        slot->application->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/manuscript.xlsx"));
    QVERIFY(slot->workbook);
    slot->worksheet = slot->workbook->ActiveSheet();
    // Opening a workbook through a slot's instance starts the watch.
    QVERIFY(m_slots.tmrExcel.isActive());
    QWidget *window = slot->workbook->window();
    QVERIFY(window && window->isVisible());
    QPointer<Application> app = slot->application;
    int ticks = 0;
    QObject watching;
    connect(&m_slots.tmrExcel, &QTimer::timeout, &watching, [&ticks] { ++ticks; });
    QTRY_VERIFY(ticks > 0);
    QVERIFY(slot->application); // alive workbooks are left alone
    window->close();            // the user closes the window
    QTRY_VERIFY_WITH_TIMEOUT(!slot->application && !slot->workbook, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_slots.tmrExcel.isActive(), 2000);
    QTRY_VERIFY(app.isNull()); // its last workbook gone, the instance quit
}

void TestModOffice::watchKeepsLiveSlotsAndStopsWhenNoneIsAlive() {
    m_slots.AttachExcel(1, false, true);
    ExcelSlot *hidden = m_slots.excel(1);
    hidden->workbook = hidden->application->Workbooks().Open(kCodingWorkbook);
    m_slots.AttachExcel(4, true, true);
    ExcelSlot *display = m_slots.excel(4);
    display->workbook = display->application->Workbooks().Add();
    QVERIFY(m_slots.tmrExcel.isActive());
    display->workbook->Close();
    m_slots.tmrExcel_Timer();
    QVERIFY(!display->application);
    QVERIFY(hidden->workbook);
    QVERIFY(m_slots.tmrExcel.isActive());
    m_slots.CloseExcel(1);
    m_slots.tmrExcel_Timer();
    QVERIFY(!m_slots.tmrExcel.isActive());
}

// The record workbook as record entry keeps it: header once, every field as text, one row per record.
void TestModOffice::recordWorkbookRoundTripThroughASlot() {
    const QString mis = m_dir.filePath(QStringLiteral("MIS.xls"));
    for (const QString &record :
         {QStringLiteral("离心泵|清水泵|DN50|0012"), QStringLiteral("球阀||PN16|12500.5")}) {
        m_slots.AttachExcel(OfficeSlots::RecordEntry, false, false);
        ExcelSlot *slot = m_slots.excel(2);
        QVERIFY(slot->application);
        slot->application->setDisplayAlerts(false);
        if (QFile::exists(mis)) {
            slot->workbook = slot->application->Workbooks().Open(mis);
            QVERIFY(slot->workbook);
            slot->workbook->setSaved(true);
            slot->worksheet = slot->workbook->Sheets(1);
        } else {
            slot->workbook = slot->application->Workbooks().Add();
            slot->worksheet = slot->workbook->Sheets(1);
            for (int c = 1; c <= 4; ++c)
                QVERIFY(slot->worksheet->Cells(1, c).setValue(QStringLiteral("属性%1").arg(c)));
        }
        const int row = m_slots.LastUsedRow(2) + 1;
        const QStringList fields = record.split(u'|');
        for (int k = 0; k < fields.size(); ++k) {
            QVERIFY(slot->worksheet->Cells(row, k + 1).setNumberFormatLocal(QStringLiteral("@")));
            QVERIFY(slot->worksheet->Cells(row, k + 1).setValue(fields[k]));
        }
        QVERIFY(slot->workbook->SaveAs(mis));
        slot->workbook->Close();
        m_slots.CloseExcel(2);
        flushDeletes();
        QVERIFY(Application::instances().isEmpty());
    }
    m_slots.AttachExcel(5, false, true);
    ExcelSlot *upload = m_slots.excel(5);
    upload->workbook = upload->application->Workbooks().Open(mis);
    upload->worksheet = upload->workbook->Sheets(1);
    QCOMPARE(m_slots.LastUsedRow(5), 3);
    QCOMPARE(upload->worksheet->Cells(1, 1).Value(), QStringLiteral("属性1"));
    QCOMPARE(upload->worksheet->Cells(2, 4).Value(), QStringLiteral("0012"));
    QCOMPARE(upload->worksheet->Cells(3, 2).Value(), QString());
    QCOMPARE(upload->worksheet->Cells(3, 2).NumberFormatLocal(), QStringLiteral("@"));
    QCOMPARE(upload->worksheet->Cells(3, 4).Value(), QStringLiteral("12500.5"));
    QVERIFY(!upload->worksheet->isNumber(3, 4));
}

void TestModOffice::releaseAllEndsEveryInstance() {
    m_slots.AttachExcel(1, false, true);
    m_slots.excel(1)->workbook = m_slots.excel(1)->application->Workbooks().Open(kCodingWorkbook);
    m_slots.AttachExcel(6, true, true);
    QPointer<Workbook> shown = m_slots.excel(6)->application->Workbooks().Add();
    QPointer<QWidget> window = shown->window();
    QVERIFY(m_slots.tmrExcel.isActive());
    m_slots.ReleaseAll();
    QVERIFY(!m_slots.tmrExcel.isActive());
    for (int s = 1; s <= OfficeSlots::kExcelSlotCount; ++s)
        QVERIFY(!m_slots.excel(s)->application && !m_slots.excel(s)->workbook);
    QVERIFY(Application::instances().isEmpty());
    QVERIFY(shown.isNull());
    QVERIFY(window.isNull());
}

QTEST_MAIN(TestModOffice)
#include "tst_modOffice.moc"
