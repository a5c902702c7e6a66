// Workbook files: round trips in every format, independent readers, the corpus, damaged and hostile files.
#include "Python.h"
#include "platform/sheet/Biff8Writer.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/CellText.h"
#include "platform/sheet/CompoundFile.h"
#include "platform/sheet/WorkbookFile.h"
#include "platform/sheet/XlsxWriter.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zip.h>

using namespace tavlo::sheet;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + name;
}

QString shown(const SheetData &sheet, int row, int column) {
    const Cell *c = sheet.cell(row, column);
    return c ? shownText(*c, sheet.effectiveFormat(row, column)) : QString();
}

QString value(const SheetData &sheet, int row, int column) {
    const Cell *c = sheet.cell(row, column);
    return c ? valueText(*c, sheet.effectiveFormat(row, column)) : QString();
}

BookContent readOk(const QString &path) {
    BookContent book;
    QString error;
    if (!readWorkbookFile(path, &book, &error))
        qWarning().noquote() << error;
    return book;
}

// Two sheets holding every kind of cell the writers must carry.
std::vector<SheetData> sampleSheets() {
    std::vector<SheetData> sheets;
    SheetData first(QStringLiteral("物料"));
    const quint16 text = first.internFormat(QStringLiteral("@"));
    const quint16 twoDecimals = first.internFormat(QStringLiteral("0.00"));
    const quint16 custom = first.internFormat(QStringLiteral("0.000\" kg\""));
    const quint16 date = first.internFormat(QStringLiteral("yyyy-mm-dd"));
    first.setCell(1, 1, Cell::fromText(QStringLiteral("物料名称")));
    first.setCell(1, 2, Cell::fromText(QStringLiteral("数量")));
    first.setCell(2, 1, Cell::fromText(QStringLiteral("0012"), text));
    first.setCell(2, 2, Cell::fromNumber(2));
    first.setCell(2, 3, Cell::fromNumber(12500.5, twoDecimals));
    first.setCell(2, 4, Cell::fromNumber(0.1 + 0.2));
    first.setCell(3, 1, Cell::fromText(QStringLiteral("two\nlines, \"quoted\"")));
    first.setCell(3, 2, Cell::fromNumber(123456789012.0));
    first.setCell(3, 3, Cell::fromNumber(-1e-7));
    first.setCell(3, 4, Cell::fromBoolean(true));
    first.setCell(4, 2, Cell::fromNumber(1.25, custom));
    first.setCell(4, 3, Cell::fromNumber(45444, date));
    first.setCell(5, 1, Cell::fromText(QString(5000, u'长')));
    first.setCell(6, 5, Cell{{}, 0, text, CellKind::Empty}); // formatted, no value
    first.setCell(300, 30, Cell::fromText(QStringLiteral("far")));
    first.setColumnWidth(1, 20);
    first.setColumnFormat(7, text);
    sheets.push_back(std::move(first));
    SheetData second(QStringLiteral("Sheet2"));
    second.setCell(1, 1, Cell::fromText(QStringLiteral("第二页")));
    second.setCell(2, 2, Cell::fromNumber(7));
    sheets.push_back(std::move(second));
    return sheets;
}

BookView viewOf(const std::vector<SheetData> &sheets, int active) {
    BookView view;
    for (const SheetData &s : sheets)
        view.sheets.append(&s);
    view.activeSheet = active;
    return view;
}

// Adds or replaces one entry of a zip file.
bool putZipEntry(const QString &path, const QString &name, const QByteArray &data) {
    int err = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), 0, &err);
    if (!z)
        return false;
    void *copy = malloc(size_t(data.size()));
    memcpy(copy, data.constData(), size_t(data.size()));
    zip_source_t *src = zip_source_buffer(z, copy, zip_uint64_t(data.size()), 1);
    const bool ok = zip_file_add(z, name.toUtf8().constData(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) >= 0;
    if (!ok)
        zip_source_free(src);
    return zip_close(z) == 0 && ok;
}

QByteArray sheetXml(const QByteArray &sheetData) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
           sheetData + "</sheetData></worksheet>";
}

} // namespace

class TestSheetFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void corpusCodingWorkbook_data();
    void corpusCodingWorkbook();
    void corpusRecordWorkbook_data();
    void corpusRecordWorkbook();
    void corpusManuscriptAndCsv();
    void damagedCorpusFilesFailCleanly_data();
    void damagedCorpusFilesFailCleanly();
    void roundTrip_data();
    void roundTrip();
    void formatByContentNotExtension();
    void xlsLimitsAreReportedAndOldFileKept();
    void ourXlsReadByXlrd();
    void ourXlsxReadByPythonZipfile();
    void hostileXlsxParts();
    void zipBombStopsAtTheLimit();
    void absurdDimensions();
    void brokenBiffStructureIsRefused();
    void mutatedFilesNeverCrash();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void TestSheetFiles::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(corpus(QStringLiteral("README.md"))) ||
                 QFile::exists(corpus(QStringLiteral("gbk.csv"))),
             "corpus missing");
}

void TestSheetFiles::corpusCodingWorkbook_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << "coding-workbook.xlsx";
    QTest::newRow("xls") << "coding-workbook.xls";
}

void TestSheetFiles::corpusCodingWorkbook() {
    QFETCH(QString, file);
    const BookContent book = readOk(corpus(file));
    QCOMPARE(int(book.sheets.size()), 7);
    QCOMPARE(book.sheets[0].name(), QStringLiteral("说明"));
    QCOMPARE(book.sheets[1].name(), QStringLiteral("分类"));
    QCOMPARE(book.sheets[6].name(), QStringLiteral("参数5"));
    const SheetData &categories = book.sheets[1];
    const QStringList headers{QStringLiteral("0101-泵类"), QStringLiteral("0102-阀门"),
                              QStringLiteral("0203-电缆"), QStringLiteral("0104-仪表")};
    for (int c = 1; c <= 4; ++c)
        QCOMPARE(value(categories, 1, c), headers[c - 1]);
    QCOMPARE(value(categories, 1, 5), QString());
    QCOMPARE(value(categories, 2, 1), QStringLiteral("01-离心泵"));
    QCOMPARE(value(categories, 3, 1), QStringLiteral("02-计量泵"));
    QCOMPARE(value(categories, 4, 1), QStringLiteral("03-潜水泵"));
    QCOMPARE(value(categories, 2, 3), QString()); // column 3 holds only its header
    const SheetData &parameters = book.sheets[2];
    QCOMPARE(value(parameters, 1, 2), QStringLiteral("0102-阀门"));
    QCOMPARE(value(parameters, 2, 2), QStringLiteral("01-PN16"));
    QCOMPARE(value(parameters, 3, 2), QStringLiteral("02-PN25"));
    QCOMPARE(value(parameters, 4, 2), QStringLiteral("03-PN40"));
}

void TestSheetFiles::corpusRecordWorkbook_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << "mis-office.xlsx";
    QTest::newRow("xls") << "mis-office.xls";
}

void TestSheetFiles::corpusRecordWorkbook() {
    QFETCH(QString, file);
    const BookContent book = readOk(corpus(file));
    QCOMPARE(int(book.sheets.size()), 1);
    const SheetData &s = book.sheets[0];
    QCOMPARE(value(s, 1, 1), QStringLiteral("物料名称"));
    QCOMPARE(value(s, 1, 11), QStringLiteral("录入者"));
    QCOMPARE(s.cell(2, 8)->kind, CellKind::Number);
    QCOMPARE(shown(s, 2, 8), QStringLiteral("2"));
    QCOMPARE(shown(s, 2, 9), QStringLiteral("12500.5"));
    QCOMPARE(s.cell(2, 10)->kind, CellKind::Text);
    QCOMPARE(value(s, 2, 10), QStringLiteral("0012"));
    QCOMPARE(value(s, 4, 1), QStringLiteral("Flow meter"));
    QCOMPARE(s.lastRow(), 4);
}

