#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Comma-separated values: one sheet, every field a text.
namespace tavlo::sheet::csv {

// Splits the text into records of fields: commas (or tabs, when the first record holds tabs but no comma
// outside quotes),
// double quotes around fields, doubled quotes inside them, line breaks inside quoted fields, CR LF or LF
// between records. Every non-empty field becomes a Text cell of `sheet`. False (with `error`) when the
// sheet would exceed the limits.
bool parse(const QString &text, SheetData *sheet, const ReadLimits &limits, QString *error);

// The sheet's values as CSV (numbers with all their digits, so that nothing the General format rounds
// away is lost): fields joined by commas, quoted when they hold a comma, a quote, a tab, a
// line break or blanks at either end; records end with CR LF. Rows and columns start at A1, as a spreadsheet
// saves them.
QString write(const SheetData &sheet);
// The same as UTF-8 with a byte-order mark, as it is saved, built record by record so that a large sheet
// never stands in memory a second time as one text.
QByteArray writeUtf8(const SheetData &sheet);

} // namespace tavlo::sheet::csv
