#include "TableCells.h"

#include "DxfFile.h"

namespace tavlo::drawing {

TableCells TableCells::read(const DxfFile &file, const DxfChunk &chunk) {
    TableCells t;
    const auto &pairs = chunk.pairs;
    const int n = int(pairs.size());
    // The grid lives in the AcDbTable subclass.
    int i = 0;
    for (; i < n; ++i)
        if (pairs[i].code == 100 && file.trimmedValue(pairs[i]) == "AcDbTable")
            break;
    for (; i < n; ++i) {
        const int code = pairs[i].code;
        if (code == 171)
            break;
        const QByteArrayView v = file.trimmedValue(pairs[i]);
        if (code == 91 && t.rows == 0)
            t.rows = v.toByteArray().toInt();
        else if (code == 92 && t.columns == 0)
            t.columns = v.toByteArray().toInt();
        else if (code == 141)
            t.rowHeights.append(v.toByteArray().toDouble());
        else if (code == 142)
            t.columnWidths.append(v.toByteArray().toDouble());
    }
    if (t.rows <= 0 || t.columns <= 0 || t.rows > 100000 || t.columns > 10000) {
        t.rows = t.columns = 0;
        return t;
    }
    // Cells, row by row, each starting with its 171 (cell type).
    std::vector<int> starts;
    for (; i < n && int(starts.size()) < t.rows * t.columns; ++i)
        if (pairs[i].code == 171)
            starts.push_back(i);
    for (size_t k = 0; k < starts.size(); ++k) {
        TableCell cell;
        cell.begin = starts[k];
        cell.end = k + 1 < starts.size() ? starts[k + 1] : n;
        if (k + 1 == starts.size()) {
            // The last cell ends where the entity's trailing data begins.
            for (int j = cell.begin + 1; j < n; ++j)
                if (pairs[j].code == 1001 || pairs[j].code == 101 || pairs[j].code == 100) {
                    cell.end = j;
                    break;
                }
        }
        for (int j = cell.begin + 1; j < cell.end; ++j) {
            const int code = pairs[j].code;
            if (code == 175)
                cell.columnSpan = qMax(1, file.trimmedValue(pairs[j]).toByteArray().toInt());
            else if (code == 176)
                cell.rowSpan = qMax(1, file.trimmedValue(pairs[j]).toByteArray().toInt());
            else if (code == 301 && file.trimmedValue(pairs[j]) == "CELL_VALUE" && cell.valueBegin < 0)
                cell.valueBegin = j;
            else if (code == 304 && file.trimmedValue(pairs[j]) == "ACVALUE_END" && cell.valueBegin >= 0 &&
                     cell.valueEnd < 0)
                cell.valueEnd = j;
        }
        if (cell.valueBegin >= 0 && cell.valueEnd < 0)
            cell.valueEnd = cell.end;
        t.cells.push_back(cell);
    }
    return t;
}

const TableCell *TableCells::cell(int row, int column) const {
    if (row < 0 || column < 0 || row >= rows || column >= columns)
        return nullptr;
    const size_t index = size_t(row) * size_t(columns) + size_t(column);
    return index < cells.size() ? &cells[index] : nullptr;
}

void TableCells::textRange(int row, int column, int *from, int *to) const {
    const TableCell *c = cell(row, column);
    if (!c) {
        *from = *to = -1;
        return;
    }
    if (c->valueBegin >= 0) {
        *from = c->valueBegin;
        *to = c->valueEnd;
    } else {
        *from = c->begin;
        *to = c->end;
    }
}

} // namespace tavlo::drawing
