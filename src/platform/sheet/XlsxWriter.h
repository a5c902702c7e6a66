#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Writing Office Open XML workbooks (.xlsx) through libxlsxwriter.
namespace tavlo::sheet::xlsx {

// Books of more cell slots than this are streamed row by row with their texts inline in the cells: the
// library then holds one row at a time instead of a second copy of every cell and a table of every text,
// and writes a third faster.
inline constexpr qsizetype kSharedStringCellLimit = 100'000;

// The complete .xlsx file of the book: texts as strings (cells formatted "@" keep the text format),
// numbers, booleans, number formats of cells and columns, column widths, the active sheet.
// False (with a message) when libxlsxwriter refuses something, e.g. a text longer than 32,767 characters.
bool write(const BookView &book, QByteArray *file, QString *error);

} // namespace tavlo::sheet::xlsx
