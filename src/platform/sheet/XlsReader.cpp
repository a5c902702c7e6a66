#include "XlsReader.h"

#include "Biff8Records.h"
#include "CellAddress.h"
#include "CompoundFile.h"
#include "FormulaText.h"
#include "NumberText.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QtEndian>

#include <cmath>
#include <cstring>

namespace tavlo::sheet::xls {

using namespace biff8;

namespace {

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

quint16 u16(const char *p) {
    return qFromLittleEndian<quint16>(p);
}
quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

// Records that carry a cell: row in bytes 0-1, first column in bytes 2-3.
bool isCellRecord(quint16 type) {
    switch (type) {
    case kFormula:
    case kMulRk:
    case kMulBlank:
    case kLabelSst:
    case kBlank:
    case kNumber:
    case kLabel:
    case kBoolErr:
    case kRk:
        return true;
    default:
        return false;
    }
}

// BIFF8 fixes the size of these records; a different size means the record framing is broken.
bool hasValidLength(quint16 type, quint16 length) {
    switch (type) {
    case kLabelSst:
    case kRk:
        return length == 10;
    case kNumber:
    case kDimensions:
        return length == 14;
    case kBlank:
        return length == 6;
    case kBoolErr:
        return length == 8;
    case kRow:
        return length == 16;
    case kXf:
        return length == 20;
    case kEof:
        return length == 0;
    case kMulRk:
        return length >= 12 && (length - 6) % 6 == 0;
    case kMulBlank:
        return length >= 8 && length % 2 == 0;
    case kFormula:
        return length >= 22;
    default:
        return true;
    }
}

// The first walk: record framing, substream nesting, sheet list positions and the area every sheet claims.
class StreamScanner {
public:
    explicit StreamScanner(Scan *scan)
        : m_scan(scan) {}

    void setBiff8(bool biff8) { m_biff8 = biff8; }
    bool damaged() const { return m_damaged; }

    void record(quint16 type, const char *p, quint16 length, qint64 offset) {
        if (m_biff8 && !hasValidLength(type, length))
            m_damaged = true;
        switch (type) {
        case kBof:
            if (m_depth == 0)
                m_substreamStarts.insert(quint32(offset));
            ++m_depth;
            if (m_inSheet)
                ++m_nested; // a chart inside the sheet brings its own BOF ... EOF
            else if (length >= 4 && u16(p + 2) == kWorksheetSubstream)
                openSheet();
            return;
        case kEof:
            if (--m_depth < 0)
                m_damaged = true;
            if (m_nested > 0)
                --m_nested;
            else
                closeSheet();
            return;
        case kFilePass:
            m_scan->encrypted = true;
            return;
        case kBoundSheet:
            if (length < 8)
                m_damaged = true;
            else
                m_boundSheets.append(u32(p));
            return;
        default:
            break;
        }
        if (!m_inSheet || m_nested > 0)
            return;
        if (type == kDimensions) {
            m_sawDimensions = true;
            if (m_biff8 && length >= 12)
                m_declaredArea = qint64(u32(p + 4)) * u16(p + 10);
            else if (!m_biff8 && length >= 8)
                m_declaredArea = qint64(u16(p + 2)) * u16(p + 6);
        } else if (isCellRecord(type) && length >= 6) {
            int lastColumn = u16(p + 2);
            if (type == kMulRk || type == kMulBlank)
                lastColumn += (length - 6) / (type == kMulRk ? 6 : 2);
            m_usedRows = std::max<qint64>(m_usedRows, u16(p) + 1);
            m_usedColumns = std::max<qint64>(m_usedColumns, lastColumn + 1);
        }
    }

    void finish() {
        // Every substream ends with its EOF; a stream cut short is damage. Every entry of the sheet list
        // points at the start of its own substream.
        if (m_depth != 0)
            m_damaged = true;
        QSet<quint32> positions;
        for (quint32 position : std::as_const(m_boundSheets)) {
            if (!m_substreamStarts.contains(position) || positions.contains(position))
                m_damaged = true;
            positions.insert(position);
        }
        closeSheet();
    }

private:
    void openSheet() {
        closeSheet();
        ++m_scan->sheetCount;
        m_inSheet = true;
    }

