// The .xls reader against office-made and hand-made workbooks: long strings across CONTINUE records,
// booleans, error values and formulas kept when a row is appended, BIFF5 labels in a code page, damage.
#include "platform/sheet/Application.h"
#include "platform/sheet/Biff8Writer.h"
#include "platform/sheet/CellText.h"
#include "platform/sheet/CompoundFile.h"
#include "platform/sheet/FormulaText.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/WorkbookFile.h"
#include "platform/sheet/Worksheet.h"

#include "Python.h"
#include "TestFiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstring>

using namespace tavlo::sheet;
using namespace tavlo::sheet::biff8;

namespace {

// Every non-empty cell as the independent reader sees it: "sheet|row|column|type|value" (xlrd's types:
// 1 text, 2 number, 4 boolean, 5 error, 6 blank; openpyxl's: s, n, b, e, f with the formula text).
QStringList independentCells(const QString &file) {
    const QString script = QStringLiteral(R"(
import json, sys
path = sys.argv[1]
out = []
if path.endswith(".xlsx"):
    import openpyxl
    book = openpyxl.load_workbook(path)
    for s in book.worksheets:
        for row in s.iter_rows():
            for c in row:
                if c.value is not None:
                    out.append("%s|%d|%d|%s|%s" % (s.title, c.row, c.column, c.data_type, c.value))
else:
    import xlrd
    book = xlrd.open_workbook(path)
    for s in book.sheets():
        for r in range(s.nrows):
            for c in range(s.ncols):
                cell = s.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    out.append("%s|%d|%d|%d|%r" % (s.name, r + 1, c + 1, cell.ctype, cell.value))
print(json.dumps(out, ensure_ascii=False))
)");
    bool ok = false;
    const QByteArray out = Python::run(script, {file}, &ok);
    if (!ok)
        return {QStringLiteral("<unreadable>")};
    return Python::strings(QJsonDocument::fromJson(out).array());
}

// Every used cell as our reader sees it: "sheet|row|column|kind|value|tokens".
QStringList ourCells(const QString &file) {
    BookContent book;
    QString error;
    if (!readWorkbookFile(file, &book, &error))
        return {QStringLiteral("<unreadable: ") + error + u'>'};
    QStringList cells;
    for (const SheetData &sheet : book.sheets)
        sheet.forEachCell([&](int row, int column, const Cell &cell) {
            const Formula *f = sheet.formula(row, column);
            cells << QStringLiteral("%1|%2|%3|%4|%5|%6")
                         .arg(sheet.name())
                         .arg(row)
                         .arg(column)
                         .arg(int(cell.kind))
                         .arg(valueText(cell, sheet.effectiveFormat(row, column)),
                              f ? QString::fromLatin1(f->tokens.toHex()) + u'=' + f->text : QString());
        });
    return cells;
}

// Cells of `before` missing from `after`, or changed in it.
QStringList lostCells(const QStringList &before, const QStringList &after) {
    QStringList lost;
    for (const QString &cell : before)
        if (!after.contains(cell))
            lost << cell.left(200);
    return lost;
}

// Little-endian payloads.
class Le {
public:
    Le &u8(quint8 v) { return raw(QByteArray(1, char(v))); }
    Le &u16(quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        return raw(QByteArray(b, 2));
    }
    Le &u32(quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        return raw(QByteArray(b, 4));
    }
    Le &f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        char b[8];
        qToLittleEndian(bits, b);
        return raw(QByteArray(b, 8));
    }
    Le &raw(const QByteArray &b) {
        m_data += b;
        return *this;
    }
    Le &latin(const QString &s) { return raw(s.toLatin1()); }
    Le &wide(const QString &s) {
        for (QChar c : s)
            u16(c.unicode());
        return *this;
    }
    operator QByteArray() const { return m_data; }

private:
    QByteArray m_data;
};

