// Pure pieces of the spreadsheet: addresses, number texts, CSV, the compound file and BIFF8 records.
#include "platform/sheet/Biff8Writer.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/CellText.h"
#include "platform/sheet/CompoundFile.h"
#include "platform/sheet/CsvFormat.h"
#include "platform/sheet/NumberText.h"
#include "platform/sheet/XlsReader.h"
#include "platform/sheet/XlsxReader.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

using namespace tavlo::sheet;

class TestSheetText : public QObject {
    Q_OBJECT

private slots:
    void columnLettersBothWays_data();
    void columnLettersBothWays();
    void cellAddresses();
    void generalFormat_data();
    void generalFormat();
    void fullValues();
    void typedNumbers_data();
    void typedNumbers();
    void dates();
    void csvParsing();
    void csvWritingQuotesWhatNeedsIt();
    void csvRoundTripKeepsPositions();
    void sheetStorageUsedRange();
    void sheetStorageRefusesBeyondLimit();
    void fittingWidths();
    void partNamesAndEscapes();
    void biffStringsAndRecords();
    void sharedStringsSplitAcrossContinue();
    void compoundFileRoundTripSmallAndLarge();
    void compoundFileRefusesLoopsAndForeignSectors();
    void compoundFileReadsMiniStreamOfCorpusFile();
    void probeCountsDeclaredAndUsedArea();
};

void TestSheetText::columnLettersBothWays_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("letters");
    QTest::newRow("A") << 1 << "A";
    QTest::newRow("Z") << 26 << "Z";
    QTest::newRow("AA") << 27 << "AA";
    QTest::newRow("IV") << 256 << "IV";
    QTest::newRow("IW") << 257 << "IW";
    QTest::newRow("ZZ") << 702 << "ZZ";
    QTest::newRow("AAA") << 703 << "AAA";
    QTest::newRow("XFD") << 16384 << "XFD";
}

void TestSheetText::columnLettersBothWays() {
    QFETCH(int, column);
    QFETCH(QString, letters);
    QCOMPARE(columnLetters(column), letters);
    QCOMPARE(columnFromLetters(letters), column);
    QCOMPARE(columnFromLetters(letters.toLower()), column);
}

void TestSheetText::cellAddresses() {
    int row = 0;
    int column = 0;
    QVERIFY(parseCellAddress(u"B12", &row, &column));
    QCOMPARE(row, 12);
    QCOMPARE(column, 2);
    QVERIFY(parseCellAddress(u"$XFD$1048576", &row, &column));
    QCOMPARE(row, 1048576);
    QCOMPARE(column, 16384);
    for (const char16_t *bad :
         {u"", u"B", u"12", u"B0", u"XFE1", u"A1048577", u"A-1", u"A1x", u"Ä1", u"B99999999999"})
        QVERIFY2(!parseCellAddress(QStringView(bad), &row, &column), qPrintable(QString::fromUtf16(bad)));
    QCOMPARE(columnLetters(0), QString());
    QCOMPARE(columnLetters(16385), QString());
    QCOMPARE(columnFromLetters(u"XFE"), 0);
    QCOMPARE(columnFromLetters(u"A1"), 0);
    QCOMPARE(cellAddress(3, 28), QStringLiteral("AB3"));
}

void TestSheetText::generalFormat_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("integer") << 2.0 << "2";
    QTest::newRow("decimal") << 12500.5 << "12500.5";
    QTest::newRow("binary fraction") << 0.1 + 0.2 << "0.3";
    QTest::newRow("third") << 1.0 / 3 << "0.333333333";
    QTest::newRow("negative") << -1.5 << "-1.5";
    QTest::newRow("eleven digits") << 99999999999.0 << "99999999999";
    QTest::newRow("twelve digits") << 123456789012.0 << "1.23457E+11";
    QTest::newRow("long decimal") << 1234567.891234 << "1234567.891";
    QTest::newRow("large") << 1e20 << "1E+20";
    QTest::newRow("small") << 1e-7 << "1E-07";
    QTest::newRow("ten thousandth") << 0.0001 << "0.0001";
    QTest::newRow("three digit exponent") << 1.5e-100 << "1.5E-100";
    QTest::newRow("rounds up to scientific") << 99999999999.7 << "1E+11";
    QTest::newRow("zero") << 0.0 << "0";
}

