#include "SheetData.h"

#include "CellAddress.h"

#include <algorithm>

namespace tavlo::sheet {

std::vector<SheetData::Row>::iterator SheetData::rowPosition(int row) {
    if (m_rows.empty() || row > m_rows.back().number)
        return m_rows.end();
    // A sheet filled top down writes its last row again and again.
    if (row == m_rows.back().number)
        return m_rows.end() - 1;
    return std::lower_bound(m_rows.begin(), m_rows.end(), row,
                            [](const Row &r, int number) { return r.number < number; });
}

std::vector<SheetData::Row>::const_iterator SheetData::rowPosition(int row) const {
    return const_cast<SheetData *>(this)->rowPosition(row);
}

const Cell *SheetData::cell(int row, int column) const {
    const auto it = rowPosition(row);
    if (it == m_rows.end() || it->number != row || column < 1 || column > int(it->cells.size()))
        return nullptr;
    const Cell &c = it->cells[column - 1];
    return c.isUnused() ? nullptr : &c;
}

QString errorText(quint8 code) {
    switch (CellError(code)) {
    case CellError::Null:
        return QStringLiteral("#NULL!");
    case CellError::Div0:
        return QStringLiteral("#DIV/0!");
    case CellError::Value:
        return QStringLiteral("#VALUE!");
    case CellError::Ref:
        return QStringLiteral("#REF!");
    case CellError::Name:
        return QStringLiteral("#NAME?");
    case CellError::Num:
        return QStringLiteral("#NUM!");
    case CellError::NA:
        return QStringLiteral("#N/A");
    }
    return {};
}

bool parseErrorText(QStringView text, quint8 *code) {
    for (quint8 c : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A}) {
        if (text.trimmed() == errorText(c)) {
            *code = c;
            return true;
        }
    }
    return false;
}

const Formula *SheetData::formula(int row, int column) const {
    if (m_formulas.empty())
        return nullptr;
    const auto it = m_formulas.find({row, column});
    return it == m_formulas.end() ? nullptr : &it->second;
}

void SheetData::setFormula(int row, int column, Formula formula) {
    if (cell(row, column))
        m_formulas[{row, column}] = std::move(formula);
}

bool SheetData::setCell(int row, int column, const Cell &cell, qsizetype slotLimit) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        return false;
    if (!m_formulas.empty()) {
        const auto f = m_formulas.find({row, column});
        if (f != m_formulas.end()) {
            const Cell *old = this->cell(row, column);
            if (!old || !old->sameValue(cell))
                m_formulas.erase(f);
        }
    }
    auto it = rowPosition(row);
    const bool found = it != m_rows.end() && it->number == row;
    if (cell.isUnused()) {
        if (!found || column > int(it->cells.size()))
            return true;
        std::vector<Cell> &cells = it->cells;
        cells[column - 1] = Cell{};
        const qsizetype before = qsizetype(cells.size());
        while (!cells.empty() && cells.back().isUnused())
            cells.pop_back();
        m_slots -= before - qsizetype(cells.size());
        if (cells.empty())
            m_rows.erase(it);
        invalidateColumnExtent();
        return true;
    }
    const qsizetype current = found ? qsizetype(it->cells.size()) : 0;
    const qsizetype growth = std::max<qsizetype>(0, column - current);
    if (m_slots + growth > slotLimit)
        return false;
    if (!found) {
        it = m_rows.insert(it, Row{row, {}});
        // A new row is usually as wide as the others: room for that many cells (up to 64) at once,
        // rather than an allocation (and a doubled capacity) for each cell added to its right.
        if (m_columnExtentValid)
            it->cells.reserve(size_t(std::clamp(m_lastColumn, column, std::max(column, 64))));
    }
    std::vector<Cell> &cells = it->cells;
    if (growth > 0)
        cells.resize(size_t(column));
    cells[column - 1] = cell;
    m_slots += growth;
    if (m_columnExtentValid) {
        m_firstColumn = m_firstColumn == 0 ? column : std::min(m_firstColumn, column);
        m_lastColumn = std::max(m_lastColumn, column);
    }
    return true;
}