// A workbook stream of one sheet, record by record as another program might write it: `globals` after
// the sheet list (shared strings), `head` before it (code page), the sheet's cell records.
QByteArray handMadeStream(bool biff8, const QList<QByteArray> &head, const QByteArray &sheetName,
                          const QList<QByteArray> &globals, const QList<QByteArray> &cells, int rows,
                          int columns) {
    auto bof = [&](quint16 kind) {
        Le b;
        b.u16(biff8 ? kBiff8Version : kBiff5Version).u16(kind).u16(0x0DBB).u16(0x07CC);
        if (biff8)
            b.u32(0).u32(6);
        return record(kBof, b);
    };
    QByteArray stream = bof(kGlobalsSubstream);
    for (const QByteArray &r : head)
        stream += r;
    const qsizetype positionField = stream.size() + 4;
    stream += record(kBoundSheet, Le().u32(0).u8(0).u8(0).raw(sheetName));
    for (const QByteArray &r : globals)
        stream += r;
    stream += record(kEof, {});
    qToLittleEndian(quint32(stream.size()), stream.data() + positionField);
    stream += bof(kWorksheetSubstream);
    stream += biff8 ? record(kDimensions, Le().u32(0).u32(rows).u16(0).u16(columns).u16(0))
                    : record(kDimensions, Le().u16(0).u16(rows).u16(0).u16(columns).u16(0));
    for (const QByteArray &r : cells)
        stream += r;
    stream += record(kEof, {});
    return stream;
}

// Fifteen style XFs and the cell XF 15 every cell of these files uses: readers look every cell's XF up.
QList<QByteArray> cellFormats(bool biff8) {
    QList<QByteArray> xfs;
    for (int i = 0; i < 16; ++i)
        xfs << record(
            kXf, Le().u16(0).u16(0).u16(i < 15 ? 0xFFF5 : 0x0001).raw(QByteArray(biff8 ? 14 : 10, '\0')));
    return xfs;
}

QByteArray cellHead(int row, int column) {
    return Le().u16(quint16(row)).u16(quint16(column)).u16(15);
}

// A FORMULA record: cached result (8 bytes), options, tokens.
QByteArray formula(int row, int column, const QByteArray &result, const QByteArray &tokens) {
    return record(
        kFormula,
        Le().raw(cellHead(row, column)).raw(result).u16(0).u32(0).u16(quint16(tokens.size())).raw(tokens));
}
QByteArray specialResult(quint8 type, quint8 value) {
    return Le().u8(type).u8(0).u8(value).u8(0).u16(0).u16(0xFFFF);
}

// Appends one record row the way record entry does (text-formatted cells) and saves in place.
bool appendRow(Application *app, const QString &file, const QStringList &fields, QString *error) {
    Workbook *book = app->Workbooks().Open(file);
    if (!book) {
        *error = app->lastError();
        return false;
    }
    Worksheet *sheet = book->Sheets(1);
    const int row = sheet->UsedRange().lastRow() + 1;
    for (int c = 0; c < fields.size(); ++c) {
        sheet->Cells(row, c + 1).setNumberFormatLocal(QStringLiteral("@"));
        sheet->Cells(row, c + 1).setValue(fields[c]);
    }
    const bool saved = book->Save();
    *error = book->lastError();
    book->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return saved;
}

} // namespace

class TestXlsRecords : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void officeWorkbookKeepsEveryCellAsRowsAreAppended_data();
    void officeWorkbookKeepsEveryCellAsRowsAreAppended();
    void longStringsAcrossContinueRecords();
    void booleansErrorsAndFormulasKeepTheirTypes();
    void biff5LabelsDecodeByCodePage();
    void xlsFormulasBecomeXlsxFormulaText();
    void nulAndTabSurviveRewrites();
    void mutatedHandMadeFilesFailCleanly();
    void charactersBeyondTheBasicPlaneStayWholeAtEveryRecordEnd_data();
    void charactersBeyondTheBasicPlaneStayWholeAtEveryRecordEnd();

private:
    QTemporaryDir m_dir;
    Application *m_app = nullptr;
    bool m_python = false;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QByteArray booleansErrorsFormulasStream() const;
};

