#pragma once

#include "platform/archive/ArchiveTypes.h"

// Compression of chosen files into a zip archive and extraction of an archive into a folder.
namespace modZip {

using tavlo::archive::ConflictCallback;
using tavlo::archive::ExtractReport;
using tavlo::archive::Outcome;
using tavlo::archive::ProgressCallback;

// `files` are full paths; each lands at the archive's top level, in the given order. A cancelled or
// failed run leaves no partial archive.
Outcome ZipFiles(const QStringList &files, const QString &archivePath, const ProgressCallback &progress = {});

// Places the archive's entries in `folder` (created when missing). Existing files are kept and the
// extracted file gets a numbered name, unless `conflict` decides otherwise. Entries that would land
// outside the folder are refused.
ExtractReport UnzipArchive(const QString &archivePath, const QString &folder,
                           const ProgressCallback &progress = {}, const ConflictCallback &conflict = {});

// The status-line texts that report how a run ended.
QString compressionStatusText(const Outcome &outcome);
QString extractionStatusText(const ExtractReport &report);

} // namespace modZip
