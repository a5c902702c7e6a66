#pragma once

#include "ArchiveTypes.h"

namespace tavlo::archive {

// Creates (or replaces) the archive with each file at its top level, in the given order, named by its
// file name in UTF-8 with the UTF-8 flag. The archive is written under a temporary name and renamed
// at the end, so a cancelled or failed run leaves no partial archive (and an archive that was there
// before stays as it was). An empty list gives an empty archive.
Outcome createArchive(const QStringList &files, const QString &archivePath,
                      const ProgressCallback &progress = {});

} // namespace tavlo::archive