    void closeSheet() {
        if (!m_inSheet)
            return;
        if (!m_sawDimensions)
            m_damaged = true; // every worksheet declares its size
        m_sawDimensions = false;
        m_scan->cellArea += std::max(m_declaredArea, m_usedRows * m_usedColumns);
        m_declaredArea = m_usedRows = m_usedColumns = 0;
        m_inSheet = false;
    }

    Scan *m_scan;
    bool m_biff8 = true;
    bool m_damaged = false;
    bool m_inSheet = false;
    bool m_sawDimensions = false;
    int m_nested = 0;
    int m_depth = 0; // BOF records not yet closed by their EOF
    QSet<quint32> m_substreamStarts;
    QList<quint32> m_boundSheets;
    qint64 m_declaredArea = 0;
    qint64 m_usedRows = 0;
    qint64 m_usedColumns = 0;
};

} // namespace

bool scanWorkbookStream(const QByteArray &stream, Scan *scan, QString *error) {
    *scan = Scan{};
    StreamScanner scanner(scan);
    const char *data = stream.constData();
    const qint64 size = stream.size();
    qint64 at = 0;
    bool sawBof = false;
    while (at + 4 <= size) {
        const quint16 type = u16(data + at);
        const quint16 length = u16(data + at + 2);
        if (length > kMaxRecordData || at + 4 + length > size)
            return fail(error, QStringLiteral("工作簿记录超出数据末尾"));
        if (!sawBof) {
            if (type != kBof || length < 4)
                return fail(error, QStringLiteral("工作簿数据缺少开头记录"));
            sawBof = true;
            scanner.setBiff8(u16(data + at + 4) == kBiff8Version);
        }
        scanner.record(type, data + at + 4, length, at);
        at += 4 + length;
    }
    if (!sawBof)
        return fail(error, QStringLiteral("工作簿数据为空"));
    scanner.finish();
    if (scanner.damaged())
        return fail(error, QStringLiteral("工作簿数据已损坏（记录不完整或长度有误）"));
    return true;
}

bool tokensAreSelfContained(const char *p, qsizetype size) {
    qsizetype at = 0;
    while (at < size) {
        const quint8 ptg = quint8(p[at]);
        qsizetype length = 0; // bytes after the token byte
        if (ptg >= 0x03 && ptg <= 0x16) {
            length = 0;           // operators, parentheses, missing argument
        } else if (ptg == 0x17) { // a string constant: 8-bit count, flags, characters
            if (at + 3 > size)
                return false;
            const quint8 count = quint8(p[at + 1]);
            length = 2 + qsizetype(count) * ((p[at + 2] & 1) ? 2 : 1);
        } else if (ptg == 0x19) { // attributes: IF, CHOOSE, SKIP, SUM, spaces
            if (at + 4 > size)
                return false;
            const quint8 kind = quint8(p[at + 1]);
            length = 3;
            if (kind & 0x04) // CHOOSE: a jump table of count + 1 offsets
                length += 2 * (qsizetype(u16(p + at + 2)) + 1);
        } else if (ptg == 0x1C || ptg == 0x1D) { // error, boolean
            length = 1;
        } else if (ptg == 0x1E) { // integer
            length = 2;
        } else if (ptg == 0x1F) { // number
            length = 8;
        } else if (ptg >= 0x20 && ptg <= 0x7F) {
            switch (ptg & 0x1F) {
            case 0x01: // function with a fixed number of arguments
                if (at + 3 > size || (u16(p + at + 1) & 0x7FFF) == 0x00FF)
                    return false; // 255 calls a function by name (add-ins, macros)
                length = 2;
                break;
            case 0x02: // function with a variable number of arguments
                if (at + 4 > size || (u16(p + at + 2) & 0x7FFF) == 0x00FF)
                    return false;
                length = 3;
                break;
            case 0x04: // a cell of this sheet
            case 0x0A: // a deleted cell (#REF!)
                length = 4;
                break;
            case 0x05: // a range of this sheet
            case 0x0B: // a deleted range
                length = 8;
                break;
            default: // names, other sheets, external books, arrays, memory areas, relative references
                return false;
            }
        } else {
            return false; // shared and array formulas, tables, extended tokens, unknown bytes
        }
        at += 1 + length;
    }
    return at == size;
}

namespace {

// A record's payload and the payloads of the CONTINUE records behind it, read as one sequence of bytes.
class Segments {
public:
    void add(const char *p, qsizetype size) { m_segments.push_back({p, size}); }

