// The .xls reading this program had before its own reader: a structural scan, then FreeXL reading a
// temporary copy. Kept for the benchmark only, to compare both on the same file.
#include "platform/sheet/BookContent.h"
#include "platform/sheet/SheetData.h"

#include "platform/sheet/CellAddress.h"
#include "platform/sheet/CompoundFile.h"
#include "platform/sheet/NumberText.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryFile>
#include <QtEndian>

#include <freexl.h>

namespace tavlo::sheet::freexlreference {

struct Scan {
    struct FormattedCell {
        int row;
        int column;
        int format; // index into formats
    };
    struct Column {
        int first;
        int last;
        double width; // as users see it; below 0 when standard
        int format;   // index into formats, -1 for General
    };
    struct Sheet {
        QString name;
        std::vector<FormattedCell> formattedCells;
        std::vector<FormattedCell> booleans; // `format` holds the value 0 or 1
        std::vector<Column> columns;
    };
    int sheetCount = 0;
    qint64 cellArea = 0; // rows x columns of every sheet, by the larger of the declared and the used extent
    bool encrypted = false;
    int activeSheet = 0;
    QStringList formats;       // codes other than General that cells or columns use
    std::vector<Sheet> sheets; // in the order of the sheet list
};

namespace {

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

// Records that carry a cell: row in bytes 0-1, first column in bytes 2-3.
bool isCellRecord(quint16 type) {
    switch (type) {
    case 0x0006: // FORMULA
    case 0x00BD: // MULRK
    case 0x00BE: // MULBLANK
    case 0x00FD: // LABELSST
    case 0x0201: // BLANK
    case 0x0203: // NUMBER
    case 0x0204: // LABEL
    case 0x0205: // BOOLERR
    case 0x027E: // RK
        return true;
    default:
        return false;
    }
}

QString freexlMessage(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("无法读取文件");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足");
    case FREEXL_BIFF_INVALID_SST:
    case FREEXL_BIFF_ILLEGAL_SST_INDEX:
        return QStringLiteral("共享字符串表损坏");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有工作簿");
    case FREEXL_UNSUPPORTED_CHARSET:
    case FREEXL_INVALID_CHARACTER:
        return QStringLiteral("文件使用了无法识别的字符集");
    case FREEXL_CRAFTED_FILE:
        return QStringLiteral("文件结构异常（可能是恶意构造的文件）");
    default:
        return QStringLiteral("文件已损坏（错误 %1）").arg(code);
    }
}

// Closes the FreeXL handle on every path out.
class FreeXlHandle {
public:
    ~FreeXlHandle() {
        if (m_handle)
            freexl_close(m_handle);
    }
    const void **out() { return &m_handle; }
    const void *get() const { return m_handle; }

private:
    const void *m_handle = nullptr;
};

} // namespace

namespace {

// Number formats of the globals: FORMAT codes by id and the format id of every XF.
struct FormatTable {
    QHash<int, QString> custom;
    QList<int> xfFormatIds;

