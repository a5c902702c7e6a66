#pragma once

#include "RecordSchema.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// How query results are written out: the summary line and the text appended to Query.txt.
namespace QueryOutput {

// Query.txt is started afresh once it has grown to this size.
constexpr qint64 kRestartSize = 51201;

// date + " - " + time + " 查到以上 " + count + " 条。"
QString SummaryLine(const QDateTime &when, int count);

// An empty line, then each hit as one "caption： field" line per field followed by an empty line,
// then an empty line and the summary.
QStringList ResultLines(const QStringList &rowTexts, const RecordSchema &schema, const QString &summary);

// Appends the lines to the file, first deleting it when it has reached kRestartSize. The file keeps
// the encoding and line ends it has; a new file is UTF-8. Returns the number of lines the file holds
// afterwards; 0 when it could not be written, the file then holding what it held before and *error
// saying why.
int AppendToQueryFile(const QString &path, const QStringList &lines, QString *error = nullptr);

} // namespace QueryOutput
