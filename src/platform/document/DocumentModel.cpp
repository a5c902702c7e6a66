#include "DocumentModel.h"

#include "Document.h"
#include "Layout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tavlo::document {

namespace {

int borderSlot(Border which) {
    switch (which) {
    case Border::Top:
        return 0;
    case Border::Left:
        return 1;
    case Border::Bottom:
        return 2;
    case Border::Right:
        return 3;
    case Border::DiagonalDown:
        return 4;
    case Border::DiagonalUp:
        return 5;
    }
    return -1;
}

// Boundaries closer than this (points) are one grid line.
constexpr double kGridTolerance = 0.05;

// Spreads `need` over the columns [from, to) when they are narrower together: in proportion to what they
// already have, evenly when they have nothing.
void widenSpan(QList<double> &columns, int from, int to, double need) {
    double have = 0;
    for (int i = from; i < to; ++i)
        have += columns[i];
    if (need <= have + 1e-9)
        return;
    for (int i = from; i < to; ++i)
        columns[i] += (need - have) * (have > 0 ? columns[i] / have : 1.0 / (to - from));
}

// Grid column widths for a fit to content: every column as wide as its content wants on unbroken lines;
// when that is wider than `limit`, the widest columns give way first (one common cap), never below the
// longest word or code of the column; only when even those do not fit is everything scaled down.
QList<double> fitToContent(const std::vector<Row> &rows, const QList<double> &grid, double limit) {
    const int columns = int(grid.size()) - 1;
    auto columnOf = [&](double x) {
        return int(std::lower_bound(grid.begin(), grid.end(), x - kGridTolerance) - grid.begin());
    };
    struct Span {
        int from, to;
        double least, most;
    };
    std::vector<Span> spans;
    for (const Row &r : rows) {
        double x = 0;
        for (const Cell &c : r.cells) {
            const int from = columnOf(x);
            x += c.width;
            const int to = std::clamp(columnOf(x), from + 1, columns);
            if (from < columns)
                spans.push_back({from, to, narrowestCellWidth(c), preferredCellWidth(c)});
        }
    }
    // Single columns first, then wider spans, so a span only adds what its columns lack.
    std::stable_sort(spans.begin(), spans.end(),
                     [](const Span &a, const Span &b) { return a.to - a.from < b.to - b.from; });
    QList<double> least(columns, 0), most(columns, 0);
    for (const Span &s : spans) {
        widenSpan(least, s.from, s.to, s.least);
        widenSpan(most, s.from, s.to, std::max(s.most, s.least));
    }
    for (int i = 0; i < columns; ++i) {
        least[i] = std::max(least[i], kMinimumFitWidth);
        most[i] = std::max(most[i], least[i]);
    }
    auto total = [](const QList<double> &w) { return std::accumulate(w.begin(), w.end(), 0.0); };
    if (limit <= 0 || total(most) <= limit)
        return most;
    if (total(least) >= limit) {
        QList<double> scaled = least;
        const double factor = limit / total(least);
        for (double &w : scaled)
            w *= factor;
        return scaled;
    }
    // The cap at which the capped widths add up to the limit, found by bisection.
    auto capped = [&](double cap) {
        QList<double> w(columns);
        for (int i = 0; i < columns; ++i)
            w[i] = std::max(least[i], std::min(most[i], cap));
        return w;
    };
    double low = 0, high = *std::max_element(most.begin(), most.end());
    for (int i = 0; i < 60; ++i) {
        const double mid = (low + high) / 2;
        (total(capped(mid)) > limit ? high : low) = mid;
    }
    QList<double> w = capped(low);
    // Hand the last fraction of a point to the widest column so the table meets the limit exactly.
    *std::max_element(w.begin(), w.end()) += limit - total(w);
    return w;
}

} // namespace

bool Cell::border(Border which) const {
    const int slot = borderSlot(which);
    return slot >= 0 && borders[size_t(slot)];
}

void Cell::setBorder(Border which, bool on) {
    const int slot = borderSlot(which);
    if (slot >= 0)
        borders[size_t(slot)] = on;
}

double Row::width() const {
    return std::accumulate(cells.begin(), cells.end(), 0.0,
                           [](double sum, const Cell &c) { return sum + c.width; });
}

int Table::CellsCount(int row) const {
    return row >= 1 && row <= RowsCount() ? int(m_rows[size_t(row - 1)].cells.size()) : 0;
}

bool Table::hasCell(int row, int column) const {
    return column >= 1 && column <= CellsCount(row);
}

void Table::touched(int row) {
    if (row >= 1 && row <= RowsCount())
        m_rows[size_t(row - 1)].measure.reset();
    if (m_document)
        m_document->contentChanged();
}

Cell &Table::editCell(int row, int column) {
    touched(row);
    return m_rows[size_t(row - 1)].cells[size_t(column - 1)];
}

Row &Table::mutableRow(int row) {
    touched(row);
    return m_rows[size_t(row - 1)];
}

QString Table::cellText(int row, int column) const {
    return hasCell(row, column) ? cell(row, column).text : QString();
}

