#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo::text {

// Writes the whole file through a temporary file and a rename, so a crash or a full disk never
// leaves a half-written file behind. Returns false (and leaves the old file untouched) on failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace tavlo::text
