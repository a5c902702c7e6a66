#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A `tavlo` executable started with its own data folder and runtime folder, on the offscreen platform.
class TavloProcess {
public:
    // The data folder is a new temporary folder, or `home` when given.
    explicit TavloProcess(const QString &home = {});
    ~TavloProcess();

    QString home() const { return m_homePath; }
    QString file(const QString &name) const { return m_homePath + u'/' + name; }
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;
    // Tavlo.ini of a program that joins the host at `address`:`port` as 甲 at start-up.
    void writeJoinSettings(const QString &address, quint16 port, const QString &more = {}) const;

    // Starts the program; true once it holds its single-instance lock.
    bool start();
    // Starts the program with a Tavlo.ini that has it host on `port` (its [Tavlo] keys followed by `more`).
    bool startHosting(quint16 port, const QString &more = {});
    // Starts another copy on the same data folder and returns it (not yet finished).
    QProcess *startSecond();
    // SIGTERM, then waits for a normal exit; returns the exit code (-1 on crash or time-out).
    int terminate();
    QProcess &process() { return m_process; }

    static QString executable();

private:
    QProcessEnvironment environment() const;

    QTemporaryDir m_home;
    QString m_homePath;
    QTemporaryDir m_runtime;
    QProcess m_process;
    QProcess m_second;
};
