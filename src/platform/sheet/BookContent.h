#pragma once

#include "SheetData.h"

#include <QList>

#include <vector>

namespace tavlo::sheet {

// What a reader makes of a file: the sheets in order and the index of the active one.
struct BookContent {
    std::vector<SheetData> sheets;
    int activeSheet = 0;
};

// What a writer stores: the sheets of a workbook, borrowed, and the index of the active one.
struct BookView {
    QList<const SheetData *> sheets;
    int activeSheet = 0;
};

// Bounds every reader keeps, so a hostile file ends in an error instead of exhausting memory or time.
struct ReadLimits {
    qint64 maxFileBytes = 256LL << 20;          // the file as it lies on disk
    qint64 maxInflatedBytes = 512LL << 20;      // all parts of an .xlsx package after decompression
    qsizetype maxCellSlots = kMaxReadCellSlots; // cells of all sheets together
    qint64 maxTextChars = 64LL << 20;           // characters of all texts together
};

} // namespace tavlo::sheet
