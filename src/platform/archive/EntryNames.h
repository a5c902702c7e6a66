#pragma once

#include <QByteArray>
#include <QString>

// Pure rules for the names inside an archive: how their bytes are read and where an entry may land.
namespace tavlo::archive {

// The stored bytes of an entry's name as text. Names flagged UTF-8 (by the flag or an Info-ZIP Unicode
// path field) are UTF-8. Unflagged names are GBK as Chinese Windows archivers write them, read as
// GB18030 (its superset), even when the bytes happen to be valid UTF-8 too: "图纸" in GBK is
// CD BC D6 BD, which UTF-8 would read as "ͼֽ". A flagged name whose bytes are not UTF-8 was written
// by an archiver that set the flag wrongly; it is read as GB18030 as well.
QString decodeEntryName(const QByteArray &raw, bool utf8Flag);

enum class PathCheck { Safe, Absolute, Escapes, Empty };

struct ResolvedPath {
    PathCheck check = PathCheck::Empty;
    QString relative;      // "/"-separated, without "." or ".." parts; set when check is Safe
    bool isFolder = false; // the name ended with a separator
};

// Where an entry lands relative to the target folder. "\" counts as a separator too, since some
// Windows archivers store it. Absolute names ("/x", "\x", "C:x", "//server") are refused, and so is a
// name whose ".." parts climb above the folder; ".." inside the folder ("a/../b") is applied.
ResolvedPath resolveEntryPath(const QString &name);

// The first "base (n).ext" (n from 2) that does not exist in the folder, for keeping an existing file
// beside a new one of the same name. "notes.txt" -> "notes (2).txt", ".profile" -> ".profile (2)".
QString numberedName(const QString &folder, const QString &fileName);

} // namespace tavlo::archive