    // The code of XF `xf`, or empty for General and for unknown XFs.
    QString codeOfXf(int xf) const {
        if (xf < 0 || xf >= xfFormatIds.size())
            return {};
        const int id = xfFormatIds[xf];
        if (id == 0)
            return {};
        const auto it = custom.constFind(id);
        return it != custom.constEnd() ? it.value() : builtinNumberFormat(id);
    }
};

// A BIFF8 string of `lengthBytes` count bytes, flags byte and characters; empty when it does not fit.
QString biff8String(const char *p, qsizetype available, int lengthBytes) {
    if (available < lengthBytes + 1)
        return {};
    const int count = lengthBytes == 1 ? quint8(p[0]) : qFromLittleEndian<quint16>(p);
    const bool wide = p[lengthBytes] & 1;
    const char *chars = p + lengthBytes + 1;
    const qsizetype room = available - lengthBytes - 1;
    const int n = int(std::min<qsizetype>(count, wide ? room / 2 : room));
    QString text;
    text.reserve(n);
    for (int i = 0; i < n; ++i)
        text += wide ? QChar(qFromLittleEndian<quint16>(chars + i * 2)) : QChar(uchar(chars[i]));
    return text;
}

// True when a string of `lengthBytes` count bytes, a flags byte and its characters lies within `available`.
bool stringFits(const char *p, qsizetype available, int lengthBytes, bool hasFlags = true) {
    if (available < lengthBytes + (hasFlags ? 1 : 0))
        return false;
    const qsizetype count = lengthBytes == 1 ? quint8(p[0]) : qFromLittleEndian<quint16>(p);
    const bool wide = hasFlags && (p[lengthBytes] & 1);
    return lengthBytes + (hasFlags ? 1 : 0) + count * (wide ? 2 : 1) <= available;
}

// Walks the shared string table the way a reader must: string headers never split, characters continued
// in CONTINUE records behind a fresh flags byte, rich-text runs and extended data skipped. False when any
// count points beyond the data.
bool sharedStringsHoldTogether(const QList<QByteArray> &segments) {
    if (segments.isEmpty() || segments[0].size() < 8)
        return false;
    const quint32 unique = qFromLittleEndian<quint32>(segments[0].constData() + 4);
    int seg = 0;
    qsizetype pos = 8;
    auto skipBytes = [&](qint64 n) {
        while (n > 0) {
            if (pos >= segments[seg].size()) {
                if (++seg >= segments.size())
                    return false;
                pos = 0;
            }
            const qint64 take = std::min<qint64>(n, segments[seg].size() - pos);
            pos += take;
            n -= take;
        }
        return true;
    };
    for (quint32 i = 0; i < unique; ++i) {
        if (pos >= segments[seg].size()) {
            if (++seg >= segments.size())
                return false;
            pos = 0;
        }
        const QByteArray &head = segments[seg];
        if (pos + 3 > head.size())
            return false;
        qint64 remaining = qFromLittleEndian<quint16>(head.constData() + pos);
        const quint8 flags = quint8(head[pos + 2]);
        bool wide = flags & 1;
        pos += 3;
        qint64 runs = 0;
        qint64 extra = 0;
        if (flags & 8) {
            if (pos + 2 > head.size())
                return false;
            runs = qFromLittleEndian<quint16>(head.constData() + pos);
            pos += 2;
        }
        if (flags & 4) {
            if (pos + 4 > head.size())
                return false;
            extra = qFromLittleEndian<quint32>(head.constData() + pos);
            pos += 4;
        }
        while (remaining > 0) {
            if (pos >= segments[seg].size()) {
                if (++seg >= segments.size() || segments[seg].isEmpty())
                    return false;
                wide = segments[seg][0] & 1;
                pos = 1;
            }
            const qint64 room = (segments[seg].size() - pos) / (wide ? 2 : 1);
            if (room == 0)
                return false; // half a character at the end of a record
            const qint64 take = std::min(room, remaining);
            pos += take * (wide ? 2 : 1);
            remaining -= take;
        }
        if (!skipBytes(runs * 4) || !skipBytes(extra))
            return false;
    }
    return true;
}

class StreamScanner {
public:
    StreamScanner(Scan *scan)
        : m_scan(scan) {}

