#include "DataFolder.h"

#include "modCommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataFolder {

namespace {

constexpr int kBuildTreeDepth = 4; // build/release/src/app holds the executable

QString defaultPerUserFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Tavlo"));
}

bool anyUserFileIn(const QString &folder) {
    for (const QString &name : userFiles()) {
        if (QFileInfo::exists(modCommon::JoinPath(folder, name)))
            return true;
    }
    return false;
}

// Copies under a temporary name in the target folder and renames it into place, so the target never
// holds half a file.
bool copyInFull(const QString &from, const QString &to) {
    const QString partial = to + QStringLiteral(".moving");
    QFile::remove(partial);
    if (!QFile::copy(from, partial))
        return false;
    if (QFileInfo(partial).size() != QFileInfo(from).size() || !QFile::rename(partial, to)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

} // namespace

QStringList userFiles() {
    return {QStringLiteral("Tavlo.ini"), QStringLiteral("MIS.xls"), QStringLiteral("Query.txt"),
            QStringLiteral("ReadMe.txt"), QStringLiteral("Notify.wav")};
}

Inputs Inputs::current() {
    return {qEnvironmentVariable("TAVLO_HOME"), QCoreApplication::applicationDirPath(),
            defaultPerUserFolder()};
}

bool isBuildFolder(const QString &folder) {
    if (folder.isEmpty())
        return false;
    QDir dir(folder);
    for (int level = 0; level <= kBuildTreeDepth; ++level) {
        if (dir.exists(QStringLiteral("CMakeCache.txt")))
            return true;
        if (!dir.cdUp())
            break;
    }
    return false;
}

Choice choose(const Inputs &inputs) {
    if (!inputs.tavloHome.isEmpty())
        return {QDir(inputs.tavloHome).absolutePath(), Kind::Environment, {}};
    const QString exe = inputs.executableFolder;
    const bool build = isBuildFolder(exe);
    if (!exe.isEmpty()) {
        const QDir dir(exe);
        if (dir.exists(QString::fromLatin1(kPortableMarker)) ||
            (!build && QFileInfo(dir.filePath(QStringLiteral("Tavlo.ini"))).isFile()))
            return {dir.absolutePath(), Kind::Portable, {}};
    }
    return {inputs.perUserFolder, Kind::PerUser, build ? QDir(exe).absolutePath() : QString()};
}

QStringList migrate(const QString &oldFolder, const QString &folder, QString *error) {
    QStringList moved;
    if (oldFolder.isEmpty() || QDir(oldFolder) == QDir(folder) || anyUserFileIn(folder))
        return moved;
    QDir().mkpath(folder);
    for (const QString &name : userFiles()) {
        const QString from = modCommon::JoinPath(oldFolder, name);
        const QString to = modCommon::JoinPath(folder, name);
        if (!QFileInfo(from).isFile() || QFileInfo::exists(to))
            continue;
        if (!QFile::rename(from, to)) {
            if (!copyInFull(from, to)) {
                if (error)
                    *error = name;
                break;
            }
            QFile::remove(from); // a copy left behind is harmless: the new folder is used from now on
        }
        moved << name;
    }
    return moved;
}

QString findShipped(const QString &name, const QString &dataFolder) {
    QStringList candidates;
    if (!dataFolder.isEmpty())
        candidates << modCommon::JoinPath(dataFolder, name);
    const QString appDir = QCoreApplication::applicationDirPath();
    candidates << appDir + QStringLiteral("/../share/tavlo/") + name;
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates << dir + QStringLiteral("/tavlo/") + name;
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

} // namespace DataFolder