    bool atSegmentEnd() const { return m_pos >= m_segments[m_index].second; }
    // Moves to the start of the next segment; false when there is none.
    bool nextSegment() {
        if (size_t(m_index) + 1 >= m_segments.size())
            return false;
        ++m_index;
        m_pos = 0;
        return true;
    }
    // Reads `n` bytes, crossing into later segments where needed.
    bool read(char *out, qsizetype n) {
        while (n > 0) {
            if (atSegmentEnd() && !nextSegment())
                return false;
            const qsizetype take = std::min(n, m_segments[m_index].second - m_pos);
            std::memcpy(out, m_segments[m_index].first + m_pos, size_t(take));
            out += take;
            n -= take;
            m_pos += take;
        }
        return true;
    }
    bool skip(qint64 n) {
        while (n > 0) {
            if (atSegmentEnd() && !nextSegment())
                return false;
            const qint64 take = std::min<qint64>(n, m_segments[m_index].second - m_pos);
            n -= take;
            m_pos += take;
        }
        return true;
    }
    bool readU8(quint8 *v) { return read(reinterpret_cast<char *>(v), 1); }
    bool readU16(quint16 *v) {
        char b[2];
        if (!read(b, 2))
            return false;
        *v = u16(b);
        return true;
    }
    bool readU32(quint32 *v) {
        char b[4];
        if (!read(b, 4))
            return false;
        *v = u32(b);
        return true;
    }

    // `count` characters of a BIFF8 string whose flags byte said `wide`: where the characters go on in
    // the next CONTINUE record, that record starts with a flags byte of its own.
    bool readCharacters(qint64 count, bool wide, QString *text) {
        text->resize(qsizetype(count));
        QChar *out = text->data();
        while (count > 0) {
            if (atSegmentEnd()) {
                if (!nextSegment() || atSegmentEnd())
                    return false;
                wide = m_segments[m_index].first[m_pos++] & 1;
            }
            const char *p = m_segments[m_index].first + m_pos;
            const qsizetype room = (m_segments[m_index].second - m_pos) / (wide ? 2 : 1);
            if (room == 0)
                return false; // half a character at the end of a record
            const qsizetype take = qsizetype(std::min<qint64>(room, count));
            if (wide) {
                for (qsizetype i = 0; i < take; ++i)
                    out[i] = QChar(u16(p + i * 2));
            } else {
                for (qsizetype i = 0; i < take; ++i)
                    out[i] = QChar(uchar(p[i]));
            }
            out += take;
            count -= take;
            m_pos += take * (wide ? 2 : 1);
        }
        return true;
    }

