#pragma once

#include <QString>

// The program folder of the office tools: where Tavlo.ini, MIS.xls, Query.txt and ReadMe.txt live.
namespace DataFolder {

// TAVLO_HOME when set; else the executable's folder when it is writable (portable use); else the
// per-user data folder. The folder is created when missing.
QString path();
// path() joined with a file name.
QString file(const QString &name);
// A data file shipped with the program (such as a sound): the data folder first, then the folders
// the program was installed with. Empty when none has it.
QString findShipped(const QString &name);

} // namespace DataFolder
