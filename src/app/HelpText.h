#pragma once

#include <QString>
#include <QStringList>

namespace HelpText {

// The user guide, line by line.
const QStringList &readMeLines();
// Writes the guide to `path` when no file is there; an existing guide (perhaps edited by the user)
// stays as it is. True when the file exists afterwards.
bool ensureReadMe(const QString &path);
// The maker's home page: the "HomePage" key of the settings file's "Tavlo" section when present,
// else the address the program was built with.
QString homePage(const QString &settingsPath);

} // namespace HelpText
