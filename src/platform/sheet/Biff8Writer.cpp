#include "Biff8Writer.h"

#include "Biff8Records.h"

#include "CellAddress.h"
#include "NumberText.h"

#include <QHash>
#include <QtEndian>

#include <cstring>

namespace tavlo::sheet::biff8 {

namespace {

constexpr int kFirstCellXf = 21; // 0..14 style XFs, 15 the default cell XF, 16..20 built-in styles
constexpr int kDefaultCellXf = 15;
constexpr int kFirstCustomFormat = 164;

// Little-endian payload builder.
class Bytes {
public:
    Bytes &u8(quint8 v) {
        m_data.append(char(v));
        return *this;
    }
    Bytes &u16(quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        m_data.append(b, 2);
        return *this;
    }
    Bytes &u32(quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        m_data.append(b, 4);
        return *this;
    }
    Bytes &f64(double v) {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        char b[8];
        qToLittleEndian(bits, b);
        m_data.append(b, 8);
        return *this;
    }
    Bytes &raw(const QByteArray &b) {
        m_data.append(b);
        return *this;
    }
    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
};

bool isCompressible(const QString &text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

QByteArray characters(const QString &text, bool compressed) {
    QByteArray out;
    out.reserve(text.size() * (compressed ? 1 : 2));
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        if (!compressed)
            out.append(char(c.unicode() >> 8));
    }
    return out;
}

// How many of the `room` code units from `done` on may go into one record: a character made of a
// surrogate pair is never cut in two, or readers that decode each record's part apart choke on it.
qsizetype unitsThatFit(const QString &text, qsizetype done, qsizetype room) {
    const qsizetype take = std::min(room, text.size() - done);
    if (take > 0 && done + take < text.size() && text[done + take - 1].isHighSurrogate() &&
        text[done + take].isLowSurrogate())
        return take - 1;
    return take;
}

QByteArray bof(quint16 kind) {
    // BIFF8, build 3515 of 1996, no file history, lowest version 6.
    return record(kBof, Bytes().u16(0x0600).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0).u32(6).data());
}

QByteArray font() {
    return record(kFont, Bytes()
                             .u16(240)    // 12 pt
                             .u16(0)      // no attributes
                             .u16(0x7FFF) // automatic colour
                             .u16(400)    // normal weight
                             .u16(0)      // no super/subscript
                             .u8(0)       // no underline
                             .u8(0)       // font family
                             .u8(0x86)    // GB2312 character set
                             .u8(0)
                             .raw(shortUnicodeString(QStringLiteral("宋体")))
                             .data());
}

// An XF record. `style` XFs describe cell styles; cell XFs point to their parent style XF 0.
QByteArray xf(quint16 fontIndex, quint16 formatId, bool style, quint8 usedAttributes) {
    return record(kXf, Bytes()
                           .u16(fontIndex)
                           .u16(formatId)
                           .u16(style ? 0xFFF5 : 0x0001) // locked; style XF with no parent, or parent 0
                           .u8(0x20)                     // general alignment, bottom
                           .u8(0)
                           .u8(0)
                           .u8(usedAttributes)
                           .u32(0) // no borders
                           .u32(0)
                           .u16(0x20C0) // automatic pattern colours
                           .data());
}

QByteArray builtinStyle(quint16 xfIndex, quint8 styleId) {
    return record(kStyle, Bytes().u16(0x8000 | xfIndex).u8(styleId).u8(0xFF).data());
}

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

// The number formats and shared strings of the whole book, in the order the records need them.
struct BookTables {
    QStringList formatCodes;           // codes that need an XF of their own, in XF order
    QHash<QString, int> xfOfFormat;    // code -> XF index
    QStringList strings;               // shared strings in first-use order
    QHash<QString, quint32> stringIds; // string -> SST index
    quint32 stringReferences = 0;

    int xfFor(const QString &code) const { return xfOfFormat.value(code, kDefaultCellXf); }
    void addFormat(const QString &code) {
        if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
            xfOfFormat.contains(code))
            return;
        xfOfFormat.insert(code, kFirstCellXf + int(formatCodes.size()));
        formatCodes.append(code);
    }
    quint32 addString(const QString &text) {
        ++stringReferences;
        const auto it = stringIds.constFind(text);
        if (it != stringIds.constEnd())
            return it.value();
        const quint32 id = quint32(strings.size());
        stringIds.insert(text, id);
        strings.append(text);
        return id;
    }
};