    // A BIFF8 string: count (8 or 16 bits), flags, rich-text run count and extended data size when the
    // flags say so, characters, then the runs and the extended data, which are skipped.
    bool readString(int countBytes, QString *text) {
        quint16 count = 0;
        quint8 flags = 0;
        if (countBytes == 1) {
            quint8 c = 0;
            if (!readU8(&c))
                return false;
            count = c;
        } else if (!readU16(&count)) {
            return false;
        }
        if (!readU8(&flags))
            return false;
        quint16 runs = 0;
        quint32 extra = 0;
        if ((flags & 0x08) && !readU16(&runs))
            return false;
        if ((flags & 0x04) && !readU32(&extra))
            return false;
        return readCharacters(count, flags & 1, text) && skip(qint64(runs) * 4) && skip(extra);
    }

private:
    std::vector<std::pair<const char *, qsizetype>> m_segments;
    qsizetype m_index = 0;
    qsizetype m_pos = 0;
};

// A decoder for the 8-bit texts of BIFF5 files, by the workbook's CODEPAGE.
class CodePage {
public:
    void set(quint16 codePage) {
        const char *name = nullptr;
        switch (codePage) {
        case 936:
            name = "GBK";
            break;
        case 950:
            name = "Big5";
            break;
        case 932:
            name = "Shift_JIS";
            break;
        case 949:
            name = "windows-949";
            break;
        case 10000:
        case 32768:
            name = "macintosh";
            break;
        case 32769:
            name = "windows-1252";
            break;
        default:
            if (codePage >= 874 && codePage <= 1258 && codePage != 1200) {
                m_name = QStringLiteral("windows-%1").arg(codePage).toLatin1();
                return;
            }
            m_name.clear();
            return;
        }
        m_name = name;
    }
    QString decode(const char *p, qsizetype n) const {
        if (!m_name.isEmpty()) {
            QStringDecoder decoder(m_name.constData());
            if (decoder.isValid())
                return decoder.decode(QByteArrayView(p, n));
        }
        return QString::fromLatin1(p, n);
    }

private:
    QByteArray m_name;
};

// A record as the reader walks the stream.
struct Record {
    quint16 type = 0;
    quint16 length = 0;
    const char *data = nullptr;
    qint64 offset = 0; // of the header in the stream
};

// Reads the values of a stream that scanWorkbookStream accepted.
class BookReader {
public:
    BookReader(const QByteArray &stream, const ReadLimits &limits)
        : m_stream(stream)
        , m_limits(limits) {}

    bool read(BookContent *book, QString *error);

private:
    struct SheetEntry {
        quint32 position;
        QString name;
    };
    // A formula whose text result follows in a STRING record.
    struct PendingString {
        int row = 0;
        int column = 0;
        quint16 format = 0;
        Formula formula;
        bool active = false;
    };

    bool recordAt(qint64 at, Record *r) const {
        if (at + 4 > m_stream.size())
            return false;
        r->type = u16(m_stream.constData() + at);
        r->length = u16(m_stream.constData() + at + 2);
        r->data = m_stream.constData() + at + 4;
        r->offset = at;
        return at + 4 + r->length <= m_stream.size();
    }
    // The record and every CONTINUE record right behind it; `next` is where the record after them starts.
    Segments continued(const Record &r, qint64 *next) const {
        Segments segments;
        segments.add(r.data, r.length);
        qint64 at = r.offset + 4 + r.length;
        Record c;
        while (recordAt(at, &c) && c.type == kContinue) {
            segments.add(c.data, c.length);
            at += 4 + c.length;
        }
        *next = at;
        return segments;
    }

    bool readGlobals(QString *error);
    bool readSheet(const SheetEntry &entry, qsizetype slotsBefore, SheetData *sheet, QString *error);
    bool readSharedStrings(const Record &r, QString *error);
    bool cellFormat(quint16 xf, SheetData *sheet, quint16 *format);
    bool put(SheetData *sheet, int row, int column, const Cell &cell, QString *error);
    QString byteString(const char *p, qsizetype available, int countBytes) const;
    QString formatCodeOfXf(quint16 xf) const;

