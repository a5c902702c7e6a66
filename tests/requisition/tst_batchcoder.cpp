#include "Python.h"
#include "RequisitionRig.h"
#include "TestFiles.h"
#include "requisition/MaterialCode.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + name;
}

// Parameter lists of sizes 2, 1, 3, 1, 1; the second value of parameter 3 stands for "no value".
const std::array<QStringList, 5> kSizes21311{
    QStringList{"01-a", "02-b"}, {"01-c"}, {"01-x", "00-无", "02-y"}, {"00-无"}, {"00-无"}};

// Values "01-v" .. for parameter lists of the given sizes.
std::array<QStringList, 5> parameterLists(const std::array<int, 5> &sizes) {
    std::array<QStringList, 5> lists;
    for (int i = 0; i < 5; ++i)
        for (int v = 1; v <= sizes[size_t(i)]; ++v)
            lists[size_t(i)].append(QStringLiteral("%1-v%1").arg(v, 2, 10, QChar(u'0')));
    return lists;
}

QStringList rowOf(const Worksheet *sheet, int row) {
    QStringList cells;
    for (int column = 1; column <= 8; ++column)
        cells.append(sheet->value(row, column));
    return cells;
}

QStringList dataRow(const QString &code, const QString &name, const QString &materialSpec,
                    const QString &unit) {
    return {QString(), code, name, QString(), materialSpec, unit, QString(), QString()};
}

// The rows a reader snippet printed as one JSON array.
QJsonArray readBack(const char *script, const QString &path) {
    return QJsonDocument::fromJson(Python::run(QString::fromUtf8(script), {path})).array();
}

// A rig on a coding workbook of one category (see writeOneCategory), in a folder of its own that goes
// after the rig.
struct CodingFolder {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("coding.xlsx"));
};
struct CodingRig : CodingFolder, Rig {
    bool written;
    CodingRig(const QStringList &names, const std::array<QStringList, 5> &parameters)
        : written(writeOneCategory(path, names, parameters)) {
        open(path);
    }
};

} // namespace

class TestBatchCoder : public QObject {
    Q_OBJECT

private slots:
    void nameScopeWritesEveryCombinationInOrder() {
        QTemporaryDir dir;
        const QString path = dir.filePath("coding.xlsx");
        QVERIFY(writeOneCategory(path, {"01-离心泵"}, kSizes21311));
        const QByteArray before = TestFiles::read(path);
        Rig rig;
        rig.open(path);
        QVERIFY(rig.builder.DataSourceValid());
        QVERIFY(rig.panel.optName->isChecked());

        // While the batch runs: the button interrupts, the builder and the scope are locked, the status
        // line counts the rows against the total.
        QStringList tips;
        bool lockedWhileRunning = true;
        connect(&rig.batch, &BatchCoder::rowWritten, this, [&](int) {
            tips.append(rig.tip);
            lockedWhileRunning = lockedWhileRunning && rig.panel.cmdBatch->text() == "中断" &&
                                 rig.panel.cmdBatch->isEnabled() && !rig.panel.fraCode->isEnabled() &&
                                 !rig.panel.optName->isEnabled() && !rig.panel.optCate->isEnabled() &&
                                 !rig.panel.optAll->isEnabled();
        });
        QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
        QVERIFY(lockedWhileRunning);
        QVERIFY(!tips.isEmpty() && tips.first().contains("/ 6"));
        QCOMPARE(rig.tip, QStringLiteral("批量编码完成：共写入 6 行"));
        QCOMPARE(rig.panel.cmdBatch->text(), QStringLiteral("开始"));
        QVERIFY(rig.panel.fraCode->isEnabled() && rig.panel.optAll->isEnabled());

        Workbook *book = rig.batch.lastOutput();
        QVERIFY(book && book->isAlive());
        QVERIFY(!book->Saved());
        QVERIFY(book->application()->Visible());
        const Worksheet *sheet = book->Sheets(1);
        QCOMPARE(rowOf(sheet, 1), QStringList(8, QString()));
        QCOMPARE(rowOf(sheet, 2), BatchCoder::headerRow());
        QCOMPARE(rowOf(sheet, 2).first(),
                 QStringLiteral("material_$head,code,name,pk_marbasclass,materialspec,pk_measdoc,pk_mattaxes,"
                                "outcloselowerlimit"));
        const QList<QStringList> expected{dataRow("0101010101010000", "离心泵", "a c x ", "台"),
                                          dataRow("0101010101000000", "离心泵", "a c ", "台"),
                                          dataRow("0101010101020000", "离心泵", "a c y ", "台"),
                                          dataRow("0101010201010000", "离心泵", "b c x ", "台"),
                                          dataRow("0101010201000000", "离心泵", "b c ", "台"),
                                          dataRow("0101010201020000", "离心泵", "b c y ", "台")};
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(rowOf(sheet, 3 + i), expected[i]);
        QCOMPARE(rowOf(sheet, 9), QStringList(8, QString()));
        for (int column = 1; column <= 8; ++column)
            QCOMPARE(sheet->numberFormat(5, column), QStringLiteral("@"));
        QVERIFY(sheet->columnWidth(2) > 16);
        // The coding workbook was only read.
        QCOMPARE(TestFiles::read(path), before);
    }