void TestSheetFiles::corpusManuscriptAndCsv() {
    const BookContent manuscript = readOk(corpus(QStringLiteral("manuscript.xlsx")));
    QCOMPARE(int(manuscript.sheets.size()), 2);
    const SheetData &s = manuscript.sheets[0];
    QCOMPARE(s.name(), QStringLiteral("译稿"));
    QCOMPARE(value(s, 1, 1), QStringLiteral("plan.dxf"));
    QCOMPARE(value(s, 1, 2), QStringLiteral("2F"));
    QCOMPARE(value(s, 1, 3), QStringLiteral("泵房平面图"));
    QCOMPARE(value(s, 1, 4), QStringLiteral("Pump house plan"));
    QCOMPARE(value(s, 3, 4), QString());
    QCOMPARE(manuscript.sheets[1].name(), QStringLiteral("Sheet2"));
    for (const QString &file : {QStringLiteral("gbk.csv"), QStringLiteral("utf8.csv")}) {
        const BookContent csvBook = readOk(corpus(file));
        QCOMPARE(int(csvBook.sheets.size()), 1);
        QCOMPARE(value(csvBook.sheets[0], 2, 1), QStringLiteral("离心泵"));
        QCOMPARE(value(csvBook.sheets[0], 2, 2), QStringLiteral("台"));
        QCOMPARE(csvBook.sheets[0].name(), file.section(u'.', 0, 0));
    }
}