bool checkSheet(const SheetData &sheet, QString *error) {
    if (!isValidSheetName(sheet.name()))
        return fail(error, QStringLiteral("工作表名“%1”不能用于 .xls 文件").arg(sheet.name()));
    if (sheet.lastRow() > kMaxXlsRows || sheet.lastColumn() > kMaxXlsColumns)
        return fail(error, QStringLiteral("工作表“%1”超出 .xls 格式的 %2 行、%3 列上限，请另存为 .xlsx")
                               .arg(sheet.name())
                               .arg(kMaxXlsRows)
                               .arg(kMaxXlsColumns));
    bool tooLong = false;
    sheet.forEachCell([&](int, int, const Cell &cell) {
        if (cell.kind == CellKind::Text && cell.text.size() > 32767)
            tooLong = true;
    });
    if (tooLong)
        return fail(error, QStringLiteral("工作表“%1”中有超过 32767 个字符的单元格").arg(sheet.name()));
    return true;
}

// A record whose payload may exceed one record: the rest goes into CONTINUE records. A string's
// characters split only between characters, and each CONTINUE holding them starts with the flags byte.
QByteArray continuedString(quint16 type, const QString &text) {
    const bool compressed = isCompressible(text);
    const int charBytes = compressed ? 1 : 2;
    QByteArray out;
    QByteArray current = Bytes().u16(quint16(text.size())).u8(compressed ? 0 : 1).data();
    bool first = true;
    qsizetype done = 0;
    for (;;) {
        const qsizetype room = (kMaxRecordData - current.size()) / charBytes;
        const qsizetype take = unitsThatFit(text, done, room);
        current += characters(text.mid(done, take), compressed);
        done += take;
        out += record(first ? type : quint16(kContinue), current);
        first = false;
        if (done >= text.size())
            return out;
        current = QByteArray(1, char(compressed ? 0 : 1));
    }
}

// A formula cell as an office program saves it: the tokens as read, the last result, and for a text
// result the STRING record that carries it.
QByteArray formulaRecords(Bytes head, const Cell &cell, const QByteArray &tokens) {
    Bytes result;
    switch (cell.kind) {
    case CellKind::Number:
        result.f64(cell.number);
        break;
    case CellKind::Text:
        result.u8(cell.text.isEmpty() ? 3 : 0).u8(0).u32(0).u16(0xFFFF);
        break;
    case CellKind::Boolean:
        result.u8(1).u8(0).u8(cell.number != 0 ? 1 : 0).u8(0).u16(0).u16(0xFFFF);
        break;
    case CellKind::Error:
        result.u8(2).u8(0).u8(quint8(cell.number)).u8(0).u16(0).u16(0xFFFF);
        break;
    case CellKind::Empty:
        result.u8(3).u8(0).u32(0).u16(0xFFFF);
        break;
    }
    QByteArray out = record(kFormula, head.raw(result.data())
                                          .u16(kFormulaCalcOnLoad)
                                          .u32(0)
                                          .u16(quint16(tokens.size()))
                                          .raw(tokens)
                                          .data());
    if (cell.kind == CellKind::Text && !cell.text.isEmpty())
        out += continuedString(kString, cell.text);
    return out;
}

