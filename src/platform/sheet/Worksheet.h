#pragma once

#include "Ranges.h"
#include "SheetData.h"

#include <QObject>
#include <QPointer>
#include <QRect>

namespace tavlo::sheet {

class Workbook;

// One sheet of an open workbook. Lives as long as its workbook; once the workbook is closed every
// operation fails quietly (false, empty text) and isAlive() turns false.
class Worksheet : public QObject {
    Q_OBJECT

public:
    Workbook *workbook() const;
    bool isAlive() const;

    QString Name() const { return m_data.name(); }
    // False (with lastError) for a name the file formats do not allow or that another sheet has.
    bool setName(const QString &name);
    // 1-based position in the workbook.
    int Index() const;
    // Makes this the workbook's active sheet.
    void Activate();

    CellRef Cells(int row, int column) { return CellRef(this, row, column); }
    ColumnsRef Columns(int column) { return ColumnsRef(this, column, column); }
    ColumnsRef Columns(int first, int last) { return ColumnsRef(this, first, last); }
    // "C" or "A:H"; an invalid text gives a range on which every call fails.
    ColumnsRef Columns(const QString &letters);
    UsedRangeInfo UsedRange() const;

    // The same operations by address.
    QString value(int row, int column) const;
    QString text(int row, int column) const;
    bool isNumber(int row, int column) const;
    QString numberFormat(int row, int column) const;
    bool setValue(int row, int column, const QString &text);
    // setValue for the cells of one row from `firstColumn` on, in one step: one change signal for the row.
    // Nothing is stored when any of the texts cannot be.
    bool setRowValues(int row, int firstColumn, const QStringList &texts);
    bool setNumber(int row, int column, double number);
    bool setNumberFormat(int row, int column, const QString &code);
    bool setColumnsFormat(int first, int last, const QString &code);
    double columnWidth(int column) const { return m_data.columnWidth(column); }
    bool setColumnWidth(int first, int last, double width);
    bool autoFit(int first, int last);

    // The cell a window should show as current (`Select`).
    void Select(int row, int column);
    int selectedRow() const { return m_selectedRow; }
    int selectedColumn() const { return m_selectedColumn; }

    const SheetData &data() const { return m_data; }
    QString lastError() const { return m_lastError; }

    // Holds back cellsChanged while many cells are written one by one (a program filling thousands of
    // rows): the windows hear once, of the rectangle around every cell written, when the last hold ends.
    class ChangeHold {
    public:
        explicit ChangeHold(Worksheet *sheet);
        ~ChangeHold();
        ChangeHold(const ChangeHold &) = delete;
        ChangeHold &operator=(const ChangeHold &) = delete;

    private:
        QPointer<Worksheet> m_sheet;
    };

signals:
    void cellsChanged(int top, int left, int bottom, int right);
    void columnsChanged(int first, int last);
    void nameChanged(const QString &name);
    void selectionRequested(int row, int column);

private:
    friend class Workbook;
    Worksheet(Workbook *workbook, SheetData data);
    bool writable(int row, int column);
    bool storeCell(int row, int column, const Cell &cell);
    // The cell a typed text gives at that address (a number unless the cell is formatted as text).
    Cell cellFromText(int row, int column, const QString &text) const;
    static QString slotLimitText();
    static constexpr qsizetype kMaxCellChars = 32767;
    bool failWith(const QString &message);

    SheetData m_data;
    QString m_lastError;
    int m_selectedRow = 1;
    int m_selectedColumn = 1;
    int m_holds = 0;
    QRect m_heldCells; // x column, y row
};

} // namespace tavlo::sheet
