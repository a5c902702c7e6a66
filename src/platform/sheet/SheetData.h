#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <map>
#include <vector>

namespace tavlo::sheet {

enum class CellKind : quint8 { Empty, Text, Number, Boolean, Error };

// The error values a cell can hold, by the codes the .xls format gives them.
enum class CellError : quint8 {
    Null = 0x00,  // #NULL!
    Div0 = 0x07,  // #DIV/0!
    Value = 0x0F, // #VALUE!
    Ref = 0x17,   // #REF!
    Name = 0x1D,  // #NAME?
    Num = 0x24,   // #NUM!
    NA = 0x2A,    // #N/A
};
// "#DIV/0!" and the like; empty for a code that is none of them.
QString errorText(quint8 code);
// The code of an error text ("#N/A" -> 0x2A); false when the text is no error value.
bool parseErrorText(QStringView text, quint8 *code);

// One cell: its value and the index of its number format in the sheet's format table (0 = General).
struct Cell {
    QString text;      // the value of a Text cell
    double number = 0; // the value of a Number cell; 0 or 1 for a Boolean cell; the code of an Error cell
    quint16 format = 0;
    CellKind kind = CellKind::Empty;

    // A cell without value and without a format of its own is not part of the used range.
    bool isUnused() const { return kind == CellKind::Empty && format == 0; }
    static Cell fromText(const QString &text, quint16 format = 0) {
        return {text, 0, format, CellKind::Text};
    }
    static Cell fromNumber(double number, quint16 format = 0) {
        return {{}, number, format, CellKind::Number};
    }
    static Cell fromBoolean(bool value, quint16 format = 0) {
        return {{}, value ? 1.0 : 0.0, format, CellKind::Boolean};
    }
    static Cell fromError(quint8 code, quint16 format = 0) {
        return {{}, double(code), format, CellKind::Error};
    }
    bool sameValue(const Cell &other) const {
        return kind == other.kind && number == other.number && text == other.text;
    }
};

// The formula behind a cell whose value is the formula's last result. A file keeps it in its own form:
// `tokens` holds an .xls formula's parsed tokens when they stand on their own (nothing refers to other
// sheets, other files or names), `text` the formula as text ("A2*B2", without "="), as .xlsx files hold
// it and as far as .xls tokens can be written as text. Both empty: the cell was a formula that only its
// result can carry.
struct Formula {
    QByteArray tokens;
    QString text;
};

// Excel's standard column width, in widths of the digit "0".
inline constexpr double kDefaultColumnWidth = 8.43;
inline constexpr double kMaxColumnWidth = 255;
// Files store a column's width with the cell margin of 5 pixels at 7 pixels per digit; users see it without.
inline double storedColumnWidth(double userWidth) {
    return userWidth + 5.0 / 7.0;
}
inline double userColumnWidth(double storedWidth) {
    const double width = storedWidth - 5.0 / 7.0;
    return width <= 0 ? 0 : double(qRound(width * 100)) / 100;
}

// The most cell slots one sheet may hold: every row an .xlsx sheet
// has, 16 columns wide (about 670 MB of cells at most).
inline constexpr qsizetype kMaxCellSlots = qsizetype(1048576) * 16;
// What a workbook read from a file may hold, all sheets together: every row of an .xlsx sheet six columns
// wide (about 250 MB of cells), so the import sheet of a full batch (columns A to F) reads back while a
// hostile file still ends in an error long before memory does.
inline constexpr qsizetype kMaxReadCellSlots = qsizetype(1048576) * 6;

// The contents of one sheet as a plain value: cells stored by row, each row dense from column 1 to its
// last cell; column widths and column formats; a table of number-format codes. Rows and columns are
// 1-based. Knows nothing of files or windows.
class SheetData {
public:
    explicit SheetData(QString name = {})
        : m_name(std::move(name)) {}

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    // nullptr when the cell was never used.
    const Cell *cell(int row, int column) const;
    // Stores the cell (an unused cell clears it). False when the address is outside the sheet or the sheet
    // would hold more than `slotLimit` slots.
    bool setCell(int row, int column, const Cell &cell, qsizetype slotLimit = kMaxCellSlots);
    // Stores `cells` into one row from `firstColumn` on, as setCell does one by one, with the row's storage
    // sized once. False, with nothing stored, when the row would pass the sheet's end or the slot limit.
    bool setRowCells(int row, int firstColumn, const std::vector<Cell> &cells,
                     qsizetype slotLimit = kMaxCellSlots);
    void clearCell(int row, int column) { setCell(row, column, Cell{}); }
    // The formula of a cell, if it has one. A cell keeps its formula while its value stays what the formula
    // last gave; storing another value (or clearing the cell) drops it.
    const Formula *formula(int row, int column) const;
    void setFormula(int row, int column, Formula formula);
    qsizetype formulaCount() const { return qsizetype(m_formulas.size()); }
    template <typename F> void forEachFormula(F &&f) const {
        for (const auto &[address, formula] : m_formulas)
            f(address.first, address.second, formula);
    }
    // Cell slots held by the rows (every row is dense up to its last used cell).
    qsizetype cellSlots() const { return m_slots; }