void TestSheetText::generalFormat() {
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(generalText(value), shown);
}

void TestSheetText::fullValues() {
    QCOMPARE(valueText(123456789012.0), QStringLiteral("123456789012"));
    QCOMPARE(valueText(0.1 + 0.2), QStringLiteral("0.3"));
    QCOMPARE(valueText(12500.5), QStringLiteral("12500.5"));
    QCOMPARE(valueText(1e20), QStringLiteral("1E+20"));
    QCOMPARE(valueText(-0.0), QStringLiteral("0"));
    // A cell's value keeps the digits its shown text rounds away.
    const Cell cell = Cell::fromNumber(123456789012.0);
    QCOMPARE(shownText(cell, QStringLiteral("General")), QStringLiteral("1.23457E+11"));
    QCOMPARE(valueText(cell, QStringLiteral("General")), QStringLiteral("123456789012"));
    QCOMPARE(shownText(Cell::fromBoolean(true), QString()), QStringLiteral("TRUE"));
}

void TestSheetText::typedNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("leading zeros") << "0012" << true << 12.0;
    QTest::newRow("blanks around") << "  12.5 " << true << 12.5;
    QTest::newRow("exponent") << "1.5E3" << true << 1500.0;
    QTest::newRow("negative") << "-7" << true << -7.0;
    QTest::newRow("fifteen digits") << "123456789012345" << true << 123456789012345.0;
    QTest::newRow("identity number") << "110101199003071234" << false << 0.0;
    QTest::newRow("sixteen digits after zeros") << "0.0000123456789012345" << true << 0.0000123456789012345;
    QTest::newRow("sixteen significant") << "1234567890.123456" << false << 0.0;
    QTest::newRow("trailing zeros do not count") << "12345678901234.500" << true << 12345678901234.5;
    QTest::newRow("text") << "DN50" << false << 0.0;
    QTest::newRow("date-like") << "2024-05" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("huge") << "1e400" << false << 0.0;
    QTest::newRow("full-width digits") << "１２" << false << 0.0;
}

void TestSheetText::typedNumbers() {
    QFETCH(QString, typed);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    double parsed = -1;
    QCOMPARE(parseTypedNumber(typed, &parsed), isNumber);
    if (isNumber)
        QCOMPARE(parsed, value);
}

void TestSheetText::dates() {
    QVERIFY(isDateTimeFormat(QStringLiteral("yyyy/m/d")));
    QVERIFY(isDateTimeFormat(QStringLiteral("[$-804]yyyy\"年\"m\"月\"d\"日\"")));
    QVERIFY(isDateTimeFormat(QStringLiteral("h:mm")));
    QVERIFY(isDateTimeFormat(builtinNumberFormat(31)));
    QVERIFY(!isDateTimeFormat(QStringLiteral("General")));
    QVERIFY(!isDateTimeFormat(QStringLiteral("@")));
    QVERIFY(!isDateTimeFormat(QStringLiteral("#,##0.00")));
    QVERIFY(!isDateTimeFormat(QStringLiteral("[Red]0.00;\"days\"")));
    QCOMPARE(dateTimeText(45444, QStringLiteral("yyyy/m/d")), QStringLiteral("2024-06-01"));
    QCOMPARE(dateTimeText(45444.75, QStringLiteral("yyyy/m/d h:mm")), QStringLiteral("2024-06-01 18:00:00"));
    QCOMPARE(dateTimeText(0.5, QStringLiteral("h:mm:ss")), QStringLiteral("12:00:00"));
    QCOMPARE(dateTimeText(1, QStringLiteral("yyyy-mm-dd")), QStringLiteral("1900-01-01"));
    QCOMPARE(dateTimeText(60, QStringLiteral("yyyy-mm-dd")), QStringLiteral("1900-02-29"));
    QCOMPARE(dateTimeText(61, QStringLiteral("yyyy-mm-dd")), QStringLiteral("1900-03-01"));
    QCOMPARE(dateTimeText(-1, QStringLiteral("yyyy-mm-dd")), QString());
    for (const QString &text : {QStringLiteral("1900-01-01"), QStringLiteral("1900-03-01"),
                                QStringLiteral("2024-06-01 18:00:00"), QStringLiteral("23:59:59")}) {
        double serial = 0;
        QVERIFY(parseDateTimeText(text, &serial));
        const QString code =
            text.contains(u'-')
                ? (text.contains(u':') ? QStringLiteral("yyyy-mm-dd hh:mm:ss") : QStringLiteral("yyyy-mm-dd"))
                : QStringLiteral("hh:mm:ss");
        QCOMPARE(dateTimeText(serial, code), text);
    }
    double serial = 0;
    QVERIFY(!parseDateTimeText(QStringLiteral("2024-02-30"), &serial));
    QVERIFY(!parseDateTimeText(QStringLiteral("soon"), &serial));
    // A number in a date-formatted cell shows as a date.
    QCOMPARE(shownText(Cell::fromNumber(45444), QStringLiteral("yyyy/m/d")), QStringLiteral("2024-06-01"));
}

