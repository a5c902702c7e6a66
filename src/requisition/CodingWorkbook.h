#pragma once

#include <QString>
#include <QStringList>

class OfficeSlots;

// Reads the lists of the code builder from the coding workbook held in a spreadsheet slot:
// sheet 2 holds the categories (row 1) and their names (one column each), sheets 3 to 7 the values
// of parameters 1 to 5, one column per category or per name. Every text is trimmed of blanks.
// Nothing here writes to the workbook.
class CodingWorkbook {
public:
    static constexpr int kNamesSheet = 2;
    static constexpr int kFirstParameterSheet = 3;

    CodingWorkbook(const OfficeSlots &office, int slot)
        : m_office(office)
        , m_slot(slot) {}

    // The slot holds a live application and workbook.
    bool isOpen() const;

    // Sheet 2, row 1, up to the first empty cell.
    QStringList categories() const;
    // The names of a category, from the column its characters 3 and 4 give: the cells below the header
    // down to the column's last non-empty one, or the one synthesized name when the column holds only
    // its header. Empty when the category names no column.
    QStringList names(const QString &category) const;
    // The values of parameter `index` (1..5) for the category or name its sheet is keyed by. False when
    // the sheet is missing or no header of its row 1 matches (the workbook does not fit the builder).
    bool parameters(int index, const QString &category, const QString &name, QStringList *values) const;

private:
    // The trimmed cells of `column` of a sheet from row 2 down to its last non-empty row.
    QStringList columnBelowHeader(int sheet, int column) const;

    const OfficeSlots &m_office;
    int m_slot;
};