    bool isEmpty() const { return m_rows.empty(); }
    // The used rectangle; all 0 for an empty sheet.
    int firstRow() const { return m_rows.empty() ? 0 : m_rows.front().number; }
    int lastRow() const { return m_rows.empty() ? 0 : m_rows.back().number; }
    int firstColumn() const;
    int lastColumn() const;

    // Number formats: index 0 is General; "" and "General" intern to 0.
    quint16 internFormat(const QString &code);
    QString formatCode(quint16 index) const;
    int formatCount() const { return int(m_formats.size()) + 1; }
    // The code a cell shows with: its own format, else its column's, else General.
    QString effectiveFormat(int row, int column) const;

    double columnWidth(int column) const;
    bool hasCustomWidth(int column) const;
    void setColumnWidth(int column, double width);
    quint16 columnFormat(int column) const;
    void setColumnFormat(int column, quint16 format);
    // Columns carrying a width or a format: 1..columnInfoCount().
    int columnInfoCount() const { return int(m_columns.size()); }

    // Calls f(row, column, cell) for every used cell, row by row, left to right.
    template <typename F> void forEachCell(F &&f) const {
        for (const Row &r : m_rows)
            for (int c = 0; c < int(r.cells.size()); ++c)
                if (!r.cells[c].isUnused())
                    f(r.number, c + 1, r.cells[c]);
    }
    // Calls f(row, cells) for every row; cells[0] is column 1.
    template <typename F> void forEachRow(F &&f) const {
        for (const Row &r : m_rows)
            f(r.number, r.cells);
    }

private:
    struct ColumnInfo {
        double width = -1; // below 0: standard width
        quint16 format = 0;
    };
    // Rows in ascending order of their number; a sheet is mostly filled top down, so a new row is
    // usually appended. Kept in one array: a row costs its cells and 32 bytes.
    struct Row {
        int number = 0;
        std::vector<Cell> cells;
    };
    // The row with that number, or the position a new one goes.
    std::vector<Row>::iterator rowPosition(int row);
    std::vector<Row>::const_iterator rowPosition(int row) const;
    ColumnInfo *columnInfo(int column, bool create);
    void invalidateColumnExtent() { m_columnExtentValid = false; }

    QString m_name;
    std::vector<Row> m_rows;
    std::vector<ColumnInfo> m_columns;
    std::map<std::pair<int, int>, Formula> m_formulas; // (row, column) -> formula
    QStringList m_formats;                             // index i holds format i + 1
    qsizetype m_slots = 0;
    mutable bool m_columnExtentValid = true;
    mutable int m_firstColumn = 0;
    mutable int m_lastColumn = 0;
};

} // namespace tavlo::sheet
