#include "SystemInfo.h"

#include <QFile>
#include <QStringList>
#include <QSysInfo>

namespace SystemInfo {

namespace {

QString readText(const char *path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

QString procField(const QString &text, const QString &name) {
    for (const QString &line : text.split(u'\n')) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0 && line.left(colon).trimmed() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QString describe() {
    QStringList lines;
    const QString os = QSysInfo::prettyProductName();
    if (!os.isEmpty() && os != QLatin1String("unknown"))
        lines << QStringLiteral("操作系统：%1").arg(os);
    if (!QSysInfo::kernelVersion().isEmpty())
        lines << QStringLiteral("内核：%1 %2").arg(QSysInfo::kernelType(), QSysInfo::kernelVersion());
    const QString cpu = procField(readText("/proc/cpuinfo"), QStringLiteral("model name"));
    lines << QStringLiteral("处理器：%1 (%2)")
                 .arg(cpu.isEmpty() ? QStringLiteral("?") : cpu, QSysInfo::currentCpuArchitecture());
    const QString memory = procField(readText("/proc/meminfo"), QStringLiteral("MemTotal"));
    if (!memory.isEmpty()) {
        const double kib = memory.section(u' ', 0, 0).toDouble();
        lines << QStringLiteral("内存：%1 GiB").arg(kib / (1024.0 * 1024.0), 0, 'f', 1);
    }
    if (lines.size() <= 1 && os.isEmpty())
        return {};
    lines << QStringLiteral("Qt：%1").arg(QString::fromLatin1(qVersion()));
    return lines.join(u'\n');
}

} // namespace SystemInfo
