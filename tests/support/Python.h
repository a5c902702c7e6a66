#pragma once

// The independent reader the tests check files with: Debian's python3 and its modules.

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

namespace Python {

inline const QString kPath = QStringLiteral("/usr/bin/python3");

// Runs python3 with the arguments and returns its standard output. `ok` tells whether it ended with exit
// code 0 within the time; when it did not, its error output is shown.
inline QByteArray exec(const QStringList &arguments, bool *ok = nullptr, int timeoutMs = 120000) {
    QProcess p;
    // Our arguments are UTF-8 whatever the locale of the test run.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONUTF8"), QStringLiteral("1"));
    p.setProcessEnvironment(environment);
    p.start(kPath, arguments);
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished();
    }
    const bool good = finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!good)
        qWarning().noquote() << arguments.value(0).left(60) << p.readAllStandardError();
    if (ok)
        *ok = good;
    return p.readAllStandardOutput();
}

// Runs a snippet with the arguments (sys.argv[1:]).
inline QByteArray run(const QString &script, const QStringList &arguments = {}, bool *ok = nullptr) {
    return exec(QStringList{QStringLiteral("-c"), script} + arguments, ok);
}

// What a snippet printed, read as a JSON object.
inline QJsonObject json(const QString &script, const QStringList &arguments = {}) {
    return QJsonDocument::fromJson(run(script, arguments)).object();
}

// Whether python3 is there and imports the module.
inline bool has(const QString &module) {
    if (!QFile::exists(kPath))
        return false;
    QProcess p;
    p.start(kPath, {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The strings of a JSON array.
inline QStringList strings(const QJsonValue &array) {
    QStringList values;
    for (const QJsonValue &v : array.toArray())
        values << v.toString();
    return values;
}

// The first sheet of a workbook as openpyxl reads it: one line per row, cells joined by "|".
inline QString xlsxRows(const QString &path) {
    return QString::fromUtf8(
        run(QStringLiteral("import sys, openpyxl\n"
                           "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                           "for row in ws.iter_rows(values_only=True):\n"
                           "    print('|'.join('' if v is None else str(v) for v in row))\n"),
            {path}));
}

// The arguments of a python3 process that waits for a line on its input, then opens `count` loopback
// connections to `port`, prints how many it holds and keeps them until its input closes.
inline QStringList connectionHolderArguments(int count, quint16 port) {
    return {QStringLiteral("-c"),
            QStringLiteral("import socket, sys\n"
                           "sys.stdin.readline()\n"
                           "held = []\n"
                           "for i in range(%1):\n"
                           "    held.append(socket.create_connection(('127.0.0.1', %2)))\n"
                           "print(len(held), flush=True)\n"
                           "sys.stdin.read()\n")
                .arg(count)
                .arg(port)};
}

} // namespace Python