void TestSheetFiles::damagedCorpusFilesFailCleanly_data() {
    QTest::addColumn<QString>("file");
    for (const char *f :
         {"damaged-badxml.xlsx", "damaged-garbled.xls", "damaged-notazip.xlsx", "damaged-truncated.xlsx"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

void TestSheetFiles::damagedCorpusFilesFailCleanly() {
    QFETCH(QString, file);
    BookContent book;
    QString error;
    QVERIFY(!readWorkbookFile(corpus(file), &book, &error));
    QVERIFY2(error.contains(file), qPrintable(error));
    QVERIFY(book.sheets.empty());
}

void TestSheetFiles::roundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("xlsx") << "round.xlsx";
    QTest::newRow("xls") << "round.xls";
    QTest::newRow("csv") << "round.csv";
}

void TestSheetFiles::roundTrip() {
    QFETCH(QString, name);
    const std::vector<SheetData> sheets = sampleSheets();
    QString error;
    QVERIFY2(writeWorkbookFile(path(name), viewOf(sheets, 0), &error), qPrintable(error));
    const BookContent back = readOk(path(name));
    const bool csvFile = name.endsWith(QLatin1String(".csv"));
    QCOMPARE(int(back.sheets.size()), csvFile ? 1 : 2);
    const SheetData &a = sheets[0];
    const SheetData &b = back.sheets[0];
    if (!csvFile) {
        QCOMPARE(b.name(), a.name());
        QCOMPARE(back.sheets[1].name(), QStringLiteral("Sheet2"));
        QCOMPARE(value(back.sheets[1], 2, 2), QStringLiteral("7"));
    }
    a.forEachCell([&](int row, int column, const Cell &) {
        QCOMPARE(value(b, row, column), value(a, row, column));
        if (!csvFile) // CSV keeps values as texts
            QCOMPARE(shown(b, row, column), shown(a, row, column));
    });
    QCOMPARE(b.lastRow(), 300);
    QCOMPARE(b.lastColumn(), 30);
    // "0012" written as text stays the text "0012".
    QCOMPARE(b.cell(2, 1)->kind, CellKind::Text);
    QCOMPARE(b.cell(2, 1)->text, QStringLiteral("0012"));
    if (!csvFile) {
        // Formats, widths and booleans survive in both workbook formats.
        QCOMPARE(b.effectiveFormat(2, 1), QStringLiteral("@"));
        QCOMPARE(b.effectiveFormat(6, 5), QStringLiteral("@"));
        QCOMPARE(b.effectiveFormat(50, 7), QStringLiteral("@"));
        QCOMPARE(b.effectiveFormat(2, 3), QStringLiteral("0.00"));
        QCOMPARE(b.columnWidth(1), 20.0);
        QCOMPARE(b.cell(3, 4)->kind, CellKind::Boolean);
    }
    if (!csvFile) {
        QCOMPARE(b.cell(2, 3)->number, 12500.5);
        QCOMPARE(b.cell(3, 2)->number, 123456789012.0);
        QCOMPARE(b.cell(2, 4)->number, 0.1 + 0.2);
    }
    // The second sheet as active sheet: CSV saves that one.
    QVERIFY(writeWorkbookFile(path(name), viewOf(sheets, 1), &error));
    const BookContent second = readOk(path(name));
    if (csvFile)
        QCOMPARE(value(second.sheets[0], 1, 1), QStringLiteral("第二页"));
    else
        QCOMPARE(second.activeSheet, 1);
}

void TestSheetFiles::formatByContentNotExtension() {
    const std::vector<SheetData> sheets = sampleSheets();
    QString error;
    QVERIFY(writeWorkbookFile(path(QStringLiteral("real.xlsx")), viewOf(sheets, 0), &error));
    QVERIFY(writeWorkbookFile(path(QStringLiteral("real.xls")), viewOf(sheets, 0), &error));
    QVERIFY(QFile::copy(path(QStringLiteral("real.xlsx")), path(QStringLiteral("named-wrong.xls"))));
    QVERIFY(QFile::copy(path(QStringLiteral("real.xls")), path(QStringLiteral("named-wrong.xlsx"))));
    QVERIFY(QFile::copy(corpus(QStringLiteral("utf8.csv")), path(QStringLiteral("table.txt"))));
    QCOMPARE(value(readOk(path(QStringLiteral("named-wrong.xls"))).sheets[0], 1, 1),
             QStringLiteral("物料名称"));
    QCOMPARE(value(readOk(path(QStringLiteral("named-wrong.xlsx"))).sheets[0], 1, 1),
             QStringLiteral("物料名称"));
    QCOMPARE(value(readOk(path(QStringLiteral("table.txt"))).sheets[0], 2, 1), QStringLiteral("离心泵"));

    BookContent book;
    QVERIFY(TestFiles::write(path(QStringLiteral("empty.xlsx")), {}));
    QVERIFY(!readWorkbookFile(path(QStringLiteral("empty.xlsx")), &book, &error));
    QVERIFY(!readWorkbookFile(path(QStringLiteral("missing.xls")), &book, &error));
    QVERIFY(error.contains(QStringLiteral("找不到")));
    QVERIFY(!writeWorkbookFile(path(QStringLiteral("book.ods")), viewOf(sheets, 0), &error));
    QVERIFY(!QFile::exists(path(QStringLiteral("book.ods"))));
}

void TestSheetFiles::xlsLimitsAreReportedAndOldFileKept() {
    const QString target = path(QStringLiteral("limit.xls"));
    SheetData small(QStringLiteral("S"));
    small.setCell(1, 1, Cell::fromText(QStringLiteral("keep me")));
    QString error;
    QVERIFY(writeWorkbookFile(target, BookView{{&small}, 0}, &error));

    SheetData fullRows(QStringLiteral("S"));
    fullRows.setCell(kMaxXlsRows, 1, Cell::fromText(QStringLiteral("last row that fits")));
    QVERIFY2(writeWorkbookFile(target, BookView{{&fullRows}, 0}, &error), qPrintable(error));
    QCOMPARE(value(readOk(target).sheets[0], kMaxXlsRows, 1), QStringLiteral("last row that fits"));

    QVERIFY(writeWorkbookFile(target, BookView{{&small}, 0}, &error));
    SheetData tooManyRows(QStringLiteral("S"));
    tooManyRows.setCell(kMaxXlsRows + 1, 1, Cell::fromText(QStringLiteral("x")));
    QVERIFY(!writeWorkbookFile(target, BookView{{&tooManyRows}, 0}, &error));
    QVERIFY2(error.contains(QStringLiteral(".xlsx")), qPrintable(error));
    SheetData tooManyColumns(QStringLiteral("S"));
    tooManyColumns.setCell(1, kMaxXlsColumns + 1, Cell::fromText(QStringLiteral("x")));
    QVERIFY(!writeWorkbookFile(target, BookView{{&tooManyColumns}, 0}, &error));
    SheetData longText(QStringLiteral("S"));
    longText.setCell(1, 1, Cell::fromText(QString(32768, u'x')));
    QVERIFY(!writeWorkbookFile(target, BookView{{&longText}, 0}, &error));
    QVERIFY(!writeWorkbookFile(path(QStringLiteral("long.xlsx")), BookView{{&longText}, 0}, &error));
    SheetData badName(QStringLiteral("a/b"));
    QVERIFY(!writeWorkbookFile(target, BookView{{&badName}, 0}, &error));
    // Every refused save left the earlier file as it was.
    QCOMPARE(value(readOk(target).sheets[0], 1, 1), QStringLiteral("keep me"));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("limit.xls*")}, QDir::Files | QDir::Hidden).size(),
             1);
}

