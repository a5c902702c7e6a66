#pragma once

#include <QList>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tavlo::document {

// Paragraph alignment as the word processor numbers it.
enum class Alignment { Left = 0, Center = 1, Right = 2 };

// Table fit: 0 fixed column widths, 1 fit to content, 2 fit to the page's text width.
enum class AutoFit { Fixed = 0, Content = 1, Window = 2 };

// Cell borders by the word processor's border index (top -1 ... diagonal up -8).
enum class Border {
    Top = -1,
    Left = -2,
    Bottom = -3,
    Right = -4,
    DiagonalDown = -7, // from the top-left to the bottom-right corner
    DiagonalUp = -8,   // rising: from the bottom-left to the top-right corner
};

// The format the characters of a paragraph or cell carry. The font name is kept as given ("宋体"); the
// layout substitutes an installed font for a name the system lacks.
struct CharFormat {
    QString fontName = QStringLiteral("宋体");
    double size = 10.5; // points
    bool bold = false;
    bool operator==(const CharFormat &) const = default;
};

struct Paragraph {
    QString text; // without its paragraph mark
    CharFormat format;
    Alignment alignment = Alignment::Left;
};

// One table cell. Its text may hold several paragraphs, separated by "\r".
struct Cell {
    QString text;
    double width = 72; // points
    CharFormat format;
    Alignment alignment = Alignment::Left;
    // Indexed by borderSlot(): top, left, bottom, right, diagonal down, diagonal up.
    std::array<bool, 6> borders{true, true, true, true, false, false};

    bool border(Border which) const;
    void setBorder(Border which, bool on);
};

// What the layout measured for one row or paragraph; dropped whenever its content changes.
struct Measure {
    double height = 0;
    // Per cell (a paragraph has one): the lines' [start, length) in the cell's text and the line height.
    struct Lines {
        QList<std::pair<int, int>> ranges;
        double lineHeight = 0;
        double ascent = 0;
    };
    QList<Lines> cells;
};

struct Row {
    std::vector<Cell> cells;
    double height = 0; // at least this tall; 0 lets the content decide
    mutable std::optional<Measure> measure;

    double width() const;
};

class Document;

// A table: rows of cells, each row with its own cells and widths (merging and splitting change one row
// only), so the grid is the union of all rows' cell boundaries.
class Table {
public:
    explicit Table(Document *document)
        : m_document(document) {}

    int RowsCount() const { return int(m_rows.size()); }
    // 1-based; the cell count of a row.
    int CellsCount(int row) const;
    const Row &row(int row) const { return m_rows[size_t(row - 1)]; }
    const tavlo::document::Cell &cell(int row, int column) const {
        return m_rows[size_t(row - 1)].cells[size_t(column - 1)];
    }
    bool hasCell(int row, int column) const;
    // For changing a cell: its row is measured again.
    tavlo::document::Cell &editCell(int row, int column);
    Row &mutableRow(int row);

    // The cell's text as written ("\r" between paragraphs).
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString &text);
    void setRowHeight(int row, double height);
    void setColumnWidth(int column, double width);
    // `Cell(row, column).Merge(Cell(row, column + 1))`: one cell as wide as both, texts joined.
    void mergeWithNext(int row, int column);
    // `Cells.Split(1, count, True)`: the cell becomes `count` cells of equal width; its text stays in the
    // first.
    void splitCell(int row, int column, int count);
    // `Rows(row).Select` + `Selection.InsertRowsBelow count`: copies of the row (cells, widths, formats,
    // borders and height) without their texts.
    void InsertRowsBelow(int row, int count);
    // Row `row` taken out of the table, and a row put in at `row` (RowsCount() + 1 appends): how the user's
    // row deletion and insertion and their undoing change the table.
    Row takeRow(int row);
    void insertRow(int row, Row content);
    // `AutoFitBehavior`: content and window change the cell widths; fixed keeps them.
    void AutoFitBehavior(AutoFit fit);
    AutoFit autoFit() const { return m_fit; }

    // Sorted cell boundaries of all rows (0 first): the table grid.
    QList<double> gridBoundaries() const;
    double width() const;

private:
    friend class Document;
    friend class DocumentArchive;
    void touched(int row);

    Document *m_document;
    std::vector<Row> m_rows;
    AutoFit m_fit = AutoFit::Fixed;
};

// A page break before the following block.
struct PageBreak {};

struct Block {
    enum Kind { ParagraphBlock, TableBlock, PageBreakBlock } kind = ParagraphBlock;
    Paragraph paragraph;                    // ParagraphBlock
    std::unique_ptr<Table> table;           // TableBlock
    mutable std::optional<Measure> measure; // ParagraphBlock
};

// One piece of the footer: text or a field whose code names what it shows ("PAGE  \* Arabic ").
struct FooterPart {
    QString text;
    bool field = false;
};

struct PageSetup {
    enum Orientation { Portrait = 0, Landscape = 1 };
    double paperWidth = 595.3; // A4 in points, portrait
    double paperHeight = 841.9;
    Orientation orientation = Portrait;
    double topMargin = 72;
    double bottomMargin = 72;
    double leftMargin = 90;
    double rightMargin = 90;
    double headerDistance = 42.5;
    double footerDistance = 49.6;

    double pageWidth() const { return orientation == Landscape ? paperHeight : paperWidth; }
    double pageHeight() const { return orientation == Landscape ? paperWidth : paperHeight; }
    double textWidth() const { return pageWidth() - leftMargin - rightMargin; }
    double textHeight() const { return pageHeight() - topMargin - bottomMargin; }
};

struct Section {
    PageSetup pageSetup;
    QList<FooterPart> footer;
    Alignment footerAlignment = Alignment::Left;
    CharFormat footerFormat{QStringLiteral("宋体"), 9, false};
    // The header's bottom border (the word processor's header style draws one under a non-empty header).
    bool headerBottomBorder = true;
};

// The value a field shows on a page: PAGE the page number, NUMPAGES the page count.
QString fieldResult(const QString &code, int page, int pageCount);

} // namespace tavlo::document