    const QByteArray &m_stream;
    const ReadLimits &m_limits;
    bool m_biff8 = true;
    bool m_date1904 = false;
    CodePage m_codePage;
    int m_activeSheet = 0;
    QList<SheetEntry> m_sheets;
    QList<QString> m_strings;
    QHash<int, QString> m_customFormats;
    std::vector<quint16> m_xfFormatIds;
    qint64 m_chars = 0;
    qsizetype m_slotLimit = 0;
    // Per sheet: the sheet's format index for each XF, resolved on first use.
    std::vector<int> m_xfFormats;
};

QString BookReader::byteString(const char *p, qsizetype available, int countBytes) const {
    if (available < countBytes)
        return {};
    const qsizetype count = countBytes == 1 ? quint8(p[0]) : u16(p);
    return m_codePage.decode(p + countBytes, std::min(count, available - countBytes));
}

QString BookReader::formatCodeOfXf(quint16 xf) const {
    if (xf >= m_xfFormatIds.size())
        return {};
    const int id = m_xfFormatIds[xf];
    if (id == 0)
        return {};
    const auto it = m_customFormats.constFind(id);
    if (it != m_customFormats.constEnd())
        return it.value();
    QString code = builtinNumberFormat(id);
    if (code.isEmpty()) {
        // The East Asian built-in dates and times, whose codes depend on the program's language.
        if ((id >= 32 && id <= 35) || id == 55 || id == 56)
            code = QStringLiteral("hh:mm:ss");
        else if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58))
            code = QStringLiteral("yyyy-mm-dd");
    }
    return code;
}

bool BookReader::readSharedStrings(const Record &r, QString *error) {
    qint64 next = 0;
    Segments sst = continued(r, &next);
    quint32 total = 0;
    quint32 unique = 0;
    if (!sst.readU32(&total) || !sst.readU32(&unique))
        return fail(error, QStringLiteral("共享字符串表损坏"));
    // The count is the file's claim: reserve no more than the bytes could hold.
    m_strings.reserve(qsizetype(std::min<qint64>(unique, (next - r.offset) / 3)));
    qint64 chars = 0;
    for (quint32 i = 0; i < unique; ++i) {
        QString text;
        if (!sst.readString(2, &text))
            return fail(error, QStringLiteral("共享字符串表损坏（第 %1 个字符串不完整）").arg(i + 1));
        chars += text.size();
        if (chars > m_limits.maxTextChars)
            return fail(error, QStringLiteral("工作簿中的文字超过读取上限"));
        m_strings.append(std::move(text));
    }
    return true;
}

bool BookReader::readGlobals(QString *error) {
    Record r;
    qint64 at = 0;
    if (!recordAt(0, &r) || r.type != kBof || r.length < 4)
        return fail(error, QStringLiteral("工作簿数据缺少开头记录"));
    m_biff8 = u16(r.data) == kBiff8Version;
    at = 4 + r.length;
    while (recordAt(at, &r)) {
        const char *p = r.data;
        const quint16 n = r.length;
        qint64 next = at + 4 + n;
        switch (r.type) {
        case kEof:
            return true;
        case kCodepage:
            if (n >= 2)
                m_codePage.set(u16(p));
            break;
        case kDate1904:
            m_date1904 = n >= 2 && u16(p) == 1;
            break;
        case kWindow1:
            if (n >= 12)
                m_activeSheet = u16(p + 10);
            break;
        case kFormat:
            if (n >= 3 && m_customFormats.size() < 65536) {
                QString code;
                if (m_biff8) {
                    Segments s;
                    s.add(p + 2, n - 2);
                    if (!s.readString(2, &code))
                        return fail(error, QStringLiteral("工作簿的数字格式记录损坏"));
                } else {
                    code = byteString(p + 2, n - 2, 1);
                }
                m_customFormats.insert(u16(p), code.left(255));
            }
            break;
        case kXf:
            if (n >= 4 && m_xfFormatIds.size() < 65536)
                m_xfFormatIds.push_back(u16(p + 2));
            break;
        case kBoundSheet: {
            // Position, visibility, kind (0 worksheet, 1 macro sheet, 2 chart, 6 module), name.
            if (n < 8)
                return fail(error, QStringLiteral("工作表列表损坏"));
            if (p[5] != 0)
                break;
            QString name;
            if (m_biff8) {
                Segments s;
                s.add(p + 6, n - 6);
                if (!s.readString(1, &name))
                    return fail(error, QStringLiteral("工作表列表中的表名损坏"));
            } else {
                name = byteString(p + 6, n - 6, 1);
            }
            m_sheets.append({u32(p), name});
            break;
        }
        case kSst:
            if (m_biff8 && !readSharedStrings(r, error))
                return false;
            break;
        default:
            break;
        }
        at = next;
    }
    return fail(error, QStringLiteral("工作簿的全局记录没有结尾"));
}

