#pragma once

// Small file helpers shared by the tests.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace TestFiles {

// The whole file; empty when it cannot be read.
inline QByteArray read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the bytes, making the folders on the way; false when the file could not be written.
inline bool write(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every path below `root`, relative and sorted.
inline QStringList tree(const QString &root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(QDir(root).relativeFilePath(it.next()));
    paths.sort();
    return paths;
}

#ifdef TAVLO_CORPUS_DIR
// The drawings of the test corpus, the made ones and then the real ones, each folder in name order.
inline QStringList corpusDrawings() {
    QStringList paths;
    for (const QString &folder :
         {QStringLiteral(TAVLO_CORPUS_DIR "/drawings"), QStringLiteral(TAVLO_CORPUS_DIR "/drawings/real")}) {
        for (const QFileInfo &file :
             QDir(folder).entryInfoList({QStringLiteral("*.dxf")}, QDir::Files, QDir::Name))
            paths << file.absoluteFilePath();
    }
    return paths;
}
#endif

} // namespace TestFiles