void TestXlsRecords::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_app = Application::create();
    m_app->setDisplayAlerts(false);
    m_python = Python::has(QStringLiteral("xlrd")) && Python::has(QStringLiteral("openpyxl"));
}

void TestXlsRecords::cleanupTestCase() {
    m_app->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestXlsRecords::officeWorkbookKeepsEveryCellAsRowsAreAppended_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("LibreOffice .xls with long texts, formulas, booleans") << "office-long-formula.xls";
    QTest::newRow("office record workbook .xls") << "mis-office.xls";
    QTest::newRow("office .xlsx with formulas") << "office-long-formula.xlsx";
}

void TestXlsRecords::officeWorkbookKeepsEveryCellAsRowsAreAppended() {
    QFETCH(QString, file);
    const QString copy = path(QStringLiteral("appended-") + file);
    QFile::remove(copy);
    QVERIFY(QFile::copy(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + file, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    const QStringList before = ourCells(copy);
    const QStringList independentBefore = m_python ? independentCells(copy) : QStringList();
    if (file == u"office-long-formula.xls") {
        // The texts that once came back cut, and the formulas whose tokens stand on their own.
        QVERIFY(before.contains(QStringLiteral("记录|2|2|1|") + QString(9000, u'汉') + u'|'));
        QVERIFY(before.contains(QStringLiteral("记录|5|2|1|") + QString(20000, u'文') + u'|'));
        QVERIFY(before.contains(QStringLiteral("记录|5|3|1|") + QString(16400, u'X') + u'|'));
        QVERIFY(before.contains(
            QStringLiteral("记录|4|2|3|TRUE|1d01=TRUE"))); // a formula, as LibreOffice saves booleans
        QVERIFY(before.contains(QStringLiteral("记录|4|3|3|FALSE|1d00=FALSE")));
        for (const char *cell : {"3|2|1|长文本-后缀|", "3|3|2|21|", "3|4|2|9|", "4|4|2|2|"}) {
            const QString prefix = QStringLiteral("记录|") + QString::fromUtf8(cell);
            const auto found = std::find_if(before.begin(), before.end(),
                                            [&](const QString &c) { return c.startsWith(prefix); });
            QVERIFY2(found != before.end() && !found->endsWith(QStringLiteral("|=")), cell);
        }
    }
    QString error;
    for (int round = 1; round <= 3; ++round)
        QVERIFY2(appendRow(m_app, copy,
                           {QStringLiteral("追加%1").arg(round), QString(round == 2 ? 9000 : 3, u'汉'),
                            QStringLiteral("0012"), QStringLiteral("TRUE")},
                           &error),
                 qPrintable(error));
    const QStringList after = ourCells(copy);
    QCOMPARE(lostCells(before, after), QStringList());
    QCOMPARE(after.size(), before.size() + 3 * 4);
    if (m_python) {
        const QStringList independentAfter = independentCells(copy);
        QCOMPARE(lostCells(independentBefore, independentAfter), QStringList());
        QCOMPARE(independentAfter.size(), independentBefore.size() + 3 * 4);
    }
}

void TestXlsRecords::longStringsAcrossContinueRecords() {
    // A shared string table as other programs split it: a string going on from compressed to wide
    // characters in a CONTINUE record, a rich-text string with phonetic data whose runs and data are cut
    // by record ends, and the next string starting behind them.
    const QString mixed = QString(8213, u'A') + QString(3000, u'汉');
    const QString rich = QString(1107, u'文') + QString(3893, u'b');
    const QByteArray sst =
        record(kSst, Le().u32(4).u32(3).u16(quint16(mixed.size())).u8(0).latin(mixed.left(8213)));
    const QByteArray continue1 = record(kContinue, Le().u8(1)
                                                       .wide(mixed.mid(8213))
                                                       .u16(quint16(rich.size()))
                                                       .u8(0x0D)
                                                       .u16(2)
                                                       .u32(10)
                                                       .wide(rich.left(1107)));
    const QByteArray continue2 = record(kContinue, Le().u8(0).latin(rich.mid(1107)).u32(0x00010000));
    const QByteArray continue3 = record(kContinue, Le().u32(0x00030002).raw(QByteArray(6, 'p')));
    const QByteArray continue4 =
        record(kContinue, Le().raw(QByteArray(4, 'p')).u16(3).u8(0).latin(QStringLiteral("end")));
    QCOMPARE(sst.size(), 4 + kMaxRecordData);
    QCOMPARE(continue1.size(), 4 + kMaxRecordData);
    auto labelSst = [](int row, int column, quint32 index) {
        return record(kLabelSst, Le().raw(cellHead(row, column)).u32(index));
    };
    const QByteArray stream =
        handMadeStream(true, {}, Le().u8(3).u8(0).latin(QStringLiteral("MIS")),
                       {sst, continue1, continue2, continue3, continue4},
                       {labelSst(0, 0, 0), labelSst(0, 1, 1), labelSst(0, 2, 2), labelSst(1, 0, 2)}, 2, 3);
    const QString file = path(QStringLiteral("MIS.xls"));
    QVERIFY(TestFiles::write(file, cfb::build(QStringLiteral("Workbook"), stream)));
    const QStringList first = ourCells(file);
    QCOMPARE(first, (QStringList{QStringLiteral("MIS|1|1|1|") + mixed + u'|',
                                 QStringLiteral("MIS|1|2|1|") + rich + u'|', QStringLiteral("MIS|1|3|1|end|"),
                                 QStringLiteral("MIS|2|1|1|end|")}));
    if (m_python)
        QCOMPARE(independentCells(file).size(), 4);

    // Records appended, among them the long texts of record entry; each save splits the table anew.
    QStringList expected = first;
    QStringList independentExpected = m_python ? independentCells(file) : QStringList();
    QString error;
    for (int round = 1; round <= 4; ++round) {
        const QStringList fields{QStringLiteral("记录%1").arg(round), QString(9000, u'汉'),
                                 QString(20000, QChar(u'a' + round))};
        QVERIFY2(appendRow(m_app, file, fields, &error), qPrintable(error));
        const QStringList now = ourCells(file);
        QCOMPARE(lostCells(expected, now), QStringList());
        QCOMPARE(now.size(), expected.size() + 3);
        QVERIFY(now.contains(QStringLiteral("MIS|%1|2|1|").arg(round + 2) + QString(9000, u'汉') + u'|'));
        expected = now;
        if (m_python) {
            const QStringList independent = independentCells(file);
            QCOMPARE(lostCells(independentExpected, independent), QStringList());
            QVERIFY(independent.contains(QStringLiteral("MIS|%1|3|1|'").arg(round + 2) +
                                         QString(20000, QChar(u'a' + round)) + u'\''));
            independentExpected = independent;
        }
    }
}

QByteArray TestXlsRecords::booleansErrorsFormulasStream() const {
    const QByteArray onePlusOne = Le().u8(0x1E).u16(1).u8(0x1E).u16(1).u8(0x03); // 1+1
    const QByteArray concat =
        Le().u8(0x24).u16(0).u16(0xC000).u8(0x17).u8(2).u8(0).latin(QStringLiteral("-x")).u8(0x08); // A1&"-x"
    const QByteArray less = Le().u8(0x1E).u16(1).u8(0x1E).u16(2).u8(0x09);                          // 1<2
    const QByteArray divide = Le().u8(0x1E).u16(1).u8(0x1E).u16(0).u8(0x06);                        // 1/0
    const QByteArray sum =
        Le().u8(0x25).u16(0).u16(3).u16(0xC000).u16(0xC000).u8(0x19).u8(0x10).u16(0); // SUM(A1:A4)
    const QByteArray otherSheet = Le().u8(0x3A).u16(0).u16(0).u16(0xC000);            // Sheet2!A1
    const QByteArray name = Le().u8(0x23).u16(1).u16(0);                              // a defined name
    const QByteArray shared = Le().u8(0x01).u16(0).u16(0); // part of a shared formula
    const QString longResult = QString(10000, u'果');
    QList<QByteArray> cells{
        record(kLabelSst, Le().raw(cellHead(0, 0)).u32(0)),
        record(kBoolErr, Le().raw(cellHead(0, 1)).u8(1).u8(0)),
        record(kBoolErr, Le().raw(cellHead(0, 2)).u8(0).u8(0)),
        record(kBoolErr, Le().raw(cellHead(0, 3)).u8(0x07).u8(1)),
        record(kBoolErr, Le().raw(cellHead(0, 4)).u8(0x2A).u8(1)),
        formula(1, 0, Le().f64(2), onePlusOne),
        formula(1, 1, specialResult(0, 0), concat),
        record(kString, Le().u16(4).u8(0).latin(QStringLiteral("ab-x"))),
        formula(1, 2, specialResult(1, 1), less),
        formula(1, 3, specialResult(2, 0x07), divide),
        formula(1, 4, Le().f64(6.5), sum),
        formula(2, 0, Le().f64(42), otherSheet),
        formula(2, 1, specialResult(0, 0), name),
    };
    // The text result of the name formula: a STRING record continued by CONTINUE records.
    const QByteArray resultBytes = Le().u16(quint16(longResult.size())).u8(1).wide(longResult);
    cells << record(kString, resultBytes.left(3 + 8220));
    cells << record(kContinue, QByteArray(1, '\1') + resultBytes.mid(3 + 8220, 8000));
    cells << record(kContinue, QByteArray(1, '\1') + resultBytes.mid(3 + 8220 + 8000));
    cells << formula(2, 2, specialResult(1, 0), shared) << record(kShrFmla, QByteArray(20, '\0'));
    cells << formula(2, 3, specialResult(3, 0), onePlusOne); // an empty text result
    const QByteArray sst = record(kSst, Le().u32(1).u32(1).u16(2).u8(0).latin(QStringLiteral("ab")));
    return handMadeStream(true, cellFormats(true), Le().u8(1).u8(0).latin(QStringLiteral("F")), {sst}, cells,
                          3, 5);
}

void TestXlsRecords::booleansErrorsAndFormulasKeepTheirTypes() {
    const QString file = path(QStringLiteral("formulas.xls"));
    QVERIFY(TestFiles::write(file, cfb::build(QStringLiteral("Workbook"), booleansErrorsFormulasStream())));
    const QStringList before = ourCells(file);
    QCOMPARE(before.size(), 14);
    // kind: 1 text, 2 number, 3 boolean, 4 error; tokens kept only where they stand on their own.
    QVERIFY(before.contains(QStringLiteral("F|1|2|3|TRUE|")));
    QVERIFY(before.contains(QStringLiteral("F|1|4|4|#DIV/0!|")));
    QVERIFY(before.contains(QStringLiteral("F|1|5|4|#N/A|")));
    QVERIFY(before.contains(QStringLiteral("F|2|1|2|2|1e01001e010003=1+1")));
    QVERIFY(before.contains(QStringLiteral("F|2|2|1|ab-x|24000000c01702002d7808=A1&\"-x\"")));
    QVERIFY(before.contains(QStringLiteral("F|2|3|3|TRUE|1e01001e020009=1<2")));
    QVERIFY(before.contains(QStringLiteral("F|2|4|4|#DIV/0!|1e01001e000006=1/0")));
    QVERIFY(before.contains(QStringLiteral("F|3|1|2|42|="))); // other sheet
    QVERIFY(
        before.contains(QStringLiteral("F|3|2|1|") + QString(10000, u'果') + QStringLiteral("|="))); // name
    QVERIFY(before.contains(QStringLiteral("F|3|3|3|FALSE|="))); // shared formula
    QVERIFY(before.contains(QStringLiteral("F|3|4|1||1e01001e010003=1+1")));
    const QStringList independentBefore = m_python ? independentCells(file) : QStringList();
    if (m_python) {
        QVERIFY(independentBefore.contains(QStringLiteral("F|1|2|4|1")));
        QVERIFY(independentBefore.contains(QStringLiteral("F|1|4|5|7")));
        QVERIFY(independentBefore.contains(QStringLiteral("F|2|3|4|1")));
        QVERIFY(independentBefore.contains(QStringLiteral("F|2|4|5|7")));
    }

    // A record appended and saved: the formulas the file could not keep are said after the save.
    Workbook *book = m_app->Workbooks().Open(file);
    QVERIFY(book);
    QCOMPARE(formulasNotKept(book->view(), FileFormat::Xls), qsizetype(3));
    QVERIFY(book->Sheets(1)->Cells(4, 1).setValue(QStringLiteral("新记录")));
    QVERIFY(book->Save());
    QVERIFY2(book->lastSaveNote().contains(QStringLiteral("3 个公式")), qPrintable(book->lastSaveNote()));
    book->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Every cell as it was, the three formulas by their results with their types.
    QStringList expected;
    for (const QString &cell : before)
        expected << (cell.endsWith(QStringLiteral("|=")) ? cell.chopped(1) : cell);
    const QStringList after = ourCells(file);
    QCOMPARE(lostCells(expected, after), QStringList());
    QVERIFY(after.contains(QStringLiteral("F|4|1|1|新记录|")));
    if (m_python)
        QCOMPARE(lostCells(independentBefore, independentCells(file)), QStringList());
}

void TestXlsRecords::biff5LabelsDecodeByCodePage() {
    const QList<QByteArray> biff5Head =
        QList<QByteArray>{record(kCodepage, Le().u16(936))} + cellFormats(false);
    QStringEncoder gbk("GBK");
    const QByteArray name = gbk.encode(QStringLiteral("物料"));
    const QByteArray text = gbk.encode(QStringLiteral("离心泵，DN50"));
    const QByteArray stream =
        handMadeStream(false, biff5Head, Le().u8(quint8(name.size())).raw(name), {},
                       {record(kLabel, Le().raw(cellHead(0, 0)).u16(quint16(text.size())).raw(text)),
                        record(kNumber, Le().raw(cellHead(0, 1)).f64(12500.5)),
                        formula(0, 2, specialResult(0, 0), Le().u8(0x1E).u16(1)),
                        record(kString, Le().u16(4).latin(QStringLiteral("DN50")))},
                       1, 3);
    const QString file = path(QStringLiteral("biff5.xls"));
    QVERIFY(TestFiles::write(file, cfb::build(QStringLiteral("Book"), stream)));
    const QStringList expected{QStringLiteral("物料|1|1|1|离心泵，DN50|"),
                               QStringLiteral("物料|1|2|2|12500.5|"), QStringLiteral("物料|1|3|1|DN50|=")};
    QCOMPARE(ourCells(file), expected);
    if (m_python)
        QVERIFY(independentCells(file).contains(QStringLiteral("物料|1|1|1|'离心泵，DN50'")));
}

void TestXlsRecords::xlsFormulasBecomeXlsxFormulaText() {
    // Parentheses go where the order of the tokens needs them, whether or not the file has its own.
    auto text = [](const QByteArray &tokens) { return formulaTextOfTokens(tokens); };
    const QByteArray one = Le().u8(0x1E).u16(1), two = Le().u8(0x1E).u16(2), three = Le().u8(0x1E).u16(3);
    QCOMPARE(text(one + two + QByteArray("\x03") + three + QByteArray("\x05")), QStringLiteral("(1+2)*3"));
    QCOMPARE(text(one + two + QByteArray("\x03\x15") + three + QByteArray("\x05")),
             QStringLiteral("(1+2)*3"));
    QCOMPARE(text(one + two + three + QByteArray("\x04\x04")), QStringLiteral("1-(2-3)"));
    QCOMPARE(text(one + two + QByteArray("\x04") + three + QByteArray("\x04")), QStringLiteral("1-2-3"));
    QCOMPARE(text(two + QByteArray("\x13") + two + QByteArray("\x07")), QStringLiteral("-2^2"));
    QCOMPARE(text(two + two + QByteArray("\x07\x13")), QStringLiteral("-(2^2)"));
    QCOMPARE(text(Le().u8(0x44).u16(4).u16(0x8002).u8(0x1F).f64(0.1).u8(0x05).u8(0x14)),
             QStringLiteral("($C5*0.1)%"));
    QCOMPARE(text(Le().u8(0x17)
                      .u8(3)
                      .u8(0)
                      .latin(QStringLiteral("a\"b"))
                      .u8(0x1E)
                      .u16(1)
                      .u8(0x42)
                      .u8(2)
                      .u16(0x0074)),
             QStringLiteral("RIGHT(\"a\"\"b\",1)"));
    QVERIFY(text(one + two + QByteArray("\x11")).isEmpty()); // a range operator
    QVERIFY(text(Le().u8(0x41).u16(0x0200)).isEmpty());      // an unknown function
    QVERIFY(text(Le().u8(0x42).u8(5).u16(4)).isEmpty());     // more arguments than operands
    QVERIFY(text(one + two).isEmpty());                      // two results

    // The office file's formulas saved as .xlsx: an independent reader sees each formula's text.
    const QString file = path(QStringLiteral("office-formulas.xlsx"));
    BookContent book;
    QString error;
    QVERIFY2(
        readWorkbookFile(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/office-long-formula.xls"), &book, &error),
        qPrintable(error));
    BookView view;
    view.sheets.append(&book.sheets.front());
    QCOMPARE(formulasNotKept(view, FileFormat::Xlsx), qsizetype(0));
    QVERIFY2(writeWorkbookFile(file, view, &error), qPrintable(error));
    if (!m_python)
        QSKIP("python3-openpyxl is not installed");
    const QStringList cells = independentCells(file);
    for (const QString &formula :
         {QStringLiteral("记录|3|2|f|=A2&\"-后缀\""), QStringLiteral("记录|3|3|f|=H2*I2"),
          QStringLiteral("记录|3|4|f|=SUM(H2:H4)"), QStringLiteral("记录|4|4|f|=1+1"),
          QStringLiteral("记录|4|2|f|=TRUE")})
        QVERIFY2(cells.contains(formula), qPrintable(formula));
}

void TestXlsRecords::nulAndTabSurviveRewrites() {
    // .xls strings carry U+0000 as it is; .xlsx carries it escaped ("_x0000_"), the way the package
    // format writes characters XML cannot hold. A literal "_x0041_" stays literal.
    SheetData sheet(QStringLiteral("S"));
    const QString withNul = QStringLiteral("before") + QChar(0) + QStringLiteral("after");
    const QString tabbed = QStringLiteral("a\tb");
    sheet.setCell(1, 1, Cell::fromText(withNul));
    sheet.setCell(1, 2, Cell::fromText(tabbed));
    sheet.setCell(1, 3, Cell::fromText(QStringLiteral("_x0041_ stays")));
    sheet.setCell(2, 1, Cell::fromError(quint8(CellError::Ref)));
    QString error;
    for (const QString &name : {QStringLiteral("nul.xls"), QStringLiteral("nul.xlsx")}) {
        QVERIFY2(writeWorkbookFile(path(name), BookView{{&sheet}, 0}, &error), qPrintable(error));
        BookContent book;
        QVERIFY2(readWorkbookFile(path(name), &book, &error), qPrintable(error));
        const SheetData &back = book.sheets.front();
        QVERIFY2(back.cell(1, 1) && back.cell(1, 1)->text == withNul, qPrintable(name));
        QCOMPARE(back.cell(1, 2)->text, tabbed);
        QCOMPARE(back.cell(1, 3)->text, QStringLiteral("_x0041_ stays"));
        QCOMPARE(back.cell(2, 1)->kind, CellKind::Error);
        QCOMPARE(shownText(*back.cell(2, 1), QString()), QStringLiteral("#REF!"));
    }
    // A CSV record whose only field holds a TAB is quoted, so it is not read back as tab-separated.
    SheetData csvSheet(QStringLiteral("S"));
    csvSheet.setCell(1, 1, Cell::fromText(tabbed));
    csvSheet.setCell(2, 1, Cell::fromText(QStringLiteral("x\ty")));
    QVERIFY(writeWorkbookFile(path(QStringLiteral("tab.csv")), BookView{{&csvSheet}, 0}, &error));
    BookContent csvBook;
    QVERIFY2(readWorkbookFile(path(QStringLiteral("tab.csv")), &csvBook, &error), qPrintable(error));
    QCOMPARE(csvBook.sheets.front().cell(1, 1)->text, tabbed);
    QCOMPARE(csvBook.sheets.front().cell(2, 1)->text, QStringLiteral("x\ty"));
    QVERIFY(!csvBook.sheets.front().cell(1, 2));
    if (m_python)
        QVERIFY(independentCells(path(QStringLiteral("nul.xls")))
                    .contains(QStringLiteral("S|1|1|1|'before\\x00after'")));
}

void TestXlsRecords::mutatedHandMadeFilesFailCleanly() {
    // The files above with bytes changed and cut: a result or an error, never a crash, a hang or a
    // sanitizer report.
    const QByteArray original = booleansErrorsFormulasStream();
    QRandomGenerator random(20261208);
    const QString file = path(QStringLiteral("mutated.xls"));
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray stream = original;
        for (int e = 0, edits = 1 + random.bounded(6); e < edits; ++e)
            stream[random.bounded(int(stream.size()))] = char(random.bounded(256));
        if (round % 7 == 0)
            stream.truncate(random.bounded(int(stream.size())));
        QVERIFY(TestFiles::write(file, cfb::build(QStringLiteral("Workbook"), stream)));
        BookContent book;
        QString error;
        if (!readWorkbookFile(file, &book, &error)) {
            QVERIFY(!error.isEmpty());
            ++refused;
        }
    }
    QVERIFY(refused > 0);
}

void TestXlsRecords::charactersBeyondTheBasicPlaneStayWholeAtEveryRecordEnd_data() {
    QTest::addColumn<QString>("text");
    // A wide string fills 4,106 code units of the SST record, then 4,111 of each CONTINUE record: the
    // prefix moves every emoji's surrogate pair across those ends.
    const QString emoji = QStringLiteral("\U0001F600");
    for (int prefix = 0; prefix < 4; ++prefix) {
        for (int count : {4100, 6000})
            QTest::addRow("prefix %d, %d emoji", prefix, count)
                << QString(prefix, u'汉') + emoji.repeated(count);
    }
}

void TestXlsRecords::charactersBeyondTheBasicPlaneStayWholeAtEveryRecordEnd() {
    QFETCH(QString, text);
    if (!m_python)
        QSKIP("needs /usr/bin/python3 with xlrd");
    BookContent book;
    book.sheets.emplace_back(QStringLiteral("MIS"));
    SheetData &sheet = book.sheets.front();
    QVERIFY(sheet.setCell(1, 1, Cell::fromText(QStringLiteral("前"))));
    QVERIFY(sheet.setCell(1, 2, Cell::fromText(text)));
    QVERIFY(sheet.setCell(2, 1, Cell::fromText(QStringLiteral("后"))));
    const QString file = path(QStringLiteral("emoji.xls"));
    QString error;
    QVERIFY2(writeWorkbookFile(file, BookView{{&sheet}, 0}, &error), qPrintable(error));
    QCOMPARE(independentCells(file),
             (QStringList{QStringLiteral("MIS|1|1|1|'前'"), QStringLiteral("MIS|1|2|1|'") + text + u'\'',
                          QStringLiteral("MIS|2|1|1|'后'")}));
    QCOMPARE(ourCells(file).value(1), QStringLiteral("MIS|1|2|1|") + text + u'|');
}

QTEST_GUILESS_MAIN(TestXlsRecords)
#include "tst_XlsRecords.moc"
