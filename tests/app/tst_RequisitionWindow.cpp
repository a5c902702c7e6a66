// The requisition form in the main window: materials picked in the code builder from the corpus coding
// workbook, filled with the frame's buttons, a second form, the finish, the fit option kept in Tavlo.ini,
// the shutdown finishing an open form, the form and a batch result brought back after the program was
// told to end, and the panel's place in the window with a batch the program's end stops.
#include "app/FrmMain.h"
#include "app/FrmRecover.h"
#include "app/OfficeWindows.h"
#include "common/RecoveryKeeper.h"
#include "common/modOffice.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/IniFile.h"
#include "requisition/BatchCoder.h"
#include "requisition/CodeBuilder.h"
#include "requisition/RequisitionForm.h"
#include "requisition/RequisitionPanel.h"
#include "requisition/RequisitionTool.h"
#include "requisition/WordFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

namespace {
QString corpus(const char *name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + QString::fromUtf8(name);
}
// Lingers with the windows on screen when asked, so a person can look at them.
void lookAt() {
    const int ms = qEnvironmentVariableIntValue("TAVLO_LOOK_MS");
    if (ms > 0)
        QTest::qWait(ms);
}
} // namespace

class TestRequisitionWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installOfficeWindows(); }
    void twoFormsFromTheCodeBuilder();
    void shutdownFinishesTheForm();
    void formAndBatchResultComeBackAfterTermination();
    void panelSitsInTheMainWindow();
};

void TestRequisitionWindow::twoFormsFromTheCodeBuilder() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    const QString ini = home.filePath(QStringLiteral("Tavlo.ini"));
    {
        FrmMain window(ini);
        window.show();
        window.ShowPanel(4);
        WordFrame *frame = &window.requisition()->frame();
        QVERIFY(frame && frame->parent() == window.fraMain[4]);
        QCOMPARE(frame->title(), QStringLiteral("生成申请单"));
        QCOMPARE(window.requisition()->panel().fraWord, frame);
        for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(frame->rect().contains(child->geometry()), qPrintable(child->objectName()));
        // Nothing to fill without a data source.
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        QVERIFY(!window.officeSlots.word().application);

        window.requisition()->builder().openDataSource(corpus("coding-workbook.xlsx"));
        QVERIFY(window.requisition()->builder().DataSourceValid());
        frame->txtProjectName->setText(QStringLiteral("净水厂扩建工程"));
        lookAt();
        RequisitionPanel *panel = &window.requisition()->panel();
        QComboBox *names = panel->comName;
        QComboBox *first = panel->comParameter[1];
        QVERIFY(names->count() >= 1 && first->count() >= 2);
        QStringList codes;
        auto fill = [&](int name, int parameter) {
            window.requisition()->builder().selectItem(names, name % names->count());
            window.requisition()->builder().selectItem(first, parameter % first->count());
            codes.append(panel->txtCode->text());
            QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        };
        fill(0, 0);
        fill(0, 1);
        fill(0, 0); // the first material again
        fill(1, 0);
        fill(1, 1);
        Document *d = window.officeSlots.word().document;
        QVERIFY(d && d->window() && d->window()->isVisible());
        RequisitionForm *form = &window.requisition()->form();
        const int firstLines = form->tableRowCount() - 1;
        QVERIFY(firstLines >= 3);
        QCOMPARE(form->GetTableCell(2, 2), codes[0]);
        QCOMPARE(form->GetTableCell(2, 6), QStringLiteral("2"));
        QCOMPARE(form->GetTableCell(2, 5).isEmpty(), false);

        frame->chkNewTable->setChecked(true);
        fill(0, 0);
        fill(0, 1);
        QCOMPARE(d->TablesCount(), 2);
        QCOMPARE(form->tableRowCount(), 3);
        QCOMPARE(d->pageOfRow(d->Tables(2), 1), 2);
        frame->optBehavior[2]->setChecked(true);
        QTest::mouseClick(frame->cmdFinish, Qt::LeftButton);
        QVERIFY(!window.officeSlots.word().application);
        QVERIFY(!window.officeSlots.excel(1)->application);
        QVERIFY(d->isAlive());
        QCOMPARE(d->pageCount(), 2);
        QCOMPARE(d->pageSetup().orientation, PageSetup::Landscape);
        // Fitted to the page's width, padded to its end.
        QVERIFY(qAbs(d->Tables(2)->width() - d->pageSetup().textWidth()) < 0.01);
        QVERIFY(d->Tables(2)->RowsCount() > 8);
        lookAt();
        d->setSaved(true);
        window.SaveSettings();
    }
    QCOMPARE(tavlo::text::IniFile::load(ini).value(QStringLiteral("PR"), QStringLiteral("Behavior")),
             QStringLiteral("2"));
    FrmMain again(ini);
    again.Form_Load();
    QVERIFY(again.requisition()->frame().optBehavior[2]->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestRequisitionWindow::shutdownFinishesTheForm() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    FrmMain window(home.filePath(QStringLiteral("Tavlo.ini")));
    window.requisition()->builder().openDataSource(corpus("coding-workbook.xlsx"));
    QTest::mouseClick(window.requisition()->frame().cmdFill, Qt::LeftButton);
    QPointer<Document> d = window.officeSlots.word().document.data();
    QVERIFY(d);
    const int rows = d->Tables(1)->RowsCount();
    int rowsAtClose = 0;
    connect(d, &Document::closed, this, [&] { rowsAtClose = d->Tables(1)->RowsCount(); });
    d->setSaved(true);
    window.terminate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!d);
    QVERIFY(Application::instances().isEmpty());
    // Padded to the page end before the program let go of it.
    QVERIFY(rowsAtClose > rows);
}

