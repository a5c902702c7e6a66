#pragma once

#include <QString>
#include <QStringView>

namespace tavlo::sheet {

// The largest sheet an .xlsx workbook can hold; an .xls sheet stops at 65,536 rows and 256 columns.
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
inline constexpr int kMaxXlsRows = 65536;
inline constexpr int kMaxXlsColumns = 256;

// 1 -> "A", 26 -> "Z", 27 -> "AA", 16384 -> "XFD"; empty outside 1..kMaxColumns.
QString columnLetters(int column);
// "A" -> 1, "xfd" -> 16384 (any case); 0 when the text is not 1 to 3 letters naming a column of a sheet.
int columnFromLetters(QStringView letters);
// "B12" or "$B$12" -> row 12, column 2. False when the text is not a cell address inside a sheet.
bool parseCellAddress(QStringView address, int *row, int *column);
// "B12"; empty when outside a sheet.
QString cellAddress(int row, int column);

} // namespace tavlo::sheet
