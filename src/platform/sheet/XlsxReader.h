#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Reading Office Open XML workbooks (.xlsx): a zip package of XML parts.
namespace tavlo::sheet::xlsx {

// Reads every worksheet of the package in `file`: shared and inline strings, numbers (dates keep their date
// format), booleans, cached results of formulas, error values as their text, column widths, the number
// formats of cells and columns; a merged area keeps only its top-left value. Decompression, cells and
// characters are bounded by `limits`; a damaged package, malformed XML or a document type declaration ends
// in false and a message.
bool read(const QByteArray &file, const ReadLimits &limits, BookContent *book, QString *error);

// Undoes the _xHHHH_ escapes that OOXML uses for characters XML cannot carry.
QString decodeEscapes(const QString &text);
// "xl/worksheets/../sharedStrings.xml" -> "xl/sharedStrings.xml"; `target` relative to the folder of
// `sourcePart`, or absolute when it starts with "/".
QString resolvePartName(const QString &sourcePart, const QString &target);

} // namespace tavlo::sheet::xlsx
