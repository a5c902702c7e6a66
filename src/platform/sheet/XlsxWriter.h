#pragma once

#include "BookContent.h"

#include <QByteArray>
#include <QString>

// Writing Office Open XML workbooks (.xlsx) through libxlsxwriter.
namespace tavlo::sheet::xlsx {

// The complete .xlsx file of the book: texts as strings (cells formatted "@" keep the text format),
// numbers, booleans, number formats of cells and columns, column widths, the active sheet.
// False (with a message) when libxlsxwriter refuses something, e.g. a text longer than 32,767 characters.
bool write(const BookView &book, QByteArray *file, QString *error);

} // namespace tavlo::sheet::xlsx