void Table::setCellText(int row, int column, const QString &text) {
    if (!hasCell(row, column))
        return;
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    normal.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    editCell(row, column).text = normal;
}

void Table::setRowHeight(int row, double height) {
    if (row >= 1 && row <= RowsCount())
        mutableRow(row).height = std::max(0.0, height);
}

void Table::setColumnWidth(int column, double width) {
    for (int r = 1; r <= RowsCount(); ++r)
        if (hasCell(r, column))
            editCell(r, column).width = std::max(1.0, width);
}

void Table::mergeWithNext(int row, int column) {
    if (!hasCell(row, column + 1))
        return;
    Row &r = mutableRow(row);
    Cell &first = r.cells[size_t(column - 1)];
    const Cell &second = r.cells[size_t(column)];
    first.width += second.width;
    if (!second.text.isEmpty())
        first.text = first.text.isEmpty() ? second.text : first.text + QLatin1Char('\r') + second.text;
    first.setBorder(Border::Right, second.border(Border::Right));
    r.cells.erase(r.cells.begin() + column);
}

void Table::splitCell(int row, int column, int count) {
    if (!hasCell(row, column) || count < 2)
        return;
    Row &r = mutableRow(row);
    Cell original = r.cells[size_t(column - 1)];
    Cell piece = original;
    piece.text.clear();
    piece.width = original.width / count;
    piece.setBorder(Border::DiagonalDown, false);
    piece.setBorder(Border::DiagonalUp, false);
    std::vector<Cell> pieces(size_t(count), piece);
    pieces.front().text = original.text;
    // The pieces add up to the original width exactly.
    pieces.back().width = original.width - piece.width * (count - 1);
    r.cells.erase(r.cells.begin() + (column - 1));
    r.cells.insert(r.cells.begin() + (column - 1), pieces.begin(), pieces.end());
}

void Table::InsertRowsBelow(int row, int count) {
    if (row < 1 || row > RowsCount() || count < 1)
        return;
    Row copy = m_rows[size_t(row - 1)];
    copy.measure.reset();
    for (Cell &c : copy.cells)
        c.text.clear();
    m_rows.insert(m_rows.begin() + row, size_t(count), copy);
    touched(0);
}

Row Table::takeRow(int row) {
    if (row < 1 || row > RowsCount())
        return {};
    Row taken = std::move(m_rows[size_t(row - 1)]);
    taken.measure.reset();
    m_rows.erase(m_rows.begin() + (row - 1));
    touched(0);
    return taken;
}

void Table::insertRow(int row, Row content) {
    if (row < 1 || row > RowsCount() + 1)
        return;
    content.measure.reset();
    m_rows.insert(m_rows.begin() + (row - 1), std::move(content));
    touched(0);
}

QList<double> Table::gridBoundaries() const {
    QList<double> all{0};
    for (const Row &r : m_rows) {
        double x = 0;
        for (const auto &c : r.cells) {
            x += c.width;
            all.append(x);
        }
    }
    std::sort(all.begin(), all.end());
    QList<double> grid;
    for (double x : all)
        if (grid.isEmpty() || x - grid.last() > kGridTolerance)
            grid.append(x);
    return grid;
}

double Table::width() const {
    double widest = 0;
    for (const Row &r : m_rows)
        widest = std::max(widest, r.width());
    return widest;
}

void Table::AutoFitBehavior(AutoFit fit) {
    m_fit = fit;
    if (fit == AutoFit::Fixed || m_rows.empty())
        return;
    const QList<double> grid = gridBoundaries();
    const int columns = int(grid.size()) - 1;
    if (columns < 1)
        return;
    auto columnOf = [&](double x) {
        return int(std::lower_bound(grid.begin(), grid.end(), x - kGridTolerance) - grid.begin());
    };
    QList<double> widths(columns);
    for (int i = 0; i < columns; ++i)
        widths[i] = grid[i + 1] - grid[i];
    if (fit == AutoFit::Content) {
        const double limit = m_document ? m_document->pageSetup().textWidth() : 0;
        widths = fitToContent(m_rows, grid, limit);
    } else {
        const double limit = m_document ? m_document->pageSetup().textWidth() : width();
        const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
        for (double &w : widths)
            w *= limit / total;
    }
    QList<double> newGrid{0};
    for (double w : widths)
        newGrid.append(newGrid.last() + w);
    for (int r = 1; r <= RowsCount(); ++r) {
        Row &row = mutableRow(r);
        double x = 0;
        for (auto &c : row.cells) {
            const int from = columnOf(x);
            x += c.width;
            const int to = std::min(columnOf(x), columns);
            c.width = newGrid[to] - newGrid[from];
        }
    }
}

QString fieldResult(const QString &code, int page, int pageCount) {
    const QString name = code.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    if (name == QLatin1String("PAGE"))
        return QString::number(page);
    if (name == QLatin1String("NUMPAGES"))
        return QString::number(pageCount);
    return QString();
}

} // namespace tavlo::document
