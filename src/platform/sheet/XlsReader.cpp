#include "XlsReader.h"

#include "CellAddress.h"
#include "CompoundFile.h"
#include "NumberText.h"

#include <QFile>
#include <QtEndian>

#include <freexl.h>

namespace tavlo::sheet::xls {

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

bool probeWorkbookStream(const QByteArray &stream, Probe *probe, QString *error) {
    *probe = Probe{};
    const char *data = stream.constData();
    const qint64 size = stream.size();
    qint64 at = 0;
    bool biff8 = true;
    bool inSheet = false;
    bool sawBof = false;
    qint64 declaredArea = 0;
    qint64 usedRows = 0;
    qint64 usedColumns = 0;
    auto closeSheet = [&]() {
        probe->cellArea += std::max(declaredArea, usedRows * usedColumns);
        declaredArea = usedRows = usedColumns = 0;
    };
    while (at + 4 <= size) {
        const quint16 type = qFromLittleEndian<quint16>(data + at);
        const quint16 length = qFromLittleEndian<quint16>(data + at + 2);
        const char *payload = data + at + 4;
        if (length > 8224 || at + 4 + length > size)
            return fail(error, QStringLiteral("工作簿记录超出数据末尾"));
        if (!sawBof) {
            if (type != 0x0809 || length < 4)
                return fail(error, QStringLiteral("工作簿数据缺少开头记录"));
            sawBof = true;
            biff8 = qFromLittleEndian<quint16>(payload) == 0x0600;
        }
        if (type == 0x0809 && length >= 4) {
            const quint16 kind = qFromLittleEndian<quint16>(payload + 2);
            if (kind == 0x0010) {
                inSheet = true;
                ++probe->sheetCount;
            }
        } else if (type == 0x000A) { // EOF
            if (inSheet)
                closeSheet();
            inSheet = false;
        } else if (type == 0x002F) { // FILEPASS
            probe->encrypted = true;
        } else if (type == 0x0200 && inSheet) { // DIMENSIONS
            if (biff8 && length >= 12)
                declaredArea = qint64(qFromLittleEndian<quint32>(payload + 4)) *
                               qFromLittleEndian<quint16>(payload + 10);
            else if (!biff8 && length >= 8)
                declaredArea =
                    qint64(qFromLittleEndian<quint16>(payload + 2)) * qFromLittleEndian<quint16>(payload + 6);
        } else if (inSheet && isCellRecord(type) && length >= 4) {
            usedRows = std::max<qint64>(usedRows, qFromLittleEndian<quint16>(payload) + 1);
            quint16 lastColumn = qFromLittleEndian<quint16>(payload + 2);
            if ((type == 0x00BD || type == 0x00BE) && length >= 6)
                lastColumn = std::max(lastColumn, qFromLittleEndian<quint16>(payload + length - 2));
            usedColumns = std::max<qint64>(usedColumns, lastColumn + 1);
        }
        at += 4 + length;
    }
    if (!sawBof)
        return fail(error, QStringLiteral("工作簿数据为空"));
    if (inSheet)
        closeSheet();
    return true;
}

bool read(const QString &path, const QByteArray &file, const ReadLimits &limits, BookContent *book,
          QString *error) {
    QByteArray stream;
    if (!cfb::readStream(file, {QStringLiteral("Workbook"), QStringLiteral("Book")}, &stream, error,
                         limits.maxFileBytes))
        return false;
    Probe probe;
    if (!probeWorkbookStream(stream, &probe, error))
        return false;
    if (probe.encrypted)
        return fail(error, QStringLiteral("工作簿受密码保护，无法读取"));
    if (probe.sheetCount == 0)
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    if (probe.cellArea > limits.maxCellSlots)
        return fail(error, QStringLiteral("工作簿过大（单元格区域超过 %1 个）").arg(limits.maxCellSlots));

    FreeXlHandle handle;
    const QByteArray nativePath = QFile::encodeName(path);
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
        slotsBefore += sheet.cellSlots();
        content.sheets.push_back(std::move(sheet));
    }
    *book = std::move(content);
    return true;
}

} // namespace tavlo::sheet::xls