QByteArray sheetStream(const SheetData &sheet, bool active, BookTables &tables) {
    QByteArray out = bof(0x0010);
    out += record(kDefColWidth, Bytes().u16(8).data());
    for (int c = 1; c <= std::min(sheet.columnInfoCount(), kMaxXlsColumns); ++c) {
        const quint16 format = sheet.columnFormat(c);
        if (!sheet.hasCustomWidth(c) && format == 0)
            continue;
        // Widths are stored in 1/256 of a digit's width, including the cell's margin.
        const double width = storedColumnWidth(sheet.columnWidth(c));
        const int xfIndex = format == 0 ? kDefaultCellXf : tables.xfFor(sheet.formatCode(format));
        out += record(kColInfo, Bytes()
                                    .u16(quint16(c - 1))
                                    .u16(quint16(c - 1))
                                    .u16(quint16(std::clamp(width * 256.0, 0.0, 65535.0)))
                                    .u16(quint16(xfIndex))
                                    .u16(0)
                                    .u16(0)
                                    .data());
    }
    const bool empty = sheet.isEmpty();
    out += record(kDimensions, Bytes()
                                   .u32(empty ? 0 : quint32(sheet.firstRow() - 1))
                                   .u32(empty ? 0 : quint32(sheet.lastRow()))
                                   .u16(empty ? 0 : quint16(sheet.firstColumn() - 1))
                                   .u16(empty ? 0 : quint16(sheet.lastColumn()))
                                   .u16(0)
                                   .data());
    sheet.forEachCell([&](int row, int column, const Cell &cell) {
        const QString code = sheet.effectiveFormat(row, column);
        const quint16 xfIndex = quint16(tables.xfFor(code));
        Bytes b;
        b.u16(quint16(row - 1)).u16(quint16(column - 1)).u16(xfIndex);
        if (const Formula *formula = sheet.formula(row, column);
            formula && !formula->tokens.isEmpty() && formula->tokens.size() <= kMaxRecordData - 22) {
            out += formulaRecords(b, cell, formula->tokens);
            return;
        }
        switch (cell.kind) {
        case CellKind::Text:
            out += record(kLabelSst, b.u32(tables.addString(cell.text)).data());
            break;
        case CellKind::Number:
            out += record(kNumber, b.f64(cell.number).data());
            break;
        case CellKind::Boolean:
            out += record(kBoolErr, b.u8(cell.number != 0 ? 1 : 0).u8(0).data());
            break;
        case CellKind::Error:
            out += record(kBoolErr, b.u8(quint8(cell.number)).u8(1).data());
            break;
        case CellKind::Empty:
            out += record(kBlank, b.data());
            break;
        }
    });
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; the active sheet is selected.
    const quint16 options = active ? 0x06B6 : 0x00B6;
    out += record(kWindow2, Bytes().u16(options).u16(0).u16(0).u32(64).u16(0).u16(0).u32(0).data());
    out += record(kEof, {});
    return out;
}

} // namespace

QByteArray record(quint16 type, const QByteArray &payload) {
    QByteArray out;
    out.reserve(payload.size() + 4);
    char header[4];
    qToLittleEndian(type, header);
    qToLittleEndian(quint16(payload.size()), header + 2);
    out.append(header, 4);
    out.append(payload);
    return out;
}

QByteArray unicodeString(const QString &text) {
    const bool compressed = isCompressible(text);
    return Bytes().u16(quint16(text.size())).u8(compressed ? 0 : 1).raw(characters(text, compressed)).data();
}

QByteArray shortUnicodeString(const QString &text) {
    const QString shortText = text.left(255);
    const bool compressed = isCompressible(shortText);
    return Bytes()
        .u8(quint8(shortText.size()))
        .u8(compressed ? 0 : 1)
        .raw(characters(shortText, compressed))
        .data();
}

SharedStrings buildSharedStrings(const QStringList &strings, quint32 totalReferences, qint64 streamOffset) {
    SharedStrings result;
    const int bucketSize = std::max(8, int((strings.size() + 127) / 128));
    Bytes ext;
    ext.u16(quint16(bucketSize));

    QByteArray current = Bytes().u32(totalReferences).u32(quint32(strings.size())).data();
    qint64 recordStart = streamOffset; // where the record being filled starts in the stream
    auto flush = [&]() {
        const QByteArray rec = record(result.records.isEmpty() ? kSst : kContinue, current);
        result.records += rec;
        recordStart += rec.size();
        current.clear();
    };

    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QString &text = strings[i];
        const bool compressed = isCompressible(text);
        const int charBytes = compressed ? 1 : 2;
        // The count and flags never split from the first character.
        if (current.size() + 3 + charBytes > kMaxRecordData)
            flush();
        if (i % bucketSize == 0)
            ext.u32(quint32(recordStart + 4 + current.size())).u16(quint16(4 + current.size())).u16(0);
        current += Bytes().u16(quint16(text.size())).u8(compressed ? 0 : 1).data();
        qsizetype done = 0;
        while (done < text.size()) {
            const qsizetype room = unitsThatFit(text, done, (kMaxRecordData - current.size()) / charBytes);
            if (room <= 0) {
                flush();
                // A string continued in the next record repeats its flags byte there.
                current += char(compressed ? 0 : 1);
                continue;
            }
            const qsizetype take = std::min(room, text.size() - done);
            current += characters(text.mid(done, take), compressed);
            done += take;
        }
    }
    flush();
    result.extsst = record(kExtSst, ext.data());
    return result;
}

