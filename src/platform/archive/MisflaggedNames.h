#pragma once

#include <QList>
#include <QString>

struct zip;

namespace tavlo::archive {

// Some archivers set the UTF-8 flag over names they wrote in GBK. libzip then refuses the whole
// archive as inconsistent, although every other reader lists it. These helpers find such entries and
// open the archive through a source that reads their flag as clear, so the names are taken as GBK.

// File offsets of the flag bytes to clear when some entry's UTF-8 flag is set over a name that is not
// UTF-8: for every flagged non-ASCII name (the archiver flagged its GBK names), the high flag byte of
// its central directory record and of its local header. Empty when no name is misflagged or the
// directory cannot be found.
QList<qint64> misflaggedNameOffsets(const QString &path);

// The archive opened read-only with the flag bit at each offset read as clear; null with *code set
// (a libzip error code) on failure.
zip *openClearingFlags(const QString &path, const QList<qint64> &offsets, int *code);

} // namespace tavlo::archive
