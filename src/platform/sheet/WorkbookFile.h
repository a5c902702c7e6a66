#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

namespace tavlo::sheet {

enum class FileFormat { Unknown, Xlsx, Xls, Csv };

// The format a file is saved in, by its extension: .xlsx, .xls or .csv (any case); Unknown otherwise.
FileFormat formatForSaving(const QString &path);
// The format of a file's content: a zip package, a compound file, or text (no NUL bytes in its start).
FileFormat formatOfContent(const QByteArray &bytes);

// Opens a workbook by its content, whatever its extension says; a text file named like an Excel workbook
// (.xls, .xlsx, ...) is refused rather than read as CSV. A CSV file becomes one sheet named after the file.
bool readWorkbookFile(const QString &path, BookContent *book, QString *error, const ReadLimits &limits = {});

// Saves in the format of the extension; CSV holds the active sheet only. The file is written to a
// temporary file and renamed over the target, so a failed save leaves the old file as it was.
bool writeWorkbookFile(const QString &path, const BookView &book, QString *error);

// How many formulas of `book` a file of `format` cannot carry, so that only their last results are saved:
// for .xls those read from .xlsx or whose tokens do not stand on their own, for .xlsx those read from .xls
// whose tokens could not be written as formula text. CSV holds values by its nature and counts none.
qsizetype formulasNotKept(const BookView &book, FileFormat format);

// A sheet name made from any text (a file name, a typed name): characters a workbook does not allow in
// sheet names replaced by "_", at most 31 characters, never empty.
QString sheetNameFrom(const QString &text);

} // namespace tavlo::sheet