    void record(quint16 type, const char *p, quint16 length, qint64 offset) {
        if (m_biff8 && !hasValidLength(type, length))
            damage();
        if (m_collectingSst && type != 0x003C) {
            m_collectingSst = false;
            if (!sharedStringsHoldTogether(m_sst))
                damage();
            m_sst.clear();
        }
        switch (type) {
        case 0x0809: // BOF
            if (m_depth == 0)
                m_substreamStarts.insert(quint32(offset));
            ++m_depth;
            if (m_sheet)
                ++m_nested; // a chart inside the sheet brings its own BOF ... EOF
            else if (length >= 4 && qFromLittleEndian<quint16>(p + 2) == 0x0010)
                openSheet(offset);
            return;
        case 0x000A: // EOF
            if (--m_depth < 0)
                damage();
            if (m_nested > 0)
                --m_nested;
            else
                closeSheet();
            return;
        case 0x002F: // FILEPASS
            m_scan->encrypted = true;
            return;
        case 0x003D: // WINDOW1
            if (length >= 12)
                m_scan->activeSheet = qFromLittleEndian<quint16>(p + 10);
            return;
        case 0x00FC: // SST
            m_sst = {QByteArray(p, length)};
            m_collectingSst = true;
            return;
        case 0x003C: // CONTINUE
            if (m_collectingSst)
                m_sst.append(QByteArray(p, length));
            return;
        case 0x0085: // BOUNDSHEET
            if (length < 8 || (m_biff8 && !stringFits(p + 6, length - 6, 1)))
                damage();
            if (length >= 8)
                m_boundSheets.append({qFromLittleEndian<quint32>(p), m_biff8
                                                                         ? biff8String(p + 6, length - 6, 1)
                                                                         : latinString(p + 6, length - 6)});
            return;
        case 0x041E: // FORMAT
            if (m_biff8 && (length < 2 || !stringFits(p + 2, length - 2, 2)))
                damage();
            if (m_biff8 && length >= 2)
                m_formats.custom.insert(qFromLittleEndian<quint16>(p),
                                        biff8String(p + 2, length - 2, 2).left(255));
            return;
        case 0x00E0: // XF
            if (length >= 4 && m_formats.xfFormatIds.size() < 65536)
                m_formats.xfFormatIds.append(qFromLittleEndian<quint16>(p + 2));
            return;
        default:
            break;
        }
        if (!m_sheet || m_nested > 0)
            return;
        if (type == 0x0200) { // DIMENSIONS
            m_sawDimensions = true;
            if (m_biff8 && length >= 12)
                m_declaredArea =
                    qint64(qFromLittleEndian<quint32>(p + 4)) * qFromLittleEndian<quint16>(p + 10);
            else if (!m_biff8 && length >= 8)
                m_declaredArea =
                    qint64(qFromLittleEndian<quint16>(p + 2)) * qFromLittleEndian<quint16>(p + 6);
        } else if (type == 0x007D && length >= 10) { // COLINFO
            const int first = qFromLittleEndian<quint16>(p) + 1;
            const int last = std::min(qFromLittleEndian<quint16>(p + 2) + 1, kMaxXlsColumns);
            const double width = userColumnWidth(qFromLittleEndian<quint16>(p + 4) / 256.0);
            if (first <= last)
                m_sheet->columns.push_back(
                    {first, last, width, formatIndex(qFromLittleEndian<quint16>(p + 6))});
        } else if (type == 0x00BD || type == 0x00BE) { // MULRK, MULBLANK
            if (length < 6)
                return;
            const int row = qFromLittleEndian<quint16>(p);
            const int first = qFromLittleEndian<quint16>(p + 2);
            const int step = type == 0x00BD ? 6 : 2;
            const int count = (length - 6) / step;
            for (int i = 0; i < count; ++i)
                cell(row, first + i, qFromLittleEndian<quint16>(p + 4 + i * step));
        } else if (type == 0x0204 || type == 0x0207) { // LABEL, STRING (a formula's text result)
            const qsizetype at = type == 0x0204 ? 6 : 0;
            if (length < at || !stringFits(p + at, length - at, 2, m_biff8))
                damage();
            if (type == 0x0204 && length >= 6)
                cell(qFromLittleEndian<quint16>(p), qFromLittleEndian<quint16>(p + 2),
                     qFromLittleEndian<quint16>(p + 4));
        } else if (isCellRecord(type) && length >= 6) {
            const int row = qFromLittleEndian<quint16>(p);
            const int column = qFromLittleEndian<quint16>(p + 2);
            cell(row, column, qFromLittleEndian<quint16>(p + 4));
            if (type == 0x0205 && length >= 8 && p[7] == 0) // BOOLERR holding a boolean
                m_sheet->booleans.push_back({row + 1, column + 1, p[6] != 0 ? 1 : 0});
        }
    }