bool BookReader::cellFormat(quint16 xf, SheetData *sheet, quint16 *format) {
    if (xf >= m_xfFormats.size()) {
        *format = 0;
        return true;
    }
    int &known = m_xfFormats[xf];
    if (known < 0)
        known = sheet->internFormat(formatCodeOfXf(xf));
    *format = quint16(known);
    return true;
}

bool BookReader::put(SheetData *sheet, int row, int column, const Cell &cell, QString *error) {
    if (row >= kMaxXlsRows || column >= kMaxXlsColumns)
        return true; // beyond what the format holds; the scan bounded the area already
    if (cell.kind == CellKind::Empty && cell.format == 0)
        return true;
    m_chars += cell.text.size();
    if (m_chars > m_limits.maxTextChars)
        return fail(error, QStringLiteral("工作簿中的文字超过读取上限"));
    if (!sheet->setCell(row + 1, column + 1, cell, m_slotLimit))
        return fail(error, QStringLiteral("工作簿过大，超出读取上限"));
    return true;
}

// The value of an RK number: 30 bits of a double's top or of an integer, possibly divided by 100.
double rkValue(quint32 rk) {
    double value;
    if (rk & 2) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 1) ? value / 100 : value;
}

double f64(const char *p) {
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double value;
    std::memcpy(&value, &bits, 8);
    return value;
}

quint8 knownError(quint8 code) {
    return errorText(code).isEmpty() ? quint8(CellError::NA) : code;
}