int builtinFormatId(const QString &code) {
    static const int ids[] = {1,  2,  3,  4,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                              19, 20, 21, 22, 37, 38, 39, 40, 45, 46, 47, 48, 49};
    for (int id : ids)
        if (builtinNumberFormat(id) == code)
            return id;
    return -1;
}

bool isValidSheetName(const QString &name) {
    if (name.isEmpty() || name.size() > 31 || name.startsWith(u'\'') || name.endsWith(u'\''))
        return false;
    for (QChar c : name)
        if (QStringLiteral("[]:*?/\\").contains(c))
            return false;
    return true;
}

bool buildWorkbookStream(const BookView &book, QByteArray *stream, QString *error) {
    if (book.sheets.isEmpty())
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    BookTables tables;
    for (const SheetData *sheet : book.sheets) {
        if (!checkSheet(*sheet, error))
            return false;
        for (int f = 1; f < sheet->formatCount(); ++f)
            tables.addFormat(sheet->formatCode(quint16(f)));
    }
    const int active = std::clamp(book.activeSheet, 0, int(book.sheets.size()) - 1);

    // Sheet substreams first: they fill the shared string table the globals need.
    QList<QByteArray> sheets;
    for (int i = 0; i < book.sheets.size(); ++i)
        sheets.append(sheetStream(*book.sheets[i], i == active, tables));

    QByteArray globals = bof(0x0005);
    globals += record(kCodepage, Bytes().u16(1200).data()); // UTF-16
    globals += record(kWindow1, Bytes()
                                    .u16(0x0168)
                                    .u16(0x001E)
                                    .u16(0x3A5C)
                                    .u16(0x2328)
                                    .u16(0x0038) // horizontal and vertical scroll bars, sheet tabs
                                    .u16(quint16(active))
                                    .u16(0)
                                    .u16(1)
                                    .u16(600)
                                    .data());
    globals += record(kBackup, Bytes().u16(0).data());
    globals += record(kHideObj, Bytes().u16(0).data());
    globals += record(kDate1904, Bytes().u16(0).data());
    globals += record(kPrecision, Bytes().u16(1).data());
    globals += record(kRefreshAll, Bytes().u16(0).data());
    globals += record(kBookBool, Bytes().u16(0).data());
    for (int i = 0; i < 5; ++i) // font index 4 does not exist; five records give indexes 0-3 and 5
        globals += font();
    int nextCustom = kFirstCustomFormat;
    QList<int> formatIds;
    for (const QString &code : tables.formatCodes) {
        int id = builtinFormatId(code);
        if (id < 0) {
            id = nextCustom++;
            globals += record(kFormat, Bytes().u16(quint16(id)).raw(unicodeString(code.left(255))).data());
        }
        formatIds.append(id);
    }
    globals += xf(0, 0, true, 0x00);
    for (int i = 1; i < 15; ++i)
        globals += xf(0, 0, true, 0xF4);
    globals += xf(0, 0, false, 0x00);
    for (quint16 formatId : {0x2B, 0x29, 0x2C, 0x2A, 0x09})
        globals += xf(0, formatId, true, 0xF8);
    for (int id : formatIds)
        globals += xf(0, quint16(id), false, 0x04);
    globals += builtinStyle(0x10, 3); // Comma
    globals += builtinStyle(0x11, 6); // Comma [0]
    globals += builtinStyle(0x12, 4); // Currency
    globals += builtinStyle(0x13, 7); // Currency [0]
    globals += builtinStyle(0x00, 0); // Normal
    globals += builtinStyle(0x14, 5); // Percent

    QList<qsizetype> sheetPositionFields;
    for (const SheetData *sheet : book.sheets) {
        sheetPositionFields.append(globals.size() + 4);
        globals +=
            record(kBoundSheet, Bytes().u32(0).u8(0).u8(0).raw(shortUnicodeString(sheet->name())).data());
    }
    const SharedStrings sst = buildSharedStrings(tables.strings, tables.stringReferences, globals.size());
    globals += sst.records;
    globals += sst.extsst;
    globals += record(kEof, {});

    QByteArray out = globals;
    for (int i = 0; i < sheets.size(); ++i) {
        qToLittleEndian(quint32(out.size()), out.data() + sheetPositionFields[i]);
        out += sheets[i];
    }
    *stream = out;
    return true;
}

} // namespace tavlo::sheet::biff8