bool SheetData::setRowCells(int row, int firstColumn, const std::vector<Cell> &cells, qsizetype slotLimit) {
    const int lastColumn = firstColumn + int(cells.size()) - 1;
    if (cells.empty())
        return true;
    if (row < 1 || row > kMaxRows || firstColumn < 1 || lastColumn > kMaxColumns)
        return false;
    // The row's new width: its old one, or up to the last cell of `cells` that is used.
    int last = 0;
    for (int c = int(cells.size()) - 1; c >= 0 && last == 0; --c)
        if (!cells[size_t(c)].isUnused())
            last = firstColumn + c;
    const auto it = rowPosition(row);
    const bool found = it != m_rows.end() && it->number == row;
    const qsizetype current = found ? qsizetype(it->cells.size()) : 0;
    if (m_slots + std::max<qsizetype>(0, last - current) > slotLimit)
        return false;
    if (last > current) {
        if (found) {
            it->cells.reserve(size_t(last));
        } else {
            std::vector<Cell> storage;
            storage.reserve(size_t(last));
            m_rows.insert(it, Row{row, std::move(storage)});
        }
    }
    for (int c = 0; c < int(cells.size()); ++c)
        setCell(row, firstColumn + c, cells[size_t(c)], slotLimit);
    return true;
}

int SheetData::firstColumn() const {
    if (!m_columnExtentValid)
        lastColumn();
    return m_firstColumn;
}

int SheetData::lastColumn() const {
    if (!m_columnExtentValid) {
        m_firstColumn = 0;
        m_lastColumn = 0;
        for (const Row &r : m_rows) {
            const std::vector<Cell> &cells = r.cells;
            m_lastColumn = std::max(m_lastColumn, int(cells.size()));
            for (int c = 0; c < int(cells.size()); ++c) {
                if (!cells[c].isUnused()) {
                    m_firstColumn = m_firstColumn == 0 ? c + 1 : std::min(m_firstColumn, c + 1);
                    break;
                }
            }
        }
        m_columnExtentValid = true;
    }
    return m_lastColumn;
}

quint16 SheetData::internFormat(const QString &code) {
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    const qsizetype found = m_formats.indexOf(code);
    if (found >= 0)
        return quint16(found + 1);
    if (m_formats.size() >= 0xFFFE)
        return 0;
    m_formats.append(code);
    return quint16(m_formats.size());
}

QString SheetData::formatCode(quint16 index) const {
    if (index == 0 || index > m_formats.size())
        return QStringLiteral("General");
    return m_formats.at(index - 1);
}

QString SheetData::effectiveFormat(int row, int column) const {
    if (const Cell *c = cell(row, column); c && c->format != 0)
        return formatCode(c->format);
    return formatCode(columnFormat(column));
}

SheetData::ColumnInfo *SheetData::columnInfo(int column, bool create) {
    if (column < 1 || column > kMaxColumns)
        return nullptr;
    if (column > int(m_columns.size())) {
        if (!create)
            return nullptr;
        m_columns.resize(size_t(column));
    }
    return &m_columns[column - 1];
}

double SheetData::columnWidth(int column) const {
    if (column < 1 || column > int(m_columns.size()) || m_columns[column - 1].width < 0)
        return kDefaultColumnWidth;
    return m_columns[column - 1].width;
}

bool SheetData::hasCustomWidth(int column) const {
    return column >= 1 && column <= int(m_columns.size()) && m_columns[column - 1].width >= 0;
}

void SheetData::setColumnWidth(int column, double width) {
    if (ColumnInfo *info = columnInfo(column, true))
        info->width = width < 0 ? -1 : std::min(width, kMaxColumnWidth);
}

quint16 SheetData::columnFormat(int column) const {
    if (column < 1 || column > int(m_columns.size()))
        return 0;
    return m_columns[column - 1].format;
}

void SheetData::setColumnFormat(int column, quint16 format) {
    if (format == 0 && column > int(m_columns.size()))
        return;
    if (ColumnInfo *info = columnInfo(column, true))
        info->format = format;
}

} // namespace tavlo::sheet