    void setBiff8(bool biff8) { m_biff8 = biff8; }
    bool damaged() const { return m_damaged; }

    // Sheets in the order of the sheet list, matched to their substreams by position.
    void finish() {
        if (m_collectingSst && !sharedStringsHoldTogether(m_sst))
            damage();
        // Every substream ends with its EOF; a stream cut short is damage. Every entry of the sheet list
        // points at the start of its own substream.
        if (m_depth != 0)
            damage();
        QSet<quint32> positions;
        for (const auto &entry : std::as_const(m_boundSheets)) {
            if (!m_substreamStarts.contains(entry.first) || positions.contains(entry.first))
                damage();
            positions.insert(entry.first);
        }
        closeSheet();
        for (const auto &[position, name] : std::as_const(m_boundSheets)) {
            const auto it = m_sheetsAt.constFind(position);
            if (it == m_sheetsAt.constEnd())
                continue;
            Scan::Sheet sheet = std::move(m_substreams[size_t(it.value())]);
            sheet.name = name;
            m_scan->sheets.push_back(std::move(sheet));
        }
    }

private:
    void damage() { m_damaged = true; }

    // BIFF8 fixes the size of these records; a different size means the record framing is broken.
    static bool hasValidLength(quint16 type, quint16 length) {
        switch (type) {
        case 0x00FD: // LABELSST
        case 0x027E: // RK
            return length == 10;
        case 0x0203: // NUMBER
        case 0x0200: // DIMENSIONS
            return length == 14;
        case 0x0201: // BLANK
            return length == 6;
        case 0x0205: // BOOLERR
            return length == 8;
        case 0x0208: // ROW
            return length == 16;
        case 0x00E0: // XF
            return length == 20;
        case 0x000A: // EOF
            return length == 0;
        case 0x00BD: // MULRK
            return length >= 12 && (length - 6) % 6 == 0;
        case 0x00BE: // MULBLANK
            return length >= 8 && length % 2 == 0;
        case 0x0006: // FORMULA
            return length >= 22;
        default:
            return true;
        }
    }

    static QString latinString(const char *p, qsizetype available) {
        if (available < 1)
            return {};
        return QString::fromLatin1(p + 1, std::min<qsizetype>(quint8(p[0]), available - 1));
    }

    int formatIndex(int xf) {
        const QString code = m_formats.codeOfXf(xf);
        if (code.isEmpty())
            return -1;
        qsizetype index = m_scan->formats.indexOf(code);
        if (index < 0) {
            m_scan->formats.append(code);
            index = m_scan->formats.size() - 1;
        }
        return int(index);
    }

    void openSheet(qint64 offset) {
        closeSheet();
        ++m_scan->sheetCount;
        m_sheetsAt.insert(quint32(offset), int(m_substreams.size()));
        m_substreams.emplace_back();
        m_sheet = &m_substreams.back();
        m_formatOfXf.clear();
    }

    void closeSheet() {
        if (!m_sheet)
            return;
        if (!m_sawDimensions)
            damage(); // every worksheet declares its size
        m_sawDimensions = false;
        m_scan->cellArea += std::max(m_declaredArea, m_usedRows * m_usedColumns);
        m_declaredArea = m_usedRows = m_usedColumns = 0;
        m_sheet = nullptr;
    }

    void cell(int row, int column, int xf) {
        m_usedRows = std::max<qint64>(m_usedRows, row + 1);
        m_usedColumns = std::max<qint64>(m_usedColumns, column + 1);
        auto it = m_formatOfXf.constFind(xf);
        if (it == m_formatOfXf.constEnd())
            it = m_formatOfXf.insert(xf, formatIndex(xf));
        // Only cells a file could hold: a scan of a hostile file stays as small as the area check allows.
        if (it.value() >= 0 && m_sheet->formattedCells.size() < size_t(kMaxCellSlots))
            m_sheet->formattedCells.push_back({row + 1, column + 1, it.value()});
    }