    void categoryAndAllScopesOverTheCorpusWorkbook() {
        Rig rig;
        rig.open(corpus("coding-workbook.xlsx"));
        rig.panel.comCategory->setCurrentIndex(1);
        rig.panel.optCate->setChecked(true);
        QCOMPARE(rig.batch.combinationCount(BatchCoder::Scope::Category), 12);
        QCOMPARE(rig.batch.combinationCount(BatchCoder::Scope::All), 31);
        rig.panel.cmdBatch->click();
        QCOMPARE(rig.batch.rowsWritten(), 12);
        const Worksheet *category = rig.batch.lastOutput()->Sheets(1);
        QCOMPARE(rowOf(category, 3), dataRow("0102010100010000", "闸阀", "PN16 手动 ", "个"));
        QCOMPARE(rowOf(category, 14), dataRow("0102020300020000", "球阀", "PN40 电动 ", "个"));

        rig.panel.optAll->setChecked(true);
        rig.panel.cmdBatch->click();
        QCOMPARE(rig.batch.rowsWritten(), 31);
        const Worksheet *all = rig.batch.lastOutput()->Sheets(1);
        QVERIFY(all != category);
        QCOMPARE(rowOf(all, 3), dataRow("0101010101010000", "离心泵", "DN50 铸铁 380V ", "台"));
        QCOMPARE(rowOf(all, 27), dataRow("0203010101000000", "电缆", "3x2.5 铜芯 ", "m"));
        QCOMPARE(rowOf(all, 33), dataRow("0104030102000000", "液位计", "4~20mA 普通 ", "个"));
        QVERIFY(all->value(34, 2).isEmpty());
        // The option chosen stays chosen.
        QVERIFY(rig.panel.optAll->isChecked());
    }

    void interruptKeepsTheRowsWritten() {
        CodingRig rig({"01-离心泵"}, kSizes21311);
        QVERIFY(rig.written);
        // "中断" pressed while the fourth row is being written, from inside the batch's own event processing.
        connect(&rig.batch, &BatchCoder::rowWritten, this, [&](int row) {
            if (row == 4)
                QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
        });
        QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
        QCOMPARE(rig.batch.rowsWritten(), 2);
        QCOMPARE(rig.tip, QStringLiteral("批量编码已中断：已写入 2 行"));
        QCOMPARE(rig.panel.cmdBatch->text(), QStringLiteral("开始"));
        QVERIFY(rig.panel.fraCode->isEnabled() && rig.panel.optName->isEnabled());
        const Worksheet *sheet = rig.batch.lastOutput()->Sheets(1);
        QCOMPARE(rowOf(sheet, 2), BatchCoder::headerRow());
        QCOMPARE(sheet->value(3, 2), QStringLiteral("0101010101010000"));
        QCOMPARE(sheet->value(4, 2), QStringLiteral("0101010101000000"));
        QVERIFY(sheet->value(5, 2).isEmpty());
        QVERIFY(sheet->columnWidth(2) > 16);
        QVERIFY(!rig.batch.isRunning());
    }

    void batchEndsWhenAWorkbookIsClosed_data() {
        QTest::addColumn<bool>("closeSource");
        QTest::newRow("result workbook") << false;
        QTest::newRow("coding workbook") << true;
    }
    void batchEndsWhenAWorkbookIsClosed() {
        QFETCH(bool, closeSource);
        CodingRig rig({"01-离心泵"}, kSizes21311);
        QVERIFY(rig.written);
        connect(&rig.batch, &BatchCoder::rowWritten, this, [&](int row) {
            if (row == 5)
                (closeSource ? rig.office.excel(1)->workbook.data() : rig.batch.lastOutput())->Close();
        });
        rig.panel.cmdBatch->click();
        QCOMPARE(rig.batch.rowsWritten(), 3);
        QCOMPARE(rig.tip, closeSource ? QStringLiteral("批量编码未完成：已写入 3 行（数据源已关闭或无效）")
                                      : QStringLiteral("批量编码未完成：已写入 3 行（结果工作簿已关闭）"));
        QCOMPARE(rig.panel.cmdBatch->text(), QStringLiteral("开始"));
        QVERIFY(rig.panel.fraCode->isEnabled());
        if (closeSource)
            QCOMPARE(rig.batch.lastOutput()->Sheets(1)->value(5, 2), QStringLiteral("0101010101020000"));
    }

