#pragma once

#include <QString>
#include <QStringList>

// Records as they travel and as the pending-upload list remembers them.
namespace RecordText {

// The eleven fields joined with "|". A "|" typed into a field would shift every later field into
// the wrong column, so it is stored as the full-width bar "｜".
QString BuildRecordText(const QStringList &fields);
// Columns 1..10 of a workbook row joined with "|": what a query searches and returns. A line break in
// a cell becomes a blank, so the row stays one line on the wire.
QString BuildRowText(const QStringList &cells);

// The stored list of rows recorded offline and not yet uploaded, normalised: blanks removed, runs
// of "|" collapsed, repeats dropped, then the first item followed by every later whole number,
// each after a "|".
QString NormaliseRowList(const QString &rowList);
// The row numbers a (normalised or not) list names, in order.
QList<int> RowNumbers(const QString &rowList);
// The list with one more row number.
QString AppendRow(const QString &rowList, int row);

} // namespace RecordText
