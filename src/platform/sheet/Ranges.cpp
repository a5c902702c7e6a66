#include "Ranges.h"

#include "CellAddress.h"
#include "Worksheet.h"

namespace tavlo::sheet {

CellRef::CellRef(Worksheet *sheet, int row, int column)
    : m_sheet(sheet)
    , m_row(row)
    , m_column(column) {}

QString CellRef::Value() const {
    return m_sheet ? m_sheet->value(m_row, m_column) : QString();
}

QString CellRef::Text() const {
    return m_sheet ? m_sheet->text(m_row, m_column) : QString();
}

bool CellRef::setValue(const QString &text) {
    return m_sheet && m_sheet->setValue(m_row, m_column, text);
}

bool CellRef::setNumber(double number) {
    return m_sheet && m_sheet->setNumber(m_row, m_column, number);
}

QString CellRef::NumberFormatLocal() const {
    return m_sheet ? m_sheet->numberFormat(m_row, m_column) : QString();
}

bool CellRef::setNumberFormatLocal(const QString &code) {
    return m_sheet && m_sheet->setNumberFormat(m_row, m_column, code);
}

ColumnsRef::ColumnsRef(Worksheet *sheet, int first, int last)
    : m_sheet(sheet)
    , m_first(first)
    , m_last(last) {}

bool ColumnsRef::isValid() const {
    return m_sheet && m_sheet->isAlive() && m_first >= 1 && m_first <= m_last && m_last <= kMaxColumns;
}

bool ColumnsRef::setNumberFormatLocal(const QString &code) {
    return isValid() && m_sheet->setColumnsFormat(m_first, m_last, code);
}

double ColumnsRef::ColumnWidth() const {
    return isValid() ? m_sheet->columnWidth(m_first) : 0;
}

bool ColumnsRef::setColumnWidth(double width) {
    return isValid() && m_sheet->setColumnWidth(m_first, m_last, width);
}

bool ColumnsRef::AutoFit() {
    return isValid() && m_sheet->autoFit(m_first, m_last);
}

} // namespace tavlo::sheet
