#include "DataFolder.h"

#include "modCommon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataFolder {

namespace {

bool isWritableFolder(const QString &folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

} // namespace

QString path() {
    const QString home = qEnvironmentVariable("TAVLO_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    const QString exeFolder = QCoreApplication::applicationDirPath();
    if (!exeFolder.isEmpty() && isWritableFolder(exeFolder))
        return exeFolder;
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(perUser);
    return perUser;
}

QString file(const QString &name) {
    return modCommon::JoinPath(path(), name);
}

QString findShipped(const QString &name) {
    QStringList candidates{file(name)};
    const QString appDir = QCoreApplication::applicationDirPath();
    candidates << appDir + QStringLiteral("/data/") + name
               << appDir + QStringLiteral("/../share/tavlo/") + name;
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation))
        candidates << dir + u'/' + name;
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).absoluteFilePath();
    }
    return {};
}

} // namespace DataFolder
