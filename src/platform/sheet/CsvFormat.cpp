#include "CsvFormat.h"

#include "CellAddress.h"
#include "CellText.h"

namespace tavlo::sheet::csv {

namespace {

// Tabs separate the fields when the first record holds tabs but no comma outside its quoted fields.
QChar detectSeparator(const QString &text) {
    bool quoted = false;
    bool comma = false;
    bool tab = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\n')
            break;
        else if (c == u',')
            comma = true;
        else if (c == u'\t')
            tab = true;
    }
    return !comma && tab ? QChar(u'\t') : QChar(u',');
}

} // namespace

bool parse(const QString &text, SheetData *sheet, const ReadLimits &limits, QString *error) {
    const QChar separator = detectSeparator(text);
    int row = 1;
    int column = 1;
    QString field;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the current field started with a quote
    qint64 chars = 0;

    auto endField = [&]() -> bool {
        if (!field.isEmpty()) {
            chars += field.size();
            if (chars > limits.maxTextChars || row > kMaxRows || column > kMaxColumns ||
                !sheet->setCell(row, column, Cell::fromText(field), limits.maxCellSlots)) {
                if (error)
                    *error = QStringLiteral("表格过大（超过 %1 行、%2 列或单元格总数上限）")
                                 .arg(kMaxRows)
                                 .arg(kMaxColumns);
                return false;
            }
        }
        field.clear();
        wasQuoted = false;
        ++column;
        return true;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else if (c == separator) {
            if (!endField())
                return false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            if (!endField())
                return false;
            ++row;
            column = 1;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || wasQuoted)
        return endField();
    return true;
}

namespace {

QString quoteField(const QString &field) {
    // A TAB is quoted too: a reader may take a first line with tabs and no comma as tab-separated.
    const bool needsQuotes = field.contains(u',') || field.contains(u'"') || field.contains(u'\t') ||
                             field.contains(u'\n') || field.contains(u'\r') || field.startsWith(u' ') ||
                             field.endsWith(u' ');
    if (!needsQuotes)
        return field;
    QString quotedField = field;
    quotedField.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quotedField + u'"';
}

} // namespace

namespace {

// Hands each record (with its CR LF) to `sink`, blank records for rows without cells included.
template <typename Sink> void writeRecords(const SheetData &sheet, Sink sink) {
    int nextRow = 1;
    const QString crlf = QStringLiteral("\r\n");
    sheet.forEachRow([&](int row, const std::vector<Cell> &cells) {
        for (; nextRow < row; ++nextRow)
            sink(crlf);
        QStringList fields;
        for (int c = 0; c < int(cells.size()); ++c)
            fields << quoteField(valueText(cells[c], sheet.effectiveFormat(row, c + 1)));
        while (!fields.isEmpty() && fields.last().isEmpty())
            fields.removeLast();
        sink(fields.join(u',') + crlf);
        nextRow = row + 1;
    });
}

} // namespace

QString write(const SheetData &sheet) {
    QString out;
    writeRecords(sheet, [&out](const QString &record) { out += record; });
    return out;
}

QByteArray writeUtf8(const SheetData &sheet) {
    QByteArray out("\xEF\xBB\xBF");
    writeRecords(sheet, [&out](const QString &record) { out += record.toUtf8(); });
    return out;
}

} // namespace tavlo::sheet::csv
