#include "XlsxWriter.h"

#include "Biff8Writer.h"
#include "CellAddress.h"
#include "CellText.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <vector>

namespace tavlo::sheet::xlsx {

namespace {

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

QString libraryMessage(lxw_error code) {
    return QString::fromUtf8(lxw_strerror(code));
}

// Owns the libxlsxwriter workbook until it is closed; a workbook never closed is closed on the way out.
class LxwBook {
public:
    LxwBook(const QByteArray &path, bool streamed) {
        lxw_workbook_options options{};
        options.constant_memory = streamed ? LXW_TRUE : LXW_FALSE;
        m_book = workbook_new_opt(path.constData(), &options);
    }
    ~LxwBook() {
        if (m_book)
            workbook_close(m_book);
    }
    lxw_workbook *get() const { return m_book; }
    lxw_error close() {
        const lxw_error result = workbook_close(m_book);
        m_book = nullptr;
        return result;
    }

    lxw_format *format(const QString &code) {
        if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
            return nullptr;
        auto it = m_formats.constFind(code);
        if (it != m_formats.constEnd())
            return it.value();
        lxw_format *format = workbook_add_format(m_book);
        const int builtin = biff8::builtinFormatId(code);
        if (builtin > 0)
            format_set_num_format_index(format, uint8_t(builtin));
        else
            format_set_num_format(format, code.toUtf8().constData());
        m_formats.insert(code, format);
        return format;
    }

private:
    lxw_workbook *m_book = nullptr;
    QHash<QString, lxw_format *> m_formats;
};

bool isHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A text as the package stores it: U+0000, which XML cannot hold, as "_x0000_", and a literal "_xHHHH_"
// with its underscore escaped ("_x005F_"), so that a reader's unescaping gives back the text unchanged.
QByteArray packageText(const QString &text) {
    if (!text.contains(QChar(0)) && !text.contains(QLatin1String("_x")))
        return text.toUtf8();
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QChar(0)) {
            out += QLatin1String("_x0000_");
            continue;
        }
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_' &&
            isHex(text[i + 2]) && isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]))
            out += QLatin1String("_x005F");
        out += text[i];
    }
    return out.toUtf8();
}

bool writeSheet(LxwBook &book, const SheetData &sheet, bool active, QString *error) {
    lxw_worksheet *ws = workbook_add_worksheet(book.get(), sheet.name().toUtf8().constData());
    if (!ws)
        return fail(error, QStringLiteral("工作表名“%1”不能用于 .xlsx 文件").arg(sheet.name()));
    if (active)
        worksheet_activate(ws);
    for (int c = 1; c <= sheet.columnInfoCount(); ++c) {
        const quint16 format = sheet.columnFormat(c);
        if (!sheet.hasCustomWidth(c) && format == 0)
            continue;
        const double width = sheet.hasCustomWidth(c) ? sheet.columnWidth(c) : LXW_DEF_COL_WIDTH;
        worksheet_set_column(ws, lxw_col_t(c - 1), lxw_col_t(c - 1), width,
                             book.format(sheet.formatCode(format)));
    }
    // The library's format of each of the sheet's format indexes, looked up once.
    std::vector<lxw_format *> formats(size_t(sheet.formatCount()), nullptr);
    std::vector<bool> known(formats.size(), false);
    auto formatOf = [&](quint16 index) {
        if (index >= formats.size())
            return book.format(sheet.formatCode(index));
        if (!known[index]) {
            formats[index] = book.format(sheet.formatCode(index));
            known[index] = true;
        }
        return formats[index];
    };
    lxw_error result = LXW_NO_ERROR;
    int failedRow = 0;
    int failedColumn = 0;
    sheet.forEachCell([&](int row, int column, const Cell &cell) {
        if (result != LXW_NO_ERROR)
            return;
        lxw_format *format = formatOf(cell.format != 0 ? cell.format : sheet.columnFormat(column));
        const lxw_row_t r = lxw_row_t(row - 1);
        const lxw_col_t c = lxw_col_t(column - 1);
        const Formula *formula = sheet.formula(row, column);
        if (formula && !formula->text.isEmpty()) {
            const QByteArray text = formula->text.toUtf8();
            if (cell.kind == CellKind::Number)
                result = worksheet_write_formula_num(ws, r, c, text.constData(), format, cell.number);
            else
                result = worksheet_write_formula_str(
                    ws, r, c, text.constData(), format,
                    packageText(shownText(cell, sheet.effectiveFormat(row, column))).constData());
        } else
            switch (cell.kind) {
            case CellKind::Text:
                result = worksheet_write_string(ws, r, c, packageText(cell.text).constData(), format);
                break;
            case CellKind::Number:
                result = worksheet_write_number(ws, r, c, cell.number, format);
                break;
            case CellKind::Boolean:
                result = worksheet_write_boolean(ws, r, c, cell.number != 0, format);
                break;
            case CellKind::Error: {
                // The library writes no bare error values: the error as a formula of its own gives the same.
                const QByteArray text = errorText(quint8(cell.number)).toUtf8();
                result = worksheet_write_formula_str(ws, r, c, text.constData(), format, text.constData());
                break;
            }
            case CellKind::Empty:
                result = worksheet_write_blank(ws, r, c, format);
                break;
            }
        if (result != LXW_NO_ERROR) {
            failedRow = row;
            failedColumn = column;
        }
    });
    if (result != LXW_NO_ERROR)
        return fail(error, QStringLiteral("无法写入单元格 %1：%2")
                               .arg(cellAddress(failedRow, failedColumn), libraryMessage(result)));
    return true;
}

} // namespace

bool write(const BookView &book, QByteArray *file, QString *error) {
    if (book.sheets.isEmpty())
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    QTemporaryDir dir;
    if (!dir.isValid())
        return fail(error, QStringLiteral("无法建立临时文件夹"));
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    {
        // A small book keeps its texts in one shared table, as office programs write them; a large one is
        // streamed (see kSharedStringCellLimit).
        qsizetype cells = 0;
        for (const SheetData *sheet : book.sheets)
            cells += sheet->cellSlots();
        LxwBook lxw(QFile::encodeName(path), cells > kSharedStringCellLimit);
        if (!lxw.get())
            return fail(error, QStringLiteral("无法建立 .xlsx 文件"));
        const int active = std::clamp(book.activeSheet, 0, int(book.sheets.size()) - 1);
        for (int i = 0; i < book.sheets.size(); ++i)
            if (!writeSheet(lxw, *book.sheets[i], i == active, error))
                return false;
        const lxw_error closed = lxw.close();
        if (closed != LXW_NO_ERROR)
            return fail(error, QStringLiteral("无法写出 .xlsx 文件：%1").arg(libraryMessage(closed)));
    }
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly))
        return fail(error, written.errorString());
    *file = written.readAll();
    return true;
}

} // namespace tavlo::sheet::xlsx
