#pragma once

#include "SheetData.h"

namespace tavlo::sheet {

// What a cell shows on screen: texts as they are, numbers in the General format (or as a date when the
// format is a date format), booleans as TRUE/FALSE, errors as "#N/A" and the like.
QString shownText(const Cell &cell, const QString &formatCode);
// What a program reads from a cell as text: like shownText, but numbers with all their digits.
QString valueText(const Cell &cell, const QString &formatCode);

} // namespace tavlo::sheet

namespace tavlo::sheet {

// The column width (in digit widths) that shows `text` whole: East Asian wide characters count as two
// digits, others as one, plus one digit of margin; the longest line of a multi-line text counts.
double fittingColumnWidth(const QString &text);

} // namespace tavlo::sheet