void TestSheetText::csvParsing() {
    SheetData sheet;
    QString error;
    QVERIFY(csv::parse(QStringLiteral("a,\"b,1\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",,x\n\n0012"), &sheet,
                       {}, &error));
    QCOMPARE(sheet.cell(1, 1)->text, QStringLiteral("a"));
    QCOMPARE(sheet.cell(1, 2)->text, QStringLiteral("b,1"));
    QCOMPARE(sheet.cell(1, 3)->text, QStringLiteral("say \"hi\""));
    QCOMPARE(sheet.cell(2, 1)->text, QStringLiteral("two\nlines"));
    QVERIFY(sheet.cell(2, 2) == nullptr);
    QCOMPARE(sheet.cell(2, 3)->text, QStringLiteral("x"));
    QVERIFY(sheet.cell(3, 1) == nullptr);
    // Fields stay text: a code keeps its leading zeros.
    QCOMPARE(sheet.cell(4, 1)->kind, CellKind::Text);
    QCOMPARE(sheet.cell(4, 1)->text, QStringLiteral("0012"));

    SheetData tabbed;
    QVERIFY(csv::parse(QStringLiteral("名称\t单位\n离心泵\t台\n"), &tabbed, {}, &error));
    QCOMPARE(tabbed.cell(2, 2)->text, QStringLiteral("台"));

    // An unterminated quote takes the rest of the text and still ends.
    SheetData open;
    QVERIFY(csv::parse(QStringLiteral("\"never closed,\nstill"), &open, {}, &error));
    QCOMPARE(open.cell(1, 1)->text, QStringLiteral("never closed,\nstill"));

    ReadLimits tight;
    tight.maxCellSlots = 10;
    SheetData big;
    QVERIFY(!csv::parse(QString(QStringLiteral("x,")).repeated(20), &big, tight, &error));
    QVERIFY(!error.isEmpty());
}

void TestSheetText::csvWritingQuotesWhatNeedsIt() {
    SheetData sheet;
    sheet.setCell(1, 1, Cell::fromText(QStringLiteral("plain")));
    sheet.setCell(1, 2, Cell::fromText(QStringLiteral("a,b")));
    sheet.setCell(1, 3, Cell::fromText(QStringLiteral("say \"x\"")));
    sheet.setCell(1, 4, Cell::fromText(QStringLiteral(" padded")));
    sheet.setCell(2, 1, Cell::fromNumber(0.1 + 0.2));
    sheet.setCell(2, 3, Cell::fromText(QStringLiteral("two\nlines")));
    sheet.setCell(4, 2, Cell::fromNumber(123456789012.0)); // all digits, not "1.23457E+11"
    QCOMPARE(csv::write(sheet), QStringLiteral("plain,\"a,b\",\"say \"\"x\"\"\",\" padded\"\r\n"
                                               "0.3,,\"two\nlines\"\r\n"
                                               "\r\n"
                                               ",123456789012\r\n"));
}

void TestSheetText::csvRoundTripKeepsPositions() {
    SheetData sheet;
    sheet.setCell(3, 2, Cell::fromText(QStringLiteral("离心泵")));
    sheet.setCell(5, 4, Cell::fromText(QStringLiteral("a\"b")));
    SheetData back;
    QString error;
    QVERIFY(csv::parse(csv::write(sheet), &back, {}, &error));
    QCOMPARE(back.cell(3, 2)->text, QStringLiteral("离心泵"));
    QCOMPARE(back.cell(5, 4)->text, QStringLiteral("a\"b"));
    QCOMPARE(back.lastRow(), 5);
    QCOMPARE(back.lastColumn(), 4);
}

void TestSheetText::sheetStorageUsedRange() {
    SheetData sheet;
    QVERIFY(sheet.isEmpty());
    QCOMPARE(sheet.lastRow(), 0);
    sheet.setCell(4, 3, Cell::fromText(QStringLiteral("x")));
    sheet.setCell(2, 5, Cell::fromNumber(1));
    QCOMPARE(sheet.firstRow(), 2);
    QCOMPARE(sheet.lastRow(), 4);
    QCOMPARE(sheet.firstColumn(), 3);
    QCOMPARE(sheet.lastColumn(), 5);
    // A format alone keeps a cell in use.
    const quint16 text = sheet.internFormat(QStringLiteral("@"));
    sheet.setCell(9, 1, Cell{{}, 0, text, CellKind::Empty});
    QCOMPARE(sheet.lastRow(), 9);
    QCOMPARE(sheet.firstColumn(), 1);
    sheet.clearCell(9, 1);
    sheet.clearCell(2, 5);
    QCOMPARE(sheet.lastRow(), 4);
    QCOMPARE(sheet.firstRow(), 4);
    QCOMPARE(sheet.lastColumn(), 3);
    QCOMPARE(sheet.cellSlots(), 3);
    QCOMPARE(sheet.internFormat(QStringLiteral("General")), quint16(0));
    QCOMPARE(sheet.internFormat(QStringLiteral("@")), text);
    sheet.setColumnFormat(7, text);
    QCOMPARE(sheet.effectiveFormat(100, 7), QStringLiteral("@"));
    QCOMPARE(sheet.effectiveFormat(100, 6), QStringLiteral("General"));
}

void TestSheetText::sheetStorageRefusesBeyondLimit() {
    SheetData sheet;
    QVERIFY(!sheet.setCell(0, 1, Cell::fromNumber(1)));
    QVERIFY(!sheet.setCell(1, kMaxColumns + 1, Cell::fromNumber(1)));
    QVERIFY(sheet.setCell(1, 100, Cell::fromNumber(1), 100));
    QCOMPARE(sheet.cellSlots(), 100);
    // A far cell costs its whole row: the limit counts slots, not cells.
    QVERIFY(!sheet.setCell(2, 1000, Cell::fromNumber(1), 1000));
    QVERIFY(sheet.cell(2, 1000) == nullptr);
}

void TestSheetText::fittingWidths() {
    QCOMPARE(fittingColumnWidth(QString()), 0.0);
    QCOMPARE(fittingColumnWidth(QStringLiteral("abcd")), 5.0);
    QCOMPARE(fittingColumnWidth(QStringLiteral("离心泵")), 7.0);
    QCOMPARE(fittingColumnWidth(QStringLiteral("ab\n离心泵泵")), 9.0);
    QCOMPARE(fittingColumnWidth(QString(1000, u'x')), kMaxColumnWidth);
}

void TestSheetText::partNamesAndEscapes() {
    QCOMPARE(
        xlsx::resolvePartName(QStringLiteral("xl/workbook.xml"), QStringLiteral("worksheets/sheet1.xml")),
        QStringLiteral("xl/worksheets/sheet1.xml"));
    QCOMPARE(
        xlsx::resolvePartName(QStringLiteral("xl/workbook.xml"), QStringLiteral("/xl/worksheets/sheet1.xml")),
        QStringLiteral("xl/worksheets/sheet1.xml"));
    QCOMPARE(xlsx::resolvePartName(QStringLiteral("xl/worksheets/sheet1.xml"),
                                   QStringLiteral("../sharedStrings.xml")),
             QStringLiteral("xl/sharedStrings.xml"));
    QCOMPARE(xlsx::resolvePartName(QString(), QStringLiteral("../../../etc/passwd")),
             QStringLiteral("etc/passwd"));
    QCOMPARE(xlsx::decodeEscapes(QStringLiteral("a_x000D_b_x0009_")), QStringLiteral("a\rb\t"));
    QCOMPARE(xlsx::decodeEscapes(QStringLiteral("_xZZZZ_ and _x12")), QStringLiteral("_xZZZZ_ and _x12"));
}

void TestSheetText::biffStringsAndRecords() {
    QCOMPARE(biff8::record(0x0042, QByteArray("\xB0\x04", 2)), QByteArray("\x42\x00\x02\x00\xB0\x04", 6));
    // Latin-1 text is stored one byte per character, anything else as UTF-16LE.
    QCOMPARE(biff8::unicodeString(QStringLiteral("ab")), QByteArray("\x02\x00\x00"
                                                                    "ab",
                                                                    5));
    QCOMPARE(biff8::unicodeString(QStringLiteral("泵")), QByteArray("\x01\x00\x01\xF5\x6C", 5));
    QCOMPARE(biff8::shortUnicodeString(QStringLiteral("S1")), QByteArray("\x02\x00"
                                                                         "S1",
                                                                         4));
    QVERIFY(biff8::isValidSheetName(QStringLiteral("译稿")));
    QVERIFY(!biff8::isValidSheetName(QString()));
    QVERIFY(!biff8::isValidSheetName(QString(32, u'x')));
    QVERIFY(!biff8::isValidSheetName(QStringLiteral("a/b")));
    QVERIFY(!biff8::isValidSheetName(QStringLiteral("'quoted'")));
    QCOMPARE(biff8::builtinFormatId(QStringLiteral("@")), 49);
    QCOMPARE(biff8::builtinFormatId(QStringLiteral("0.00")), 2);
    QCOMPARE(biff8::builtinFormatId(QStringLiteral("0.000")), -1);
}

// Walks SST + CONTINUE records and rebuilds the strings as a reader must.
static QStringList readSharedStrings(const QByteArray &records) {
    QList<QByteArray> payloads;
    for (qsizetype at = 0; at + 4 <= records.size();) {
        const quint16 length = qFromLittleEndian<quint16>(records.constData() + at + 2);
        payloads.append(records.mid(at + 4, length));
        at += 4 + length;
    }
    QStringList strings;
    int record = 0;
    qsizetype pos = 8;
    const quint32 unique = qFromLittleEndian<quint32>(payloads[0].constData() + 4);
    for (quint32 i = 0; i < unique; ++i) {
        if (pos >= payloads[record].size()) {
            ++record;
            pos = 0;
        }
        const QByteArray &p = payloads[record];
        int remaining = qFromLittleEndian<quint16>(p.constData() + pos);
        bool wide = p[pos + 2] & 1;
        pos += 3;
        QString text;
        while (remaining > 0) {
            if (pos >= payloads[record].size()) {
                ++record;
                wide = payloads[record][0] & 1;
                pos = 1;
            }
            const QByteArray &q = payloads[record];
            if (wide) {
                text += QChar(qFromLittleEndian<quint16>(q.constData() + pos));
                pos += 2;
            } else {
                text += QChar(uchar(q[pos]));
                pos += 1;
            }
            --remaining;
        }
        strings.append(text);
    }
    return strings;
}

void TestSheetText::sharedStringsSplitAcrossContinue() {
    QStringList strings;
    for (int i = 0; i < 3000; ++i)
        strings.append(i % 3 == 0 ? QStringLiteral("物料%1").arg(i) : QStringLiteral("item %1").arg(i));
    strings.append(QString(20000, u'泵')); // longer than a record: must continue with its flags byte
    strings.append(QString(9000, u'x'));
    strings.append(QString());
    const biff8::SharedStrings sst = biff8::buildSharedStrings(strings, 5000, 1000);
    QCOMPARE(qFromLittleEndian<quint16>(sst.records.constData()), quint16(0x00FC));
    for (qsizetype at = 0; at + 4 <= sst.records.size();) {
        const quint16 length = qFromLittleEndian<quint16>(sst.records.constData() + at + 2);
        QVERIFY(length <= biff8::kMaxRecordData);
        at += 4 + length;
    }
    QCOMPARE(readSharedStrings(sst.records), strings);
    // The index points at the first string of each bucket.
    const quint16 bucket = qFromLittleEndian<quint16>(sst.extsst.constData() + 4);
    QVERIFY(bucket >= 8);
    const quint32 firstPos = qFromLittleEndian<quint32>(sst.extsst.constData() + 6);
    QCOMPARE(firstPos, quint32(1000 + 4 + 8));
}

void TestSheetText::compoundFileRoundTripSmallAndLarge() {
    for (const qsizetype size : {qsizetype(100), qsizetype(5000), qsizetype(9'000'000)}) {
        QByteArray stream(size, '\0');
        for (qsizetype i = 0; i < size; ++i)
            stream[i] = char(i * 7 + i / 511);
        const QByteArray file = cfb::build(QStringLiteral("Workbook"), stream);
        QCOMPARE(file.size() % 512, 0);
        QByteArray back;
        QString error;
        QVERIFY2(cfb::readStream(file, {QStringLiteral("workbook")}, &back, &error), qPrintable(error));
        // Short streams are padded to the mini-stream cutoff so they live in ordinary sectors.
        QCOMPARE(back.left(size), stream);
        QCOMPARE(back.size(), std::max<qsizetype>(size, 4096));
        if (size > 8'000'000)
            QVERIFY(qFromLittleEndian<quint32>(file.constData() + 72) > 0); // needs DIFAT sectors
    }
}

void TestSheetText::compoundFileRefusesLoopsAndForeignSectors() {
    QByteArray stream(10000, 'x');
    const QByteArray good = cfb::build(QStringLiteral("Workbook"), stream);
    QByteArray back;
    QString error;
    // FAT sector: the sector after data (20 sectors) and directory (1).
    const qsizetype fatAt = 512 + 21 * 512;
    QByteArray loop = good;
    qToLittleEndian(quint32(0), loop.data() + fatAt + 5 * 4); // sector 5 points back to 0
    QVERIFY(!cfb::readStream(loop, {QStringLiteral("Workbook")}, &back, &error));
    QVERIFY(!error.isEmpty());
    QByteArray foreign = good;
    qToLittleEndian(quint32(999999), foreign.data() + fatAt + 3 * 4);
    QVERIFY(!cfb::readStream(foreign, {QStringLiteral("Workbook")}, &back, &error));
    QByteArray hugeSize = good;
    qToLittleEndian(quint32(0x7FFFFFFF), hugeSize.data() + 512 + 20 * 512 + 128 + 120);
    QVERIFY(!cfb::readStream(hugeSize, {QStringLiteral("Workbook")}, &back, &error));
    QVERIFY(!cfb::readStream(good.left(700), {QStringLiteral("Workbook")}, &back, &error));
    QVERIFY(!cfb::readStream(QByteArray(4096, '\xD0'), {QStringLiteral("Workbook")}, &back, &error));
    QVERIFY(!cfb::readStream(good, {QStringLiteral("Other")}, &back, &error));
}

void TestSheetText::compoundFileReadsMiniStreamOfCorpusFile() {
    QFile file(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/mis-office.xls"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray stream;
    QString error;
    QVERIFY2(cfb::readStream(file.readAll(), {QStringLiteral("Workbook"), QStringLiteral("Book")}, &stream,
                             &error),
             qPrintable(error));
    xls::Scan probe;
    QVERIFY2(xls::scanWorkbookStream(stream, &probe, &error), qPrintable(error));
    QCOMPARE(probe.sheetCount, 1);
    QCOMPARE(probe.cellArea, qint64(4 * 11));
    QVERIFY(!probe.encrypted);
}

void TestSheetText::probeCountsDeclaredAndUsedArea() {
    SheetData sheet(QStringLiteral("S"));
    sheet.setCell(3, 2, Cell::fromNumber(1));
    BookView view{{&sheet}, 0};
    QByteArray stream;
    QString error;
    QVERIFY(biff8::buildWorkbookStream(view, &stream, &error));
    xls::Scan probe;
    QVERIFY(xls::scanWorkbookStream(stream, &probe, &error));
    QCOMPARE(probe.cellArea, qint64(3 * 2));
    // A record that claims more bytes than remain is damage, not a reason to read past the end.
    QVERIFY(!xls::scanWorkbookStream(stream.left(stream.size() - 10), &probe, &error));
    QVERIFY(!xls::scanWorkbookStream(QByteArray("\x09\x08\xFF\xFF", 4), &probe, &error));
    QVERIFY(!xls::scanWorkbookStream(QByteArray(), &probe, &error));
}

QTEST_GUILESS_MAIN(TestSheetText)
#include "tst_SheetText.moc"