bool BookReader::readSheet(const SheetEntry &entry, qsizetype slotsBefore, SheetData *sheet, QString *error) {
    m_slotLimit = m_limits.maxCellSlots - slotsBefore;
    m_xfFormats.assign(m_xfFormatIds.size(), -1);
    Record r;
    qint64 at = entry.position;
    if (!recordAt(at, &r) || r.type != kBof || r.length < 4)
        return fail(error, QStringLiteral("工作表“%1”的开头记录缺失").arg(entry.name));
    at += 4 + r.length;
    int nested = 0;
    PendingString pending;
    auto dateAware = [&](double number, quint16 format) {
        if (m_date1904 && format != 0 && isDateTimeFormat(sheet->formatCode(format)))
            return number + 1462; // the 1904 date system starts 1462 days later
        return number;
    };
    // A formula whose STRING record never came keeps the empty text as its result.
    auto flushPending = [&]() {
        if (!pending.active)
            return true;
        pending.active = false;
        if (!put(sheet, pending.row, pending.column, Cell::fromText(QString(), pending.format), error))
            return false;
        sheet->setFormula(pending.row + 1, pending.column + 1, std::move(pending.formula));
        return true;
    };
    while (recordAt(at, &r)) {
        const char *p = r.data;
        const quint16 n = r.length;
        qint64 next = at + 4 + n;
        if (r.type == kBof) {
            ++nested;
        } else if (r.type == kEof) {
            if (nested == 0)
                return flushPending();
            --nested;
        } else if (nested > 0) {
            // records of a chart inside the sheet
        } else if (r.type == kString && pending.active) {
            Segments s = continued(r, &next);
            QString text;
            if (m_biff8 ? !s.readString(2, &text) : n < 2)
                return fail(error, QStringLiteral("公式结果的文字记录损坏"));
            if (!m_biff8)
                text = byteString(p, n, 2);
            pending.active = false;
            if (!put(sheet, pending.row, pending.column, Cell::fromText(text, pending.format), error))
                return false;
            sheet->setFormula(pending.row + 1, pending.column + 1, std::move(pending.formula));
        } else if (r.type == kShrFmla || r.type == kArray || r.type == kContinue) {
            // shared and array formulas are kept by their results; stray continuations are nothing
        } else if (isCellRecord(r.type) && n >= 6) {
            if (!flushPending())
                return false;
            const int row = u16(p);
            const int column = u16(p + 2);
            quint16 format = 0;
            switch (r.type) {
            case kNumber:
                if (n < 14)
                    return fail(error, QStringLiteral("数字单元格记录损坏"));
                cellFormat(u16(p + 4), sheet, &format);
                if (!put(sheet, row, column, Cell::fromNumber(dateAware(f64(p + 6), format), format), error))
                    return false;
                break;
            case kRk:
                if (n < 10)
                    return fail(error, QStringLiteral("数字单元格记录损坏"));
                cellFormat(u16(p + 4), sheet, &format);
                if (!put(sheet, row, column, Cell::fromNumber(dateAware(rkValue(u32(p + 6)), format), format),
                         error))
                    return false;
                break;
            case kMulRk: {
                const int count = (n - 6) / 6;
                for (int i = 0; i < count; ++i) {
                    cellFormat(u16(p + 4 + i * 6), sheet, &format);
                    const double value = dateAware(rkValue(u32(p + 6 + i * 6)), format);
                    if (!put(sheet, row, column + i, Cell::fromNumber(value, format), error))
                        return false;
                }
                break;
            }
            case kBlank:
                cellFormat(u16(p + 4), sheet, &format);
                if (!put(sheet, row, column, Cell{{}, 0, format, CellKind::Empty}, error))
                    return false;
                break;
            case kMulBlank: {
                const int count = (n - 6) / 2;
                for (int i = 0; i < count; ++i) {
                    cellFormat(u16(p + 4 + i * 2), sheet, &format);
                    if (!put(sheet, row, column + i, Cell{{}, 0, format, CellKind::Empty}, error))
                        return false;
                }
                break;
            }
            case kLabelSst: {
                if (n < 10)
                    return fail(error, QStringLiteral("文字单元格记录损坏"));
                const quint32 index = u32(p + 6);
                if (index >= quint32(m_strings.size()))
                    return fail(error, QStringLiteral("共享字符串索引无效：%1").arg(index));
                cellFormat(u16(p + 4), sheet, &format);
                const QString &text = m_strings[index];
                if (!text.isEmpty() || format != 0)
                    if (!put(sheet, row, column,
                             text.isEmpty() ? Cell{{}, 0, format, CellKind::Empty}
                                            : Cell::fromText(text, format),
                             error))
                        return false;
                break;
            }
            case kLabel: {
                QString text;
                if (m_biff8) {
                    Segments s = continued(r, &next);
                    if (!s.skip(6) || !s.readString(2, &text))
                        return fail(error, QStringLiteral("文字单元格记录损坏"));
                } else {
                    if (n < 8 || 8 + qsizetype(u16(p + 6)) > n)
                        return fail(error, QStringLiteral("文字单元格记录损坏"));
                    text = byteString(p + 6, n - 6, 2);
                }
                cellFormat(u16(p + 4), sheet, &format);
                if (!put(sheet, row, column,
                         text.isEmpty() ? Cell{{}, 0, format, CellKind::Empty} : Cell::fromText(text, format),
                         error))
                    return false;
                break;
            }
            case kBoolErr: {
                if (n < 8)
                    return fail(error, QStringLiteral("逻辑值单元格记录损坏"));
                cellFormat(u16(p + 4), sheet, &format);
                const quint8 value = quint8(p[6]);
                const Cell cell = p[7] == 0 ? Cell::fromBoolean(value != 0, format)
                                            : Cell::fromError(knownError(value), format);
                if (!put(sheet, row, column, cell, error))
                    return false;
                break;
            }
            case kFormula: {
                if (n < 22)
                    return fail(error, QStringLiteral("公式单元格记录损坏"));
                cellFormat(u16(p + 4), sheet, &format);
                const quint16 options = u16(p + 14);
                const qsizetype tokenBytes = u16(p + 20);
                Formula formula;
                // Tokens are kept only when the record holds nothing but them, nothing refers to a shared
                // formula, and every token stands on its own.
                if (m_biff8 && !(options & kFormulaShared) && 22 + tokenBytes == n &&
                    tokensAreSelfContained(p + 22, tokenBytes)) {
                    formula.tokens = QByteArray(p + 22, tokenBytes);
                    formula.text = formulaTextOfTokens(formula.tokens);
                }
                const bool special = u16(p + 12) == 0xFFFF;
                Cell cell;
                if (!special) {
                    cell = Cell::fromNumber(dateAware(f64(p + 6), format), format);
                } else {
                    switch (quint8(p[6])) {
                    case 0: // text, in the STRING record that follows
                        pending = {row, column, format, std::move(formula), true};
                        break;
                    case 1:
                        cell = Cell::fromBoolean(p[8] != 0, format);
                        break;
                    case 2:
                        cell = Cell::fromError(knownError(quint8(p[8])), format);
                        break;
                    case 3: // the empty text
                        cell = Cell::fromText(QString(), format);
                        break;
                    default:
                        cell = Cell{{}, 0, format, CellKind::Empty};
                        break;
                    }
                }
                if (pending.active)
                    break;
                if (!std::isfinite(cell.number))
                    cell = Cell::fromError(quint8(CellError::Num), format);
                if (!put(sheet, row, column, cell, error))
                    return false;
                if (cell.kind != CellKind::Empty)
                    sheet->setFormula(row + 1, column + 1, std::move(formula));
                break;
            }
            default:
                break;
            }
        } else if (r.type == kColInfo && n >= 10) {
            const int first = u16(p) + 1;
            const int last = std::min(u16(p + 2) + 1, kMaxXlsColumns);
            const double width = userColumnWidth(u16(p + 4) / 256.0);
            quint16 format = 0;
            cellFormat(u16(p + 6), sheet, &format);
            for (int column = first; column <= last; ++column) {
                if (std::abs(width - kDefaultColumnWidth) > 0.01)
                    sheet->setColumnWidth(column, width);
                if (format != 0)
                    sheet->setColumnFormat(column, format);
            }
        }
        at = next;
    }
    return fail(error, QStringLiteral("工作表“%1”没有结尾记录").arg(entry.name));
}