    Scan *m_scan;
    bool m_biff8 = true;
    int m_nested = 0;
    int m_depth = 0; // BOF records not yet closed by their EOF
    bool m_sawDimensions = false;
    QSet<quint32> m_substreamStarts;
    bool m_damaged = false;
    bool m_collectingSst = false;
    QList<QByteArray> m_sst;
    FormatTable m_formats;
    QHash<int, int> m_formatOfXf;
    QList<std::pair<quint32, QString>> m_boundSheets;
    QHash<quint32, int> m_sheetsAt; // substream offset -> index in m_substreams
    std::vector<Scan::Sheet> m_substreams;
    Scan::Sheet *m_sheet = nullptr;
    qint64 m_declaredArea = 0;
    qint64 m_usedRows = 0;
    qint64 m_usedColumns = 0;
};

} // namespace

static bool scanWorkbookStream(const QByteArray &stream, Scan *scan, QString *error) {
    *scan = Scan{};
    StreamScanner scanner(scan);
    const char *data = stream.constData();
    const qint64 size = stream.size();
    qint64 at = 0;
    bool sawBof = false;
    while (at + 4 <= size) {
        const quint16 type = qFromLittleEndian<quint16>(data + at);
        const quint16 length = qFromLittleEndian<quint16>(data + at + 2);
        if (length > 8224 || at + 4 + length > size)
            return fail(error, QStringLiteral("工作簿记录超出数据末尾"));
        if (!sawBof) {
            if (type != 0x0809 || length < 4)
                return fail(error, QStringLiteral("工作簿数据缺少开头记录"));
            sawBof = true;
            scanner.setBiff8(qFromLittleEndian<quint16>(data + at + 4) == 0x0600);
        }
        scanner.record(type, data + at + 4, length, at);
        at += 4 + length;
    }
    if (!sawBof)
        return fail(error, QStringLiteral("工作簿数据为空"));
    scanner.finish();
    if (scanner.damaged())
        return fail(error, QStringLiteral("工作簿数据已损坏（记录不完整或字符串长度有误）"));
    return true;
}

