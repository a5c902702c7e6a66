#include "CodingWorkbook.h"

#include "MaterialCode.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

using tavlo::sheet::Worksheet;

namespace {

const Worksheet *sheetOf(const OfficeSlots &office, int slot, int sheet) {
    const ExcelSlot *s = office.excel(slot);
    if (!s || OfficeSlots::ObjectDead(s->application) || OfficeSlots::ObjectDead(s->workbook))
        return nullptr;
    return s->workbook->Sheets(sheet);
}

QString trimmedValue(const Worksheet *sheet, int row, int column) {
    return sheet->value(row, column).trimmed();
}

} // namespace

bool CodingWorkbook::isOpen() const {
    const ExcelSlot *s = m_office.excel(m_slot);
    return s && !OfficeSlots::ObjectDead(s->application) && !OfficeSlots::ObjectDead(s->workbook);
}

QStringList CodingWorkbook::categories() const {
    const Worksheet *sheet = sheetOf(m_office, m_slot, kNamesSheet);
    if (!sheet)
        return {};
    const int count = m_office.CountAlongRow(m_slot, kNamesSheet, 1);
    QStringList items;
    items.reserve(count);
    for (int column = 1; column <= count; ++column)
        items.append(trimmedValue(sheet, 1, column));
    return items;
}

QStringList CodingWorkbook::names(const QString &category) const {
    const int column = MaterialCode::CategoryColumn(category);
    const Worksheet *sheet = sheetOf(m_office, m_slot, kNamesSheet);
    if (!sheet || column < 1)
        return {};
    if (m_office.CountDownColumn(m_slot, kNamesSheet, column) == 1)
        return {MaterialCode::SynthesizedName(trimmedValue(sheet, 1, column))};
    return columnBelowHeader(kNamesSheet, column);
}

bool CodingWorkbook::parameters(int index, const QString &category, const QString &name,
                                QStringList *values) const {
    values->clear();
    const int sheetNumber = kFirstParameterSheet + index - 1;
    const Worksheet *sheet = sheetOf(m_office, m_slot, sheetNumber);
    if (!sheet || index < 1 || index > MaterialCode::kParameterCount)
        return false;
    const bool byCategory = MaterialCode::IsCategoryKeyed(trimmedValue(sheet, 1, 1));
    auto strip = byCategory ? MaterialCode::StripCategoryKey : MaterialCode::StripNameKey;
    const QString key = strip(byCategory ? category : name);
    const int lastColumn = sheet->data().lastColumn();
    for (int column = 1; column <= lastColumn; ++column) {
        if (strip(trimmedValue(sheet, 1, column)) == key) {
            *values = columnBelowHeader(sheetNumber, column);
            return true;
        }
    }
    return false;
}

QStringList CodingWorkbook::columnBelowHeader(int sheetNumber, int column) const {
    const Worksheet *sheet = sheetOf(m_office, m_slot, sheetNumber);
    if (!sheet)
        return {};
    int last = sheet->data().lastRow();
    while (last >= 2 && trimmedValue(sheet, last, column).isEmpty())
        --last;
    QStringList items;
    items.reserve(std::max(0, last - 1));
    for (int row = 2; row <= last; ++row)
        items.append(trimmedValue(sheet, row, column));
    return items;
}
