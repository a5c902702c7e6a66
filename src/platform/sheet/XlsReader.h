#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Reading Excel 97-2003 workbooks (.xls).
namespace tavlo::sheet::xls {

// What one walk through the records finds besides the values FreeXL reads: the size of every sheet, the
// number formats of cells and columns, booleans (FreeXL reports them as integers), column widths and
// the active sheet.
struct Scan {
    struct FormattedCell {
        int row;
        int column;
        int format; // index into formats
    };
    struct Column {
        int first;
        int last;
        double width; // as users see it; below 0 when standard
        int format;   // index into formats, -1 for General
    };
    struct Sheet {
        QString name;
        std::vector<FormattedCell> formattedCells;
        std::vector<FormattedCell> booleans; // `format` holds the value 0 or 1
        std::vector<Column> columns;
    };
    int sheetCount = 0;
    qint64 cellArea = 0; // rows x columns of every sheet, by the larger of the declared and the used extent
    bool encrypted = false;
    int activeSheet = 0;
    QStringList formats;       // codes other than General that cells or columns use
    std::vector<Sheet> sheets; // in the order of the sheet list
};

// Walks the records of a BIFF5/BIFF8 workbook stream. False (with a message) when the records do not
// hold together: a record running past the end, a missing BOF, an oversized record.
bool scanWorkbookStream(const QByteArray &stream, Scan *scan, QString *error);

// Reads the workbook in `file` through FreeXL: every sheet with its name, texts, numbers, booleans and dates
// (as numbers with a date format), plus the formats, widths and active sheet the scan finds. The compound
// file and the workbook stream are checked first, so that a damaged, encrypted or oversized file ends in an
// error before FreeXL allocates anything; FreeXL then reads the checked stream from a fresh container.
bool read(const QByteArray &file, const ReadLimits &limits, BookContent *book, QString *error);

} // namespace tavlo::sheet::xls