namespace {

// Adds what FreeXL does not report to a sheet it read: number formats, booleans, column widths and formats.
bool applyScan(const Scan &scan, SheetData *sheet, qsizetype slotLimit) {
    const Scan::Sheet *found = nullptr;
    for (const Scan::Sheet &s : scan.sheets)
        if (s.name == sheet->name()) {
            found = &s;
            break;
        }
    if (!found)
        return true;
    auto intern = [&](int index) {
        return index < 0 ? quint16(0) : sheet->internFormat(scan.formats[index]);
    };
    for (const Scan::Column &c : found->columns) {
        for (int column = c.first; column <= c.last; ++column) {
            if (c.width >= 0 && std::abs(c.width - kDefaultColumnWidth) > 0.01)
                sheet->setColumnWidth(column, c.width);
            if (c.format >= 0)
                sheet->setColumnFormat(column, intern(c.format));
        }
    }
    for (const Scan::FormattedCell &f : found->formattedCells) {
        if (f.row > kMaxXlsRows || f.column > kMaxXlsColumns)
            continue;
        Cell cell = sheet->cell(f.row, f.column) ? *sheet->cell(f.row, f.column) : Cell{};
        const quint16 format = intern(f.format);
        // Dates keep the date format FreeXL recognised them by; other cells take the file's format.
        if (cell.kind == CellKind::Number && cell.format != 0 &&
            isDateTimeFormat(sheet->formatCode(cell.format)) && !isDateTimeFormat(sheet->formatCode(format)))
            continue;
        cell.format = format;
        if (!sheet->setCell(f.row, f.column, cell, slotLimit))
            return false;
    }
    for (const Scan::FormattedCell &b : found->booleans) {
        const Cell *existing = sheet->cell(b.row, b.column);
        if (existing && existing->kind == CellKind::Number)
            sheet->setCell(b.row, b.column, Cell::fromBoolean(b.format != 0, existing->format), slotLimit);
    }
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

    // FreeXL gets a compound file of our own making around the checked stream, never the original
    // container: its own container parsing does not survive every damaged file.
    QTemporaryFile canonical(QDir::tempPath() + QStringLiteral("/tavlo-xls-XXXXXX.xls"));
    if (!canonical.open() || canonical.write(cfb::build(QStringLiteral("Workbook"), stream)) < 0 ||
        !canonical.flush())
        return fail(error, QStringLiteral("无法建立临时文件"));
    FreeXlHandle handle;
    const QByteArray nativePath = QFile::encodeName(canonical.fileName());
    const int opened = freexl_open(nativePath.constData(), handle.out());
    if (opened != FREEXL_OK)
        return fail(error, freexlMessage(opened));
    unsigned int sheetCount = 0;
    unsigned int password = 0;
    freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &password);
    if (password == FREEXL_BIFF_OBFUSCATED)
        return fail(error, QStringLiteral("工作簿受密码保护，无法读取"));
    if (freexl_get_info(handle.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK || sheetCount == 0)
        return fail(error, QStringLiteral("工作簿中没有工作表"));

    BookContent content;
    qsizetype slotsBefore = 0; // cell slots of the sheets already read
    qint64 chars = 0;
    for (unsigned short s = 0; s < sheetCount; ++s) {
        const char *name = nullptr;
        freexl_get_worksheet_name(handle.get(), s, &name);
        SheetData sheet(name ? QString::fromUtf8(name) : QStringLiteral("Sheet%1").arg(s + 1));
        if (freexl_select_active_worksheet(handle.get(), s) != FREEXL_OK)
            return fail(error, QStringLiteral("无法读取工作表 %1").arg(s + 1));
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(handle.get(), &rows, &columns) != FREEXL_OK)
            return fail(error, QStringLiteral("无法读取工作表 %1 的大小").arg(s + 1));
        // The reported extent may be the last index or the count; cells outside simply report an error.
        rows = std::min<unsigned int>(rows, kMaxXlsRows - 1);
        columns = std::min<unsigned short>(columns, kMaxXlsColumns - 1);
        for (unsigned int r = 0; r <= rows; ++r) {
            for (unsigned short c = 0; c <= columns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(handle.get(), r, c, &value) != FREEXL_OK)
                    continue;
                Cell cell;
                switch (value.type) {
                case FREEXL_CELL_INT:
                    cell = Cell::fromNumber(value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell = Cell::fromNumber(value.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell = Cell::fromText(QString::fromUtf8(value.value.text_value));
                    if (cell.text.isEmpty())
                        continue;
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: {
                    const QString text = QString::fromUtf8(value.value.text_value);
                    double serial = 0;
                    if (parseDateTimeText(text, &serial)) {
                        const QString code = value.type == FREEXL_CELL_DATE ? QStringLiteral("yyyy-mm-dd")
                                             : value.type == FREEXL_CELL_TIME
                                                 ? QStringLiteral("hh:mm:ss")
                                                 : QStringLiteral("yyyy-mm-dd hh:mm:ss");
                        cell = Cell::fromNumber(serial, sheet.internFormat(code));
                    } else {
                        cell = Cell::fromText(text);
                    }
                    break;
                }
                default:
                    continue;
                }
                chars += cell.text.size();
                if (chars > limits.maxTextChars ||
                    !sheet.setCell(int(r) + 1, int(c) + 1, cell, limits.maxCellSlots - slotsBefore))
                    return fail(error, QStringLiteral("工作簿过大，超出读取上限"));
            }
        }
        if (!applyScan(scan, &sheet, limits.maxCellSlots - slotsBefore))
            return fail(error, QStringLiteral("工作簿过大，超出读取上限"));
        slotsBefore += sheet.cellSlots();
        content.sheets.push_back(std::move(sheet));
    }
    content.activeSheet = std::clamp(scan.activeSheet, 0, int(content.sheets.size()) - 1);
    *book = std::move(content);
    return true;
}

} // namespace tavlo::sheet::freexlreference