// Two fills of the same material and a batch result, never saved; the program is told to end (as SIGTERM
// or a logout does). The next start offers both; "打开" brings them back as they were, still unsaved, and
// saving the form removes its copy.
void TestRequisitionWindow::formAndBatchResultComeBackAfterTermination() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    const QString ini = home.filePath(QStringLiteral("Tavlo.ini"));
    const QDir recovery(home.filePath(QStringLiteral("Recovery")));
    QString code;
    QString resultName;
    QList<QStringList> resultRows;
    {
        FrmMain window(ini);
        window.Form_Load();
        window.requisition()->builder().openDataSource(corpus("coding-workbook.xlsx"));
        QVERIFY(window.requisition()->builder().DataSourceValid());
        QTest::mouseClick(window.requisition()->frame().cmdFill, Qt::LeftButton);
        QTest::mouseClick(window.requisition()->frame().cmdFill, Qt::LeftButton);
        code = window.requisition()->panel().txtCode->text();
        QCOMPARE(window.requisition()->form().GetTableCell(2, 6), QStringLiteral("2"));
        window.requisition()->panel().optName->setChecked(true);
        QTest::mouseClick(window.requisition()->panel().cmdBatch, Qt::LeftButton);
        tavlo::sheet::Workbook *result = window.requisition()->batch().lastOutput();
        QVERIFY(result && !result->Saved());
        resultName = result->Name();
        const tavlo::sheet::Worksheet *sheet = result->Sheets(1);
        const int lastRow = sheet->UsedRange().lastRow();
        QVERIFY(lastRow >= 4);
        for (int row = 1; row <= lastRow; ++row) {
            QStringList cells;
            for (int column = 1; column <= 8; ++column)
                cells << sheet->value(row, column);
            resultRows << cells;
        }
        QVERIFY(recovery.entryList({QStringLiteral("*.json")}, QDir::Files).isEmpty());
        window.terminate();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(Application::instances().isEmpty());
    QCOMPARE(recovery.entryList({QStringLiteral("*.json")}, QDir::Files).size(), 2);

    FrmMain again(ini);
    again.show();
    again.Form_Load();
    QPointer<FrmRecover> dialog;
    QTRY_VERIFY((dialog = again.findChild<FrmRecover *>()) && dialog->isVisible());
    QCOMPARE(dialog->lstCopies->count(), 2);
    QVERIFY(again.LabTip[1]->text().contains(resultName));
    lookAt();
    QTest::mouseClick(dialog->cmdOpen, Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QCOMPARE(again.LabTip[1]->text(), QStringLiteral("已打开 2 个恢复的文件"));

    QCOMPARE(Application::instances().size(), 1);
    Document *form = Application::instances().first()->documentList().value(0);
    QVERIFY(form && !form->Saved() && form->window()->isVisible());
    const Table *table = form->Tables(form->TablesCount());
    QCOMPARE(table->cellText(2, 2), code);
    QCOMPARE(table->cellText(2, 6), QStringLiteral("2"));
    QCOMPARE(form->pageSetup().orientation, PageSetup::Landscape);

    tavlo::sheet::Workbook *book = nullptr;
    for (tavlo::sheet::Application *app : tavlo::sheet::Application::instances())
        for (tavlo::sheet::Workbook *open : app->workbookList())
            if (open->Name() == resultName)
                book = open;
    QVERIFY(book && !book->Saved());
    for (int row = 1; row <= resultRows.size(); ++row)
        for (int column = 1; column <= 8; ++column)
            QCOMPARE(book->Sheets(1)->value(row, column), resultRows[row - 1][column - 1]);
    lookAt();

    QVERIFY(form->SaveAs(home.filePath(QStringLiteral("申请单.docx"))));
    QCOMPARE(recovery.entryList({QStringLiteral("*.json")}, QDir::Files).size(), 1);
    again.terminate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestRequisitionWindow::panelSitsInTheMainWindow() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    FrmMain window(home.filePath(QStringLiteral("Tavlo.ini")));
    window.ShowPanel(4);
    QCOMPARE(window.currentPanel(), 4);
    QCOMPARE(window.fraMain[4]->title(), QStringLiteral("采购申请单"));
    RequisitionPanel *panel = &window.requisition()->panel();
    QVERIFY(panel && panel->fraCode->parent() == window.fraMain[4]);
    QCOMPARE(panel->fraCode->title(), QStringLiteral("物料编码"));
    QCOMPARE(panel->fraBatch->title(), QStringLiteral("批量编码"));
    QCOMPARE(panel->cmdData->text(), QStringLiteral("选择数据源"));
    QCOMPARE(panel->lblDATA->text(), QStringLiteral("数据源"));
    const QStringList captions{"参数一", "参数二", "参数三", "参数四", "参数五"};
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(panel->lblParameter[i]->text(), captions[i - 1]);
    QCOMPARE(panel->lblScope->text(), QStringLiteral("编码范围："));
    QCOMPARE(panel->optName->text(), QStringLiteral("当前物料名称"));
    QCOMPARE(panel->optCate->text(), QStringLiteral("当前物料分类"));
    QCOMPARE(panel->optAll->text(), QStringLiteral("全部物料"));
    QCOMPARE(panel->cmdBatch->text(), QStringLiteral("开始"));
    // Every control lies inside its frame, and the frames inside the panel.
    for (QGroupBox *frame : {panel->fraCode, panel->fraBatch}) {
        QVERIFY(window.fraMain[4]->rect().contains(frame->geometry()));
        for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(frame->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }
    QVERIFY(!panel->fraCode->geometry().intersects(RequisitionPanel::kWordFrame));
    QVERIFY(!panel->fraBatch->geometry().intersects(RequisitionPanel::kWordFrame));

    // The choice of file goes through the builder; here a data source loaded by hand.
    window.requisition()->builder().openDataSource(corpus("coding-workbook.xlsx"));
    QCOMPARE(panel->txtCode->text(), QStringLiteral("0101010101010000"));
    QVERIFY(window.LabTip[1]->text().contains("coding-workbook.xlsx"));

    // The program ends in the middle of a batch: the spreadsheet goes, the batch stops at once.
    panel->optAll->setChecked(true);
    connect(&window.requisition()->batch(), &BatchCoder::rowWritten, &window, [&](int row) {
        if (row == 5)
            window.terminate();
    });
    panel->cmdBatch->click();
    QCOMPARE(window.requisition()->batch().rowsWritten(), 3);
    QVERIFY(!window.requisition()->batch().lastOutput());
    QVERIFY(!window.officeSlots.excel(1)->application);
    QVERIFY(window.LabTip[1]->text().contains("已写入 3 行"));
}

QTEST_MAIN(TestRequisitionWindow)
#include "tst_RequisitionWindow.moc"