void TestSheetFiles::ourXlsReadByXlrd() {
    if (!Python::has(QStringLiteral("xlrd")))
        QSKIP("python3-xlrd is not installed");
    const std::vector<SheetData> sheets = sampleSheets();
    QString error;
    QVERIFY(writeWorkbookFile(path(QStringLiteral("xlrd.xls")), viewOf(sheets, 0), &error));
    const QString script = QStringLiteral(R"(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {"sheets": [], "active": None}
for index, s in enumerate(book.sheets()):
    cells = {}
    for r in range(s.nrows):
        for c in range(s.ncols):
            cell = s.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_EMPTY,):
                continue
            fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            cells["%d,%d" % (r + 1, c + 1)] = [cell.ctype, cell.value, fmt]
    widths = {str(k + 1): v.width for k, v in s.colinfo_map.items()}
    out["sheets"].append({"name": s.name, "cells": cells, "widths": widths, "rows": s.nrows, "cols": s.ncols})
    if s.sheet_selected:
        out["active"] = index
print(json.dumps(out, ensure_ascii=False))
)");
    const QJsonObject out =
        QJsonDocument::fromJson(Python::run(script, {path(QStringLiteral("xlrd.xls"))})).object();
    const QJsonArray books = out[QStringLiteral("sheets")].toArray();
    QCOMPARE(books.size(), 2);
    const QJsonObject first = books[0].toObject();
    QCOMPARE(first[QStringLiteral("name")].toString(), QStringLiteral("物料"));
    QCOMPARE(books[1].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Sheet2"));
    QCOMPARE(first[QStringLiteral("rows")].toInt(), 300);
    QCOMPARE(first[QStringLiteral("cols")].toInt(), 30);
    const QJsonObject cells = first[QStringLiteral("cells")].toObject();
    auto cell = [&](const char *key) { return cells[QString::fromLatin1(key)].toArray(); };
    // [type, value, format]: type 1 text, 2 number, 4 boolean, 6 blank.
    QCOMPARE(cell("2,1")[0].toInt(), 1);
    QCOMPARE(cell("2,1")[1].toString(), QStringLiteral("0012"));
    QCOMPARE(cell("2,1")[2].toString(), QStringLiteral("@"));
    QCOMPARE(cell("1,1")[1].toString(), QStringLiteral("物料名称"));
    QCOMPARE(cell("2,2")[1].toDouble(), 2.0);
    QCOMPARE(cell("2,3")[1].toDouble(), 12500.5);
    QCOMPARE(cell("2,3")[2].toString(), QStringLiteral("0.00"));
    QCOMPARE(cell("4,2")[2].toString(), QStringLiteral("0.000\" kg\""));
    QCOMPARE(cell("3,4")[0].toInt(), 4);
    QCOMPARE(cell("3,1")[1].toString(), QStringLiteral("two\nlines, \"quoted\""));
    QCOMPARE(cell("5,1")[1].toString(), QString(5000, u'长'));
    QCOMPARE(cell("6,5")[0].toInt(), 6);
    QCOMPARE(cell("6,5")[2].toString(), QStringLiteral("@"));
    QCOMPARE(cell("300,30")[1].toString(), QStringLiteral("far"));
    // Width 20 digits plus the margin, in 1/256 of a digit.
    QCOMPARE(first[QStringLiteral("widths")].toObject()[QStringLiteral("1")].toInt(),
             int((20 + 5.0 / 7) * 256));
    QCOMPARE(out[QStringLiteral("active")].toInt(), 0);

    // Many strings force the shared string table across CONTINUE records.
    SheetData many(QStringLiteral("多"));
    for (int r = 1; r <= 3000; ++r)
        many.setCell(r, 1, Cell::fromText(QStringLiteral("物料编号%1-").arg(r) + QString(r % 40, u'x')));
    QVERIFY(writeWorkbookFile(path(QStringLiteral("many.xls")), BookView{{&many}, 0}, &error));
    const QString countScript =
        QStringLiteral("import sys, xlrd\ns = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                       "print(s.nrows, s.cell_value(2999, 0))");
    QCOMPARE(QString::fromUtf8(Python::run(countScript, {path(QStringLiteral("many.xls"))})).trimmed(),
             QStringLiteral("3000 物料编号3000-") + QString(3000 % 40, u'x'));
}

void TestSheetFiles::ourXlsxReadByPythonZipfile() {
    if (!QFile::exists(Python::kPath))
        QSKIP("/usr/bin/python3 is not installed");
    const std::vector<SheetData> sheets = sampleSheets();
    QString error;
    QVERIFY(writeWorkbookFile(path(QStringLiteral("py.xlsx")), viewOf(sheets, 0), &error));
    const QString script = QStringLiteral(R"(
import sys, zipfile, xml.etree.ElementTree as ET
ns = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
z = zipfile.ZipFile(sys.argv[1])
strings = ["".join(t.text or "" for t in si.iter("{%s}t" % ns["m"])) for si in ET.fromstring(z.read("xl/sharedStrings.xml")).findall("m:si", ns)]
styles = ET.fromstring(z.read("xl/styles.xml"))
xfs = [int(x.get("numFmtId", "0")) for x in styles.find("m:cellXfs", ns).findall("m:xf", ns)]
sheet = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
for c in sheet.iter("{%s}c" % ns["m"]):
    if c.get("r") in ("A2", "B2", "A1"):
        v = c.find("m:v", ns).text
        text = strings[int(v)] if c.get("t") == "s" else v
        print(c.get("r"), c.get("t") or "n", text, xfs[int(c.get("s", "0"))])
)");
    const QStringList lines =
        QString::fromUtf8(Python::run(script, {path(QStringLiteral("py.xlsx"))})).trimmed().split(u'\n');
    QCOMPARE(lines, QStringList({QStringLiteral("A1 s 物料名称 0"), QStringLiteral("A2 s 0012 49"),
                                 QStringLiteral("B2 n 2 0")}));
}

void TestSheetFiles::hostileXlsxParts() {
    SheetData plain(QStringLiteral("S"));
    plain.setCell(1, 1, Cell::fromText(QStringLiteral("x")));
    QString error;
    const QString base = path(QStringLiteral("base.xlsx"));
    QVERIFY(writeWorkbookFile(base, BookView{{&plain}, 0}, &error));
    QVERIFY(!readOk(base).sheets.empty());

    struct Case {
        const char *name;
        QByteArray sheet;
    };
    const QList<Case> cases{
        {"entity expansion",
         "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
         "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" "
         "t=\"str\"><v>&b;</v></c></row></sheetData></worksheet>"},
        {"shared string out of range", sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99999</v></c></row>")},
        {"negative shared string", sheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>-1</v></c></row>")},
        {"row beyond the sheet", sheetXml("<row r=\"1048577\"><c><v>1</v></c></row>")},
        {"cell beyond the sheet", sheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")},
        {"unclosed element", sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></row>")},
        {"truncated part", sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>").left(120)},
    };
    for (const Case &c : cases) {
        const QString file =
            path(QStringLiteral("hostile-%1.xlsx").arg(QString::fromLatin1(c.name).replace(u' ', u'-')));
        QFile::remove(file);
        QVERIFY(QFile::copy(base, file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY(putZipEntry(file, QStringLiteral("xl/worksheets/sheet1.xml"), c.sheet));
        BookContent book;
        QVERIFY2(!readWorkbookFile(file, &book, &error), c.name);
        QVERIFY2(!error.isEmpty(), c.name);
    }

    // A merged area keeps its top-left value only, and far merges cost no time.
    const QString merged = path(QStringLiteral("merged.xlsx"));
    QVERIFY(QFile::copy(base, merged));
    QFile::setPermissions(merged, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(putZipEntry(
        merged, QStringLiteral("xl/worksheets/sheet1.xml"),
        "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>top</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>hidden</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>5</v></c></row></sheetData>"
        "<mergeCells><mergeCell ref=\"A1:B2\"/><mergeCell ref=\"C1:XFD1048576\"/></mergeCells></worksheet>"));
    const BookContent book = readOk(merged);
    QCOMPARE(value(book.sheets[0], 1, 1), QStringLiteral("top"));
    QCOMPARE(value(book.sheets[0], 1, 2), QString());
    QCOMPARE(value(book.sheets[0], 2, 1), QString());
}

void TestSheetFiles::zipBombStopsAtTheLimit() {
    SheetData plain(QStringLiteral("S"));
    QString error;
    const QString bomb = path(QStringLiteral("bomb.xlsx"));
    QVERIFY(writeWorkbookFile(bomb, BookView{{&plain}, 0}, &error));
    // 64 MB of blanks inside the sheet compress to a few dozen kilobytes.
    QByteArray sheet = sheetXml(QByteArray());
    sheet.insert(sheet.indexOf("<sheetData>"), QByteArray(64 << 20, ' '));
    QVERIFY(putZipEntry(bomb, QStringLiteral("xl/worksheets/sheet1.xml"), sheet));
    QVERIFY(QFileInfo(bomb).size() < 1 << 20);
    ReadLimits limits;
    limits.maxInflatedBytes = 8 << 20;
    BookContent book;
    QVERIFY(!readWorkbookFile(bomb, &book, &error, limits));
    QVERIFY2(error.contains(QStringLiteral("压缩炸弹")), qPrintable(error));
}

void TestSheetFiles::absurdDimensions() {
    QString error;
    BookContent book;
    // .xlsx: a declared dimension of the whole sheet and one far cell cost nothing; a cell at the far end of
    // every row exhausts the cell budget and ends in an error instead of memory exhaustion.
    const QString far = path(QStringLiteral("far.xlsx"));
    SheetData plain(QStringLiteral("S"));
    QVERIFY(writeWorkbookFile(far, BookView{{&plain}, 0}, &error));
    QVERIFY(putZipEntry(far, QStringLiteral("xl/worksheets/sheet1.xml"),
                        "<worksheet><dimension ref=\"A1:XFD1048576\"/><sheetData><row r=\"1048576\">"
                        "<c r=\"XFD1048576\"><v>1</v></c></row></sheetData></worksheet>"));
    QVERIFY2(readWorkbookFile(far, &book, &error), qPrintable(error));
    QCOMPARE(book.sheets[0].lastRow(), kMaxRows);
    QByteArray rows;
    for (int r = 1; r <= 400; ++r)
        rows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"XFD" + QByteArray::number(r) +
                "\"><v>1</v></c></row>";
    QVERIFY(putZipEntry(far, QStringLiteral("xl/worksheets/sheet1.xml"), sheetXml(rows)));
    QVERIFY(!readWorkbookFile(far, &book, &error));
    QVERIFY2(error.contains(QStringLiteral("上限")), qPrintable(error));

    // .xls: a sheet claiming every row and column is refused before anything is allocated for it.
    SheetData small(QStringLiteral("S"));
    small.setCell(1, 1, Cell::fromNumber(1));
    QByteArray stream;
    QVERIFY(biff8::buildWorkbookStream(BookView{{&small}, 0}, &stream, &error));
    QByteArray declared = stream;
    const qsizetype dims = declared.indexOf(QByteArray("\x00\x02\x0E\x00", 4));
    QVERIFY(dims > 0);
    qToLittleEndian(quint32(65536), declared.data() + dims + 4 + 4);
    qToLittleEndian(quint16(256), declared.data() + dims + 4 + 10);
    const QString absurd = path(QStringLiteral("absurd.xls"));
    QVERIFY(TestFiles::write(absurd, cfb::build(QStringLiteral("Workbook"), declared)));
    QVERIFY(!readWorkbookFile(absurd, &book, &error));
    QVERIFY2(error.contains(QStringLiteral("过大")), qPrintable(error));
    // The same for a cell record that lies far out while the declared size is small.
    QByteArray used = stream;
    const qsizetype number = used.indexOf(QByteArray("\x03\x02\x0E\x00", 4));
    QVERIFY(number > 0);
    qToLittleEndian(quint16(65535), used.data() + number + 4);
    qToLittleEndian(quint16(255), used.data() + number + 6);
    QVERIFY(TestFiles::write(absurd, cfb::build(QStringLiteral("Workbook"), used)));
    QVERIFY(!readWorkbookFile(absurd, &book, &error));
}

// Each of these once made the former reader read out of bounds or leak; the scan refuses them first.
void TestSheetFiles::brokenBiffStructureIsRefused() {
    const std::vector<SheetData> sheets = sampleSheets();
    QByteArray stream;
    QString error;
    QVERIFY(biff8::buildWorkbookStream(viewOf(sheets, 0), &stream, &error));
    auto refused = [&](const QByteArray &damaged, const char *what) {
        const QString broken = path(QStringLiteral("broken.xls"));
        if (!TestFiles::write(broken, cfb::build(QStringLiteral("Workbook"), damaged)))
            return false;
        BookContent book;
        const bool read = readWorkbookFile(broken, &book, &error);
        if (read)
            qWarning("%s was read", what);
        return !read && !error.isEmpty();
    };
    const qsizetype sst = stream.indexOf(QByteArray("\xFC\x00", 2));
    QByteArray longString = stream;
    qToLittleEndian(quint16(60000), longString.data() + sst + 4 + 8); // first string claims 60000 characters
    QVERIFY(refused(longString, "a string longer than the table"));
    QByteArray swallowing = stream;
    const qsizetype label = stream.indexOf(QByteArray("\xFD\x00\x0A\x00", 4));
    qToLittleEndian(quint16(88), swallowing.data() + label + 2); // a cell record swallowing its neighbours
    QVERIFY(refused(swallowing, "a cell record of the wrong size"));
    QByteArray noEof = stream;
    noEof.chop(4); // the last sheet loses its EOF
    QVERIFY(refused(noEof, "a sheet without EOF"));
    QByteArray noDimensions = stream;
    const qsizetype dims = noDimensions.indexOf(QByteArray("\x00\x02\x0E\x00", 4));
    noDimensions[dims] = char(0xF6);
    QVERIFY(refused(noDimensions, "a sheet without DIMENSIONS"));
    QByteArray misplaced = stream;
    const qsizetype boundSheet = misplaced.indexOf(QByteArray("\x85\x00", 2));
    qToLittleEndian(qFromLittleEndian<quint32>(misplaced.constData() + boundSheet + 4) + 4,
                    misplaced.data() + boundSheet + 4); // the sheet list points inside a record
    QVERIFY(refused(misplaced, "a sheet list entry inside a record"));
}

void TestSheetFiles::mutatedFilesNeverCrash() {
    const std::vector<SheetData> sheets = sampleSheets();
    QString error;
    for (const QString &name : {QStringLiteral("fuzz.xlsx"), QStringLiteral("fuzz.xls")}) {
        QVERIFY(writeWorkbookFile(path(name), viewOf(sheets, 0), &error));
        const QByteArray original = TestFiles::read(path(name));
        QVERIFY(!original.isEmpty());
        QRandomGenerator random(20240601);
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = original;
            const int edits = 1 + random.bounded(8);
            for (int e = 0; e < edits; ++e)
                bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
            if (round % 10 == 0)
                bytes.truncate(random.bounded(int(bytes.size())));
            const QString mutated = path(QStringLiteral("mutated-") + name);
            QVERIFY(TestFiles::write(mutated, bytes));
            BookContent book;
            // Either outcome is fine; what matters is returning, without a crash or a sanitizer report.
            if (!readWorkbookFile(mutated, &book, &error))
                QVERIFY(!error.isEmpty());
        }
    }
}

QTEST_GUILESS_MAIN(TestSheetFiles)
#include "tst_SheetFiles.moc"
