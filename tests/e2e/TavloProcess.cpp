#include "TavloProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>

TavloProcess::TavloProcess(const QString &home)
    : m_homePath(home.isEmpty() ? m_home.path() : home) {
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

TavloProcess::~TavloProcess() {
    for (QProcess *p : {&m_process, &m_second}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

QString TavloProcess::executable() {
    return QStringLiteral(TAVLO_BINARY_DIR "/src/app/tavlo");
}

QProcessEnvironment TavloProcess::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVLO_HOME"), m_homePath);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

void TavloProcess::writeFile(const QString &name, const QByteArray &bytes) const {
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

void TavloProcess::writeJoinSettings(const QString &address, quint16 port, const QString &more) const {
    writeFile(QStringLiteral("Tavlo.ini"),
              QStringLiteral("[Tavlo]\nPort=%1\nIP=%2\nRecentID=甲\nConnectMode=0\nAutoConnect=1\n"
                             "RecentServer=False\n%3")
                  .arg(port)
                  .arg(address, more)
                  .toUtf8());
}

QByteArray TavloProcess::readFile(const QString &name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TavloProcess::start() {
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_process.setProcessEnvironment(environment());
    m_process.start(executable(), {});
    if (!m_process.waitForStarted(10000))
        return false;
    // The lock file appears once start-up has reached the single-instance check.
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (!QDir(m_runtime.path()).entryList({QStringLiteral("tavlo-*.lock")}, QDir::Files).isEmpty())
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(50);
    }
    return false;
}

bool TavloProcess::startHosting(quint16 port, const QString &more) {
    writeFile(QStringLiteral("Tavlo.ini"),
              QStringLiteral("[Tavlo]\nPort=%1\nRecentID=主\nAutoConnect=1\nRecentServer=True\n%2")
                  .arg(port)
                  .arg(more)
                  .toUtf8());
    return start();
}

QProcess *TavloProcess::startSecond() {
    m_second.setProcessChannelMode(QProcess::ForwardedChannels);
    m_second.setProcessEnvironment(environment());
    m_second.start(executable(), {});
    return &m_second;
}

int TavloProcess::terminate() {
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(20000) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}
