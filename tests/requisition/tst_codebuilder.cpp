#include "RequisitionRig.h"
#include "TestFiles.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using tavlo::sheet::Application;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + name;
}

const std::array<QStringList, 5> kSingleValues{QStringList{"01-a"}, {"01-b"}, {"01-c"}, {"00-无"}, {"00-无"}};

} // namespace

class TestCodeBuilder : public QObject {
    Q_OBJECT

private slots:
    void corpusWorkbookFeedsTheLists_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << corpus("coding-workbook.xlsx");
        QTest::newRow("xls") << corpus("coding-workbook.xls");
    }
    void corpusWorkbookFeedsTheLists() {
        QFETCH(QString, file);
        const QByteArray before = TestFiles::read(file);
        QVERIFY(!before.isEmpty());
        Rig rig;
        rig.open(file);
        QCOMPARE(rig.dialogs, 1);
        QVERIFY(rig.tip.contains(QFileInfo(file).fileName()));
        QCOMPARE(Rig::items(rig.panel.comCategory),
                 QStringList({"0101-泵类", "0102-阀门", "0203-电缆", "0104-仪表"}));
        QCOMPARE(rig.panel.comCategory->currentText(), QStringLiteral("0101-泵类"));
        QCOMPARE(Rig::items(rig.panel.comName), QStringList({"01-离心泵", "02-计量泵", "03-潜水泵"}));
        QCOMPARE(rig.parameterItems(1), QStringList({"01-DN50", "02-DN80"}));
        QCOMPARE(rig.parameterItems(2), QStringList({"01-铸铁", "02-不锈钢"}));
        QCOMPARE(rig.code(), QStringLiteral("0101010101010000"));
        QVERIFY(rig.builder.CodeValid());
        QVERIFY(rig.builder.DataSourceValid());
        QCOMPARE(rig.builder.materialSpecText(), QStringLiteral("DN50 铸铁 380V "));

        // The user walks the lists: each choice reloads the lists below it and recomposes the code.
        rig.panel.comCategory->setCurrentIndex(1);
        QCOMPARE(Rig::items(rig.panel.comName), QStringList({"01-闸阀", "02-球阀"}));
        QCOMPARE(rig.parameterItems(1), QStringList({"01-PN16", "02-PN25", "03-PN40"}));
        QCOMPARE(rig.parameterItems(3), QStringList({"01-手动", "02-电动"}));
        rig.panel.comName->setCurrentIndex(1);
        rig.panel.comParameter[1]->setCurrentIndex(2);
        rig.panel.comParameter[3]->setCurrentIndex(1);
        QCOMPARE(rig.code(), QStringLiteral("0102020300020000"));
        QCOMPARE(rig.builder.materialSpecText(), QStringLiteral("PN40 电动 "));

        // A names column holding only its header gives the one synthesized name.
        rig.panel.comCategory->setCurrentIndex(2);
        QCOMPARE(Rig::items(rig.panel.comName), QStringList({"01-电缆"}));
        QCOMPARE(rig.parameterItems(1), QStringList({"01-3x2.5"}));
        QCOMPARE(rig.code(), QStringLiteral("0203010101000000"));

        // A list left empty makes the code shorter, and not valid.
        rig.panel.comParameter[5]->clear();
        QCOMPARE(rig.code(), QStringLiteral("02030101010000"));
        QVERIFY(!rig.builder.CodeValid());
        QVERIFY(!rig.builder.DataSourceValid());

        // The workbook is held hidden, marked saved, and never written.
        const ExcelSlot *slot = rig.office.excel(1);
        QVERIFY(slot->workbook && slot->workbook->Saved());
        QVERIFY(!slot->application->Visible());
        QVERIFY(rig.office.tmrExcel.isActive());
        rig.builder.ResetCodeBuilder();
        QVERIFY(!slot->application && !slot->workbook);
        QCOMPARE(rig.panel.comCategory->count(), 0);
        QVERIFY(rig.code().isEmpty());
        QCOMPARE(TestFiles::read(file), before);
    }

    void cancellingTheDialogKeepsTheSource() {
        Rig rig;
        rig.open(corpus("coding-workbook.xlsx"));
        rig.open(QString());
        QCOMPARE(rig.panel.comCategory->count(), 4);
        QVERIFY(rig.builder.sourceAlive());
    }

    void nameKeyedParameterSheets() {
        QTemporaryDir dir;
        const QString path = dir.filePath("name-keyed.xlsx");
        QList<SheetContent> sheets{
            {"说明", {{"notes"}}},
            {"分类", {{"0101-泵类", "01-离心泵", "02-计量泵"}, {"0102-阀门", "01-闸阀"}}}};
        // Headers name a material; their codes differ from the names' codes, only the text matters.
        for (int i = 1; i <= 5; ++i)
            sheets.append(
                {QStringLiteral("参数%1").arg(i),
                 {{"99-计量泵", QStringLiteral("0%1-p%1").arg(i)},
                  {" 07-离心泵 ", QStringLiteral("01-q%1").arg(i), QStringLiteral("02-r%1").arg(i)}}});
        QVERIFY(writeWorkbook(path, sheets));
        Rig rig;
        rig.open(path);
        QCOMPARE(rig.parameterItems(1), QStringList({"01-q1", "02-r1"}));
        QCOMPARE(rig.code(), QStringLiteral("0101010101010101"));
        rig.panel.comName->setCurrentIndex(1);
        QCOMPARE(rig.parameterItems(4), QStringList({"04-p4"}));
        QCOMPARE(rig.code(), QStringLiteral("0101020102030405"));
        // 闸阀 has no column in the parameter sheets: the workbook does not fit the builder.
        rig.panel.comCategory->setCurrentIndex(1);
        QCOMPARE(rig.code(), CodeBuilder::invalidSourceText());
        QCOMPARE(rig.panel.comCategory->count(), 0);
        QVERIFY(!rig.builder.sourceAlive());
    }

    void unusableWorkbooksAreReportedNotFollowed_data() {
        QTest::addColumn<QList<SheetContent>>("sheets");
        const SheetContent notes{"说明", {{"notes"}}};
        const SheetContent names{"分类", {{"0101-泵类", "01-离心泵"}}};
        auto parameters = [](int count, const QString &header) {
            QList<SheetContent> sheets;
            for (int i = 1; i <= count; ++i)
                sheets.append({QStringLiteral("参数%1").arg(i), {{header, "01-a"}}});
            return sheets;
        };
        QTest::newRow("parameter sheet missing")
            << (QList<SheetContent>{notes, names} + parameters(4, "0101-泵类"));
        QTest::newRow("no header matches")
            << (QList<SheetContent>{notes, names} + parameters(5, "0101-泵类").mid(0, 2) +
                parameters(5, "0101-阀门").mid(2));
        QTest::newRow("names column beyond the sheet")
            << (QList<SheetContent>{notes, {"分类", {{"0109-泵类", "01-离心泵"}}}} +
                parameters(5, "0109-泵类"));
        QTest::newRow("column characters not digits")
            << (QList<SheetContent>{notes, {"分类", {{"01AB-泵类", "01-离心泵"}}}} +
                parameters(5, "01AB-泵类"));
        QTest::newRow("name code not letters and digits")
            << (QList<SheetContent>{notes, {"分类", {{"0101-泵类", "0-离心泵"}}}} +
                parameters(5, "0101-泵类"));
        QTest::newRow("parameter column header only")
            << (QList<SheetContent>{notes, names} + parameters(4, "0101-泵类") +
                QList<SheetContent>{{"参数5", {{"0101-泵类"}}}});
        QTest::newRow("no categories") << QList<SheetContent>{notes, {"分类", {}}};
        QTest::newRow("only one sheet") << QList<SheetContent>{notes};
    }
    void unusableWorkbooksAreReportedNotFollowed() {
        QFETCH(QList<SheetContent>, sheets);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.xlsx");
        QVERIFY(writeWorkbook(path, sheets));
        Rig rig;
        rig.open(path);
        QCOMPARE(rig.panel.comCategory->count(), 0);
        QCOMPARE(rig.code(), CodeBuilder::invalidSourceText());
        QVERIFY(!rig.builder.DataSourceValid());
    }

    void damagedFilesAreReported_data() {
        QTest::addColumn<QString>("file");
        for (const char *name :
             {"damaged-truncated.xlsx", "damaged-notazip.xlsx", "damaged-badxml.xlsx", "damaged-garbled.xls"})
            QTest::newRow(name) << corpus(name);
    }
    void damagedFilesAreReported() {
        QFETCH(QString, file);
        Rig rig;
        rig.open(file);
        QCOMPARE(rig.code(), CodeBuilder::invalidSourceText());
        QCOMPARE(rig.panel.comCategory->count(), 0);
        QVERIFY(!rig.builder.sourceAlive());
        QVERIFY(rig.tip.contains(QFileInfo(file).fileName()));
    }

    void aClosedWorkbookLeavesTheListsAlone() {
        Rig rig;
        rig.open(corpus("coding-workbook.xlsx"));
        rig.office.excel(1)->workbook->Close();
        rig.panel.comCategory->setCurrentIndex(1);
        QCOMPARE(Rig::items(rig.panel.comName), QStringList({"01-离心泵", "02-计量泵", "03-潜水泵"}));
        QCOMPARE(rig.code(), QStringLiteral("0101010101010000"));
        // The watch then releases the slot.
        rig.office.tmrExcel_Timer();
        QVERIFY(!rig.office.excel(1)->application);
        rig.batch.cmdBatch_Click();
        QCOMPARE(rig.batch.rowsWritten(), 0);
        QVERIFY(!rig.batch.lastOutput());
    }
};

QTEST_MAIN(TestCodeBuilder)
#include "tst_codebuilder.moc"
