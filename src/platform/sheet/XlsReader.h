#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Reading Excel 97-2003 workbooks (.xls).
namespace tavlo::sheet::xls {

// What a look through the workbook stream finds before any cell is loaded.
struct Probe {
    int sheetCount = 0;
    qint64 cellArea = 0; // rows x columns of every sheet, by the larger of the declared and the used extent
    bool encrypted = false;
};

// Walks the records of a BIFF5/BIFF8 workbook stream. False (with a message) when the records do not
// hold together: a record running past the end, a missing BOF, an oversized record.
bool probeWorkbookStream(const QByteArray &stream, Probe *probe, QString *error);

// Reads the workbook at `path`, whose bytes are `file`, through FreeXL: every sheet with its name, texts,
// numbers, booleans, and dates (as numbers with a date format). The compound file and the workbook
// stream are checked first, so that a damaged, encrypted or oversized file ends in an error before
// FreeXL allocates anything.
bool read(const QString &path, const QByteArray &file, const ReadLimits &limits, BookContent *book,
          QString *error);

} // namespace tavlo::sheet::xls
