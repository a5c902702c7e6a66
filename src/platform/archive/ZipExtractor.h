#pragma once

#include "ArchiveTypes.h"

namespace tavlo::archive {

struct ExtractOptions {
    ProgressCallback progress;
    // Asked for each entry whose file already exists; without it both are kept (numbered name).
    ConflictCallback conflict;
};

// Extracts every entry into `folder`, which is created when missing. Entries that would land outside
// the folder are refused and reported, never written. Each file is written under a temporary name and
// renamed once complete, so a damaged entry or a cancel leaves no half-written file. Files extracted
// before a cancel stay.
ExtractReport extractArchive(const QString &archivePath, const QString &folder,
                             const ExtractOptions &options = {});

} // namespace tavlo::archive
