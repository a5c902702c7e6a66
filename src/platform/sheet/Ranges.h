#pragma once

#include <QPointer>
#include <QString>

namespace tavlo::sheet {

class Worksheet;

// `Cells(row, column)`: one cell of a sheet. Every call on a cell of a closed workbook does nothing and
// returns an empty text or false.
class CellRef {
public:
    CellRef(Worksheet *sheet, int row, int column);

    // What a program reads: texts as they are, numbers with all their digits.
    QString Value() const;
    // What the cell shows: numbers in the General format.
    QString Text() const;
    // Stores `text` as if typed into the cell: in a cell formatted "@" it stays text; otherwise a plain
    // number becomes a number and a leading apostrophe keeps the rest as text.
    bool setValue(const QString &text);
    bool setNumber(double number);
    QString NumberFormatLocal() const;
    bool setNumberFormatLocal(const QString &code);
    int Row() const { return m_row; }
    int Column() const { return m_column; }

private:
    QPointer<Worksheet> m_sheet;
    int m_row;
    int m_column;
};

// `Columns(first)` or `Columns("A:H")`: whole columns of a sheet.
class ColumnsRef {
public:
    ColumnsRef(Worksheet *sheet, int first, int last);

    bool isValid() const;
    // The format applies to the whole columns: cells written later and cells already there.
    bool setNumberFormatLocal(const QString &code);
    double ColumnWidth() const;
    bool setColumnWidth(double width);
    // Widens or narrows each column to its longest shown text.
    bool AutoFit();
    int first() const { return m_first; }
    int last() const { return m_last; }

private:
    QPointer<Worksheet> m_sheet;
    int m_first;
    int m_last;
};

// `UsedRange`: the rectangle from the first to the last used cell; A1 alone for an empty sheet.
struct UsedRangeInfo {
    int Row = 1;
    int Column = 1;
    int RowsCount = 1;
    int ColumnsCount = 1;

    // `UsedRange.Rows(UsedRange.Rows.Count).Row`
    int lastRow() const { return Row + RowsCount - 1; }
    int lastColumn() const { return Column + ColumnsCount - 1; }
};

} // namespace tavlo::sheet
