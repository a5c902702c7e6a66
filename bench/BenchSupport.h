#pragma once

// What the benchmarks share: this process's memory figures, stopwatch readings, and the corpus's large
// drawings.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdio>

// A line of /proc/self/status in kilobytes: "VmRSS:" (resident now) or "VmHWM:" (the peak so far); -1
// when unknown.
inline long statusKb(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

inline long peakMemoryKb() {
    return statusKb("VmHWM:");
}

// The milliseconds the timer ran since it was started or last read; it starts again.
template <typename Timer> double elapsedMs(Timer &timer) {
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

#ifdef TAVLO_CORPUS_DIR
// 05_large_100k_text_r2018.dxf and 05b_large_100k_text_r2000_gbk.dxf in the folder the command line
// names, or else in `scratch`, where the corpus script (python3-ezdxf) makes them; none when it fails.
inline QStringList largeDrawings(int argc, char **argv, const QString &scratch) {
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (folder.isEmpty()) {
        folder = scratch;
        std::printf("making the 100,000-text drawings into %s ...\n", qPrintable(folder));
        std::fflush(stdout);
        QProcess generator;
        generator.setWorkingDirectory(QStringLiteral(TAVLO_CORPUS_DIR "/drawings"));
        generator.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("make_dxf_corpus.py"), folder});
        if (!generator.waitForFinished(600000) || generator.exitCode() != 0) {
            std::printf("the corpus script failed: %s\n", generator.readAllStandardError().constData());
            return {};
        }
    }
    return {QDir(folder).filePath(QStringLiteral("05_large_100k_text_r2018.dxf")),
            QDir(folder).filePath(QStringLiteral("05b_large_100k_text_r2000_gbk.dxf"))};
}
#endif