bool BookReader::read(BookContent *book, QString *error) {
    if (!readGlobals(error))
        return false;
    if (m_sheets.isEmpty())
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    BookContent content;
    qsizetype slotsBefore = 0;
    for (const SheetEntry &entry : std::as_const(m_sheets)) {
        SheetData sheet(entry.name.isEmpty() ? QStringLiteral("Sheet%1").arg(content.sheets.size() + 1)
                                             : entry.name);
        if (!readSheet(entry, slotsBefore, &sheet, error))
            return false;
        slotsBefore += sheet.cellSlots();
        content.sheets.push_back(std::move(sheet));
    }
    content.activeSheet = std::clamp(m_activeSheet, 0, int(content.sheets.size()) - 1);
    *book = std::move(content);
    return true;
}

} // namespace

bool read(const QByteArray &file, const ReadLimits &limits, BookContent *book, QString *error) {
    QByteArray stream;
    if (!cfb::readStream(file, {QStringLiteral("Workbook"), QStringLiteral("Book")}, &stream, error,
                         limits.maxFileBytes))
        return false;
    Scan scan;
    if (!scanWorkbookStream(stream, &scan, error))
        return false;
    if (scan.encrypted)
        return fail(error, QStringLiteral("工作簿受密码保护，无法读取"));
    if (scan.sheetCount == 0)
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    if (scan.cellArea > limits.maxCellSlots)
        return fail(error, QStringLiteral("工作簿过大（单元格区域超过 %1 个）").arg(limits.maxCellSlots));
    BookReader reader(stream, limits);
    return reader.read(book, error);
}

} // namespace tavlo::sheet::xls
