#include "Worksheet.h"

#include "Biff8Writer.h"
#include "CellAddress.h"
#include "CellText.h"
#include "NumberText.h"
#include "Workbook.h"

namespace tavlo::sheet {

Worksheet::Worksheet(Workbook *workbook, SheetData data)
    : QObject(workbook)
    , m_data(std::move(data)) {}

Workbook *Worksheet::workbook() const {
    return static_cast<Workbook *>(parent());
}

bool Worksheet::isAlive() const {
    return workbook() && workbook()->isAlive();
}

bool Worksheet::failWith(const QString &message) {
    m_lastError = message;
    return false;
}

bool Worksheet::setName(const QString &name) {
    if (!isAlive())
        return failWith(QStringLiteral("工作簿已关闭"));
    if (!biff8::isValidSheetName(name))
        return failWith(QStringLiteral("工作表名须为 1 到 31 个字符，且不能含有 []:*?/\\"));
    const Worksheet *other = workbook()->Sheets(name);
    if (other && other != this)
        return failWith(QStringLiteral("已有名为“%1”的工作表").arg(name));
    if (name == m_data.name())
        return true;
    m_data.setName(name);
    workbook()->markModified();
    emit nameChanged(name);
    return true;
}

int Worksheet::Index() const {
    if (!isAlive())
        return 0;
    for (int i = 1; i <= workbook()->SheetsCount(); ++i)
        if (workbook()->Sheets(i) == this)
            return i;
    return 0;
}

void Worksheet::Activate() {
    if (isAlive())
        workbook()->activateSheet(this);
}

ColumnsRef Worksheet::Columns(const QString &letters) {
    const QStringList parts = letters.trimmed().split(u':');
    const int first = parts.isEmpty() ? 0 : columnFromLetters(parts.first().trimmed());
    const int last = parts.size() == 2 ? columnFromLetters(parts.last().trimmed()) : first;
    if (parts.size() > 2 || first == 0 || last == 0)
        return ColumnsRef(this, 0, -1);
    return ColumnsRef(this, std::min(first, last), std::max(first, last));
}

UsedRangeInfo Worksheet::UsedRange() const {
    if (!isAlive() || m_data.isEmpty())
        return {};
    return {m_data.firstRow(), m_data.firstColumn(), m_data.lastRow() - m_data.firstRow() + 1,
            m_data.lastColumn() - m_data.firstColumn() + 1};
}

QString Worksheet::value(int row, int column) const {
    const Cell *c = isAlive() ? m_data.cell(row, column) : nullptr;
    return c ? tavlo::sheet::valueText(*c, m_data.effectiveFormat(row, column)) : QString();
}

QString Worksheet::text(int row, int column) const {
    const Cell *c = isAlive() ? m_data.cell(row, column) : nullptr;
    return c ? shownText(*c, m_data.effectiveFormat(row, column)) : QString();
}

bool Worksheet::isNumber(int row, int column) const {
    const Cell *c = isAlive() ? m_data.cell(row, column) : nullptr;
    return c && c->kind == CellKind::Number;
}

QString Worksheet::numberFormat(int row, int column) const {
    if (!isAlive() || row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        return {};
    return m_data.effectiveFormat(row, column);
}

bool Worksheet::writable(int row, int column) {
    if (!isAlive())
        return failWith(QStringLiteral("工作簿已关闭"));
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        return failWith(QStringLiteral("单元格超出工作表范围"));
    return true;
}

QString Worksheet::slotLimitText() {
    return QStringLiteral("工作表的单元格超过上限（%1 个）").arg(kMaxCellSlots);
}

bool Worksheet::storeCell(int row, int column, const Cell &cell) {
    if (!m_data.setCell(row, column, cell))
        return failWith(slotLimitText());
    workbook()->markModified();
    if (m_holds > 0) {
        m_heldCells |= QRect(column, row, 1, 1);
        return true;
    }
    emit cellsChanged(row, column, row, column);
    return true;
}

Worksheet::ChangeHold::ChangeHold(Worksheet *sheet)
    : m_sheet(sheet) {
    if (m_sheet)
        ++m_sheet->m_holds;
}

Worksheet::ChangeHold::~ChangeHold() {
    if (!m_sheet || --m_sheet->m_holds > 0 || m_sheet->m_heldCells.isNull())
        return;
    const QRect cells = m_sheet->m_heldCells;
    m_sheet->m_heldCells = QRect();
    if (m_sheet->isAlive())
        emit m_sheet->cellsChanged(cells.top(), cells.left(), cells.bottom(), cells.right());
}

Cell Worksheet::cellFromText(int row, int column, const QString &text) const {
    const Cell *existing = m_data.cell(row, column);
    const quint16 ownFormat = existing ? existing->format : 0;
    Cell cell;
    double number = 0;
    if (text.isEmpty()) {
        cell.format = ownFormat;
    } else if (m_data.effectiveFormat(row, column) == u"@") {
        cell = Cell::fromText(text, ownFormat);
    } else if (text.startsWith(u'\'')) {
        cell = text.size() > 1 ? Cell::fromText(text.mid(1), ownFormat)
                               : Cell{{}, 0, ownFormat, CellKind::Empty};
    } else if (parseTypedNumber(text, &number)) {
        cell = Cell::fromNumber(number, ownFormat);
    } else {
        cell = Cell::fromText(text, ownFormat);
    }
    return cell;
}

bool Worksheet::setValue(int row, int column, const QString &text) {
    if (!writable(row, column))
        return false;
    if (text.size() > kMaxCellChars)
        return failWith(QStringLiteral("单元格最多容纳 32767 个字符"));
    return storeCell(row, column, cellFromText(row, column, text));
}

bool Worksheet::setRowValues(int row, int firstColumn, const QStringList &texts) {
    if (texts.isEmpty())
        return true;
    if (!writable(row, firstColumn) || !writable(row, firstColumn + int(texts.size()) - 1))
        return false;
    std::vector<Cell> cells;
    cells.reserve(size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts[i].size() > kMaxCellChars)
            return failWith(QStringLiteral("单元格最多容纳 32767 个字符"));
        cells.push_back(cellFromText(row, firstColumn + int(i), texts[i]));
    }
    if (!m_data.setRowCells(row, firstColumn, cells))
        return failWith(slotLimitText());
    workbook()->markModified();
    const int lastColumn = firstColumn + int(texts.size()) - 1;
    if (m_holds > 0) {
        m_heldCells |= QRect(QPoint(firstColumn, row), QPoint(lastColumn, row));
        return true;
    }
    emit cellsChanged(row, firstColumn, row, lastColumn);
    return true;
}

bool Worksheet::setNumber(int row, int column, double number) {
    if (!writable(row, column))
        return false;
    if (!std::isfinite(number))
        return failWith(QStringLiteral("不是有效的数"));
    const Cell *existing = m_data.cell(row, column);
    return storeCell(row, column, Cell::fromNumber(number, existing ? existing->format : 0));
}

bool Worksheet::setNumberFormat(int row, int column, const QString &code) {
    if (!writable(row, column))
        return false;
    Cell cell = m_data.cell(row, column) ? *m_data.cell(row, column) : Cell{};
    cell.format = m_data.internFormat(code.left(255));
    return storeCell(row, column, cell);
}

bool Worksheet::setColumnsFormat(int first, int last, const QString &code) {
    if (!isAlive() || first < 1 || last > kMaxColumns || first > last)
        return failWith(QStringLiteral("列超出工作表范围"));
    const quint16 format = m_data.internFormat(code.left(255));
    // Cells already in the columns take the columns' format.
    QList<std::pair<int, int>> formatted;
    m_data.forEachCell([&](int row, int column, const Cell &cell) {
        if (column >= first && column <= last && cell.format != 0)
            formatted.append({row, column});
    });
    for (const auto &[row, column] : std::as_const(formatted)) {
        Cell cell = *m_data.cell(row, column);
        cell.format = 0;
        m_data.setCell(row, column, cell);
    }
    for (int c = first; c <= last; ++c)
        m_data.setColumnFormat(c, format);
    workbook()->markModified();
    emit columnsChanged(first, last);
    if (!m_data.isEmpty())
        emit cellsChanged(m_data.firstRow(), first, m_data.lastRow(), last);
    return true;
}

bool Worksheet::setColumnWidth(int first, int last, double width) {
    if (!isAlive() || first < 1 || last > kMaxColumns || first > last || width < 0)
        return failWith(QStringLiteral("列宽无效"));
    for (int c = first; c <= last; ++c)
        m_data.setColumnWidth(c, width);
    workbook()->markModified();
    emit columnsChanged(first, last);
    return true;
}

bool Worksheet::autoFit(int first, int last) {
    if (!isAlive() || first < 1 || last > kMaxColumns || first > last)
        return failWith(QStringLiteral("列超出工作表范围"));
    const int lastUsed = std::min(last, m_data.lastColumn());
    std::vector<double> widths(size_t(std::max(0, lastUsed - first + 1)), 0.0);
    m_data.forEachCell([&](int row, int column, const Cell &cell) {
        if (column >= first && column <= lastUsed)
            widths[size_t(column - first)] =
                std::max(widths[size_t(column - first)],
                         fittingColumnWidth(shownText(cell, m_data.effectiveFormat(row, column))));
    });
    for (int c = first; c <= last; ++c) {
        const double w = c <= lastUsed ? widths[size_t(c - first)] : 0;
        m_data.setColumnWidth(c, w > 0 ? w : -1);
    }
    workbook()->markModified();
    emit columnsChanged(first, last);
    return true;
}

void Worksheet::Select(int row, int column) {
    if (!isAlive() || row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        return;
    m_selectedRow = row;
    m_selectedColumn = column;
    emit selectionRequested(row, column);
}

} // namespace tavlo::sheet
