#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tavlo::archive {

// Called often during long work with the bytes handled so far and the total; returning false cancels.
using ProgressCallback = std::function<bool(qint64 done, qint64 total)>;

enum class Failure {
    None,
    Cancelled,
    SourceUnreadable,  // a file to compress is missing, not a regular file or cannot be read
    DuplicateName,     // two files to compress would get the same name in the archive
    ArchiveIsSource,   // the archive would replace one of the files being compressed
    ArchiveUnwritable, // the archive cannot be created or written
    ArchiveUnreadable, // missing, truncated, damaged or not a zip archive
    FolderUnwritable,  // the target folder cannot be created
};

// The result of a whole operation.
struct Outcome {
    Failure failure = Failure::None;
    QString path;   // the file concerned, when there is one
    QString detail; // the library's or the system's own words
    bool ok() const { return failure == Failure::None; }
};

// What to do with an entry whose file already exists in the target folder.
enum class Conflict {
    KeepBoth,  // write the entry under a numbered name beside the existing file: "name (2).ext"
    Overwrite, // replace the existing file
    Skip,      // leave the existing file and do not extract the entry
};
// Asked with the entry's path relative to the target folder.
using ConflictCallback = std::function<Conflict(const QString &relativePath)>;

enum class EntryProblem {
    AbsolutePath,  // the name is an absolute path or carries a drive letter
    EscapesFolder, // ".." parts (or a link already in the folder) would lead outside the target folder
    InvalidName,   // nothing is left of the name once "." and ".." are applied
    Unreadable,    // damaged data, bad checksum, encryption or an unsupported method
    Unwritable,    // the file or its folder cannot be written
};

struct EntryIssue {
    QString name; // the entry's name as stored in the archive
    EntryProblem problem;
    QString detail;
};

struct ExtractReport {
    Outcome outcome;           // a failure of the whole run, or its cancellation
    QStringList extracted;     // relative paths written, under their final names
    QStringList renamed;       // of those, the ones written under a numbered name beside an existing file
    QStringList skipped;       // entries left out because their file existed
    QList<EntryIssue> refused; // entries that would land outside the target folder
    QList<EntryIssue> failed;  // entries that could not be read or written
    bool complete() const { return outcome.ok() && refused.isEmpty() && failed.isEmpty(); }
};

} // namespace tavlo::archive
