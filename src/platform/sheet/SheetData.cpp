#include "SheetData.h"

#include "CellAddress.h"

#include <algorithm>

namespace tavlo::sheet {

const Cell *SheetData::cell(int row, int column) const {
    const auto it = m_rows.find(row);
    if (it == m_rows.end() || column < 1 || column > int(it->second.size()))
        return nullptr;
    const Cell &c = it->second[column - 1];
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
    auto it = m_rows.find(row);
    if (cell.isUnused()) {
        if (it == m_rows.end() || column > int(it->second.size()))
            return true;
        std::vector<Cell> &cells = it->second;
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
    const qsizetype current = it == m_rows.end() ? 0 : qsizetype(it->second.size());
    const qsizetype growth = std::max<qsizetype>(0, column - current);
    if (m_slots + growth > slotLimit)
        return false;
    if (it == m_rows.end()) {
        it = m_rows.emplace(row, std::vector<Cell>{}).first;
        // A new row is usually as wide as the others: room for that many cells (up to 64) at once,
        // rather than an allocation (and a doubled capacity) for each cell added to its right.
        if (m_columnExtentValid)
            it->second.reserve(size_t(std::clamp(m_lastColumn, column, std::max(column, 64))));
    }
    std::vector<Cell> &cells = it->second;
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

int SheetData::firstColumn() const {
    if (!m_columnExtentValid)
        lastColumn();
    return m_firstColumn;
}

int SheetData::lastColumn() const {
    if (!m_columnExtentValid) {
        m_firstColumn = 0;
        m_lastColumn = 0;
        for (const auto &[row, cells] : m_rows) {
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
