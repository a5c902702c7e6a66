#pragma once

#include <QList>

#include <vector>

namespace tavlo::drawing {

class DxfFile;
struct DxfChunk;

// Where an ACAD_TABLE entity keeps its grid and its cells, as pair positions inside the entity. Read
// afresh after every edit of the entity, since an edit may add or remove pairs.
struct TableCell {
    int begin = 0;       // the cell's 171 pair
    int end = 0;         // one past its last pair
    int valueBegin = -1; // the CELL_VALUE block (R2007 on), else -1
    int valueEnd = -1;
    int columnSpan = 1;
    int rowSpan = 1;
};

struct TableCells {
    int rows = 0;
    int columns = 0;
    QList<double> rowHeights;
    QList<double> columnWidths;
    std::vector<TableCell> cells; // row by row

    static TableCells read(const DxfFile &file, const DxfChunk &chunk);
    const TableCell *cell(int row, int column) const;
    // The pair range holding the cell's text: the value block when there is one, else the whole cell.
    void textRange(int row, int column, int *from, int *to) const;
};

} // namespace tavlo::drawing