    void clicksDuringALongBatchReachIt() {
        CodingRig rig({"01-离心泵", "02-计量泵"}, parameterLists({10, 10, 10, 10, 10}));
        QVERIFY(rig.written);
        rig.panel.optAll->setChecked(true);
        // The button, pressed through the event queue while rows are written; the second press finds
        // the batch already stopping and starts nothing.
        int clicks = 0;
        connect(&rig.batch, &BatchCoder::rowWritten, this, [&](int row) {
            if (row == 1000)
                for (int i = 0; i < 2; ++i)
                    QTimer::singleShot(0, rig.panel.cmdBatch, [&] {
                        ++clicks;
                        rig.panel.cmdBatch->click();
                    });
        });
        rig.panel.cmdBatch->click();
        QVERIFY(rig.batch.rowsWritten() >= 998);
        QVERIFY(rig.batch.rowsWritten() < 200000);
        QVERIFY(rig.tip.contains("中断"));
        QTRY_COMPARE(clicks, 2);
        QVERIFY(!rig.batch.isRunning());
        QCOMPARE(rig.panel.cmdBatch->text(), QStringLiteral("开始"));
    }

    void outputSavesAsXlsxAndXls() {
        CodingRig rig({"01-离心泵"}, kSizes21311);
        QVERIFY(rig.written);
        rig.panel.cmdBatch->click();
        Workbook *book = rig.batch.lastOutput();
        QVERIFY(book->SaveAs(rig.dir.filePath("out.xlsx")));
        QVERIFY(book->SaveAs(rig.dir.filePath("out.xls")));

        if (!Python::has(QStringLiteral("openpyxl")) || !Python::has(QStringLiteral("xlrd")))
            QSKIP("python3-openpyxl or python3-xlrd is not installed");
        const QJsonArray xlsx = readBack(R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps([[c.value or "", c.number_format] for r in ws.iter_rows(min_row=2, max_row=8, max_col=8) for c in r]))
)",
                                         rig.dir.filePath("out.xlsx"));
        const QJsonArray xls = readBack(R"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s = book.sheet_by_index(0)
def fmt(r, c):
    return book.format_map[book.xf_list[s.cell_xf_index(r, c)].format_key].format_str
print(json.dumps([[s.cell_value(r, c), fmt(r, c)] for r in range(1, 8) for c in range(8)]))
)",
                                        rig.dir.filePath("out.xls"));
        QCOMPARE(xlsx.size(), 7 * 8);
        QCOMPARE(xls.size(), 7 * 8);
        // Same values in both files, and every cell with a value formatted as text (empty cells exist in
        // an .xlsx file only where they carry a format of their own).
        for (int i = 0; i < xlsx.size(); ++i) {
            const QJsonArray a = xlsx[i].toArray(), b = xls[i].toArray();
            QCOMPARE(a[0], b[0]);
            if (!a[0].toString().isEmpty()) {
                QCOMPARE(a[1].toString(), QStringLiteral("@"));
                QCOMPARE(b[1].toString(), QStringLiteral("@"));
            }
        }
        const QStringList header = BatchCoder::headerRow();
        for (int c = 0; c < 8; ++c)
            QCOMPARE(xlsx[c].toArray()[0].toString(), header[c]);
        QCOMPARE(xlsx[8 + 1].toArray()[0].toString(), QStringLiteral("0101010101010000"));
        QCOMPARE(xlsx[8 + 1].toArray()[1].toString(), QStringLiteral("@"));
        QCOMPARE(xlsx[6 * 8 + 4].toArray()[0].toString(), QStringLiteral("b c y "));
        QCOMPARE(xlsx[6 * 8 + 5].toArray()[0].toString(), QStringLiteral("台"));
    }

    void moreRowsThanAnXlsSheetHoldsSaveAsXlsx() {
        CodingRig rig({"01-离心泵"}, parameterLists({10, 10, 10, 10, 7}));
        QVERIFY(rig.written);
        rig.panel.cmdBatch->click();
        QCOMPARE(rig.batch.rowsWritten(), 70000);
        Workbook *book = rig.batch.lastOutput();
        QVERIFY(!book->SaveAs(rig.dir.filePath("big.xls")));
        QVERIFY(book->lastError().contains("65"));
        QVERIFY(!QFile::exists(rig.dir.filePath("big.xls")));
        QVERIFY(!book->Saved());
        QVERIFY(book->SaveAs(rig.dir.filePath("big.xlsx")));
        QVERIFY(book->Saved());

        tavlo::sheet::Application *reader = tavlo::sheet::Application::create();
        Workbook *back = reader->Workbooks().Open(rig.dir.filePath("big.xlsx"));
        QVERIFY(back);
        QCOMPARE(back->Sheets(1)->UsedRange().lastRow(), 70002);
        QCOMPARE(back->Sheets(1)->value(70002, 2), QStringLiteral("0101011010101007"));
        QCOMPARE(back->Sheets(1)->value(70002, 5), QStringLiteral("v10 v10 v10 v10 v07 "));
        reader->Quit();
    }

    // Values stored as numbers give a one-character code ("1"), a gap in the names column an empty name:
    // neither becomes a row, and the closing status line counts them by reason.
    void rowsWithoutAValidCodeOrNameAreSkipped() {
        CodingRig rig({"01-离心泵", "", "03-潜水泵"},
                      {QStringList{"01-a", "1", "10"}, {"01-c"}, {"00-无"}, {"00-无"}, {"00-无"}});
        QVERIFY(rig.written);
        QVERIFY(rig.builder.DataSourceValid());
        rig.panel.optCate->setChecked(true);
        QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
        QCOMPARE(rig.tip,
                 QStringLiteral("批量编码完成：共写入 4 行；跳过 5 行（编码不是 16 个字母或数字 2 行，"
                                "物料名称为空 3 行）"));
        QCOMPARE(rig.batch.rowsWritten(), 4);
        Workbook *book = rig.batch.lastOutput();
        QVERIFY(book->SaveAs(rig.dir.filePath("out.xlsx")));

        if (!Python::has(QStringLiteral("openpyxl")))
            QSKIP("python3-openpyxl is not installed");
        const QJsonArray rows = readBack(R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps([[c.value or "" for c in r] for r in ws.iter_rows(min_row=3, max_row=ws.max_row, max_col=3)]))
)",
                                         rig.dir.filePath("out.xlsx"));
        QCOMPARE(rows.size(), 4);
        QStringList codes;
        for (const QJsonValue &row : rows) {
            const QString code = row.toArray()[1].toString();
            QVERIFY2(MaterialCode::CodeValid(code), qPrintable(code));
            QVERIFY(!row.toArray()[2].toString().isEmpty());
            codes.append(code);
        }
        QCOMPARE(codes, QStringList({"0101010101000000", "0101011001000000", "0101030101000000",
                                     "0101031001000000"}));
    }

    // More combinations than a sheet has rows: before the first row the status line says how many rows
    // will be written and how many do not fit.
    void aBatchLargerThanASheetSaysSoBeforeItsFirstRow() {
        QTemporaryDir dir;
        const QString path = dir.filePath("coding.xlsx");
        auto values = [](int count) {
            QStringList list;
            for (int v = 0; v < count; ++v)
                list.append(QStringLiteral("%1-v").arg(v, 2, 10, QChar(u'0')));
            return list;
        };
        QVERIFY(writeOneCategory(path, {"01-离心泵"},
                                 {values(100), values(100), values(100), values(2), {"00-无"}}));
        Rig rig;
        rig.open(path);
        QCOMPARE(rig.batch.combinationCount(BatchCoder::Scope::Name), 2000000);
        QString atFirstRow;
        connect(&rig.batch, &BatchCoder::rowWritten, this, [&](int row) {
            if (row == BatchCoder::kFirstDataRow) {
                atFirstRow = rig.tip;
                QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
            }
        });
        QTest::mouseClick(rig.panel.cmdBatch, Qt::LeftButton);
        QCOMPARE(BatchCoder::rowCapacity(), 1048574);
        QVERIFY2(atFirstRow.contains("2000000") && atFirstRow.contains("1048574") &&
                     atFirstRow.contains("951426") && atFirstRow.contains("写不下"),
                 qPrintable(atFirstRow));
        QCOMPARE(rig.tip, QStringLiteral("批量编码已中断：已写入 1 行"));
    }
};

QTEST_MAIN(TestBatchCoder)
#include "tst_batchcoder.moc"
