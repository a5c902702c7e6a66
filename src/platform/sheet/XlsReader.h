#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Reading Excel 97-2003 workbooks (.xls): BIFF8, and the BIFF5 files older programs leave.
namespace tavlo::sheet::xls {

// What a first walk through the records finds before anything is read: the sheets, the area they claim
// and whether the book is encrypted.
struct Scan {
    int sheetCount = 0;
    qint64 cellArea = 0; // rows x columns of every sheet, by the larger of the declared and the used extent
    bool encrypted = false;
};

// Walks the records of a BIFF5/BIFF8 workbook stream. False (with a message) when the records do not
// hold together: a record running past the end, a missing BOF or EOF, a cell record of the wrong size,
// a shared string table whose counts point beyond its data, a sheet list pointing inside a record.
bool scanWorkbookStream(const QByteArray &stream, Scan *scan, QString *error);

// Whether the parsed tokens of an .xls formula stand on their own, so that copying them into another
// file of ours keeps the formula: operators, constants, functions built into the program, and
// references to cells of the formula's own sheet. References to other sheets or files, names, shared or
// array formulas and tokens that carry data behind the formula are not.
bool tokensAreSelfContained(const char *tokens, qsizetype size);

// Reads the workbook in `file` (a compound file held in memory): every worksheet with its name, texts,
// numbers, booleans, error values, formulas' results (and their tokens where they stand on their own),
// number formats, column widths, and the active sheet. Chart and macro sheets are skipped. The stream is
// checked whole (scanWorkbookStream) before anything is allocated for its cells, and every length is
// checked against its record, so a damaged, encrypted or oversized file ends in an error.
bool read(const QByteArray &file, const ReadLimits &limits, BookContent *book, QString *error);

} // namespace tavlo::sheet::xls
