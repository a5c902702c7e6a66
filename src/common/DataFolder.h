#pragma once

#include <QString>
#include <QStringList>

// The program folder of the office tools: where Tavlo.ini, MIS.xls, Query.txt and ReadMe.txt live.
// Start-up chooses it once (choose(), then migrate()) and hands it down; nothing else looks it up.
namespace DataFolder {

enum class Kind {
    Environment, // TAVLO_HOME
    Portable,    // beside the executable, chosen on purpose
    PerUser,     // the user's data folder, ~/.local/share/Tavlo
};

// The marker file that makes the executable's folder the data folder (a portable copy).
inline constexpr char kPortableMarker[] = "Tavlo.portable";
// The files a user keeps in the data folder; moved over from an older build folder.
QStringList userFiles();

// What the choice depends on, gathered from the running program by Inputs::current().
struct Inputs {
    QString tavloHome;        // TAVLO_HOME, empty when not set
    QString executableFolder; // the folder of the running executable
    QString perUserFolder;    // $XDG_DATA_HOME/Tavlo, else ~/.local/share/Tavlo
    static Inputs current();
};

struct Choice {
    QString path;
    Kind kind = Kind::PerUser;
    // The executable's folder when it lies in a build tree: earlier builds kept the user's files there.
    QString buildFolder;
};

// TAVLO_HOME when set; else the executable's folder when it holds the marker file, or holds a Tavlo.ini
// and is not a build folder (a portable copy is a choice, never the accident of a writable folder);
// else the per-user folder. Creates nothing.
Choice choose(const Inputs &inputs);
// True when `folder` lies in a CMake build tree (a CMakeCache.txt in it or a few folders up).
bool isBuildFolder(const QString &folder);

// Moves the user's files from `oldFolder` into `folder` when `folder` has none of them yet (so only
// once): renamed when both lie on one disk, else copied in full and then removed from the old place.
// Returns the names moved; `error` names a file that could not be moved (it stays where it was).
QStringList migrate(const QString &oldFolder, const QString &folder, QString *error = nullptr);

// A data file shipped with the program (such as a sound): `dataFolder` first, then the installed data
// folder (share/tavlo beside the executable's bin/, or the system's data folders). Empty when none has it.
QString findShipped(const QString &name, const QString &dataFolder);

} // namespace DataFolder
