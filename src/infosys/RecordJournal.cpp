#include "RecordJournal.h"

#include "platform/text/AtomicFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace {

// FNV-1a over the bytes: enough to tell a torn or scrambled line from a whole one.
quint64 checkOf(const QByteArray &bytes) {
    quint64 hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= quint8(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

QByteArray escaped(const QString &text) {
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescaped(const QByteArray &bytes, QString *text) {
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\\') {
            out += bytes[i];
            continue;
        }
        if (++i == bytes.size())
            return false;
        switch (bytes[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    *text = QString::fromUtf8(out);
    return true;
}

bool syncToDisk(QFile &file) {
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return ::_commit(file.handle()) == 0;
#endif
}

// The folder's list of names reaches the disk, so that a new journal survives a power cut.
void syncFolder(const QString &path) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

void setError(QString *error, const QString &text) {
    if (error)
        *error = text;
}

} // namespace

RecordJournal::RecordJournal(QString path)
    : m_path(std::move(path))
    , m_file(m_path) {}

QByteArray RecordJournal::encode(const Entry &entry) {
    const QByteArray body = QByteArray::number(entry.row) + ' ' + escaped(entry.record);
    const QByteArray check = QByteArray::number(checkOf(body), 16).rightJustified(16, '0');
    const qsizetype space = body.indexOf(' ');
    return body.left(space) + ' ' + check + body.mid(space) + '\n';
}

bool RecordJournal::decode(const QByteArray &line, Entry *entry) {
    const qsizetype first = line.indexOf(' ');
    if (first <= 0 || line.size() < first + 18 || line[first + 17] != ' ')
        return false;
    bool ok = false;
    const int row = line.left(first).toInt(&ok);
    if (!ok || row < 1)
        return false;
    const quint64 check = line.mid(first + 1, 16).toULongLong(&ok, 16);
    const QByteArray body = line.left(first) + line.mid(first + 17);
    if (!ok || check != checkOf(body))
        return false;
    entry->row = row;
    return unescaped(line.mid(first + 18), &entry->record);
}

QList<RecordJournal::Entry> RecordJournal::read(const QString &path, qint64 *intactBytes, QString *error) {
    QList<Entry> entries;
    if (intactBytes)
        *intactBytes = 0;
    QFile file(path);
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, file.errorString());
        return entries;
    }
    const QByteArray bytes = file.readAll();
    qsizetype start = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; end = bytes.indexOf('\n', start)) {
        Entry entry;
        if (!decode(bytes.mid(start, end - start), &entry))
            break;
        entries.append(entry);
        start = end + 1;
    }
    if (intactBytes)
        *intactBytes = start;
    return entries;
}

bool RecordJournal::openForAppend(QString *error) {
    if (m_file.isOpen())
        return true;
    const bool existed = m_file.exists();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        setError(error, QStringLiteral("无法打开日志文件 %1（%2）")
                            .arg(QDir::toNativeSeparators(m_path), m_file.errorString()));
        return false;
    }
    if (!existed)
        syncFolder(m_path);
    return true;
}

bool RecordJournal::cutTo(qint64 intactBytes, QString *error) {
    if (!m_file.exists() || QFileInfo(m_path).size() == intactBytes)
        return true;
    if (!openForAppend(error))
        return false;
    if (!m_file.resize(intactBytes) || !syncToDisk(m_file)) {
        setError(error, m_file.errorString());
        return false;
    }
    return true;
}

bool RecordJournal::append(const QList<Entry> &entries, QString *error) {
    if (entries.isEmpty())
        return true;
    if (!openForAppend(error))
        return false;
    QByteArray bytes;
    for (const Entry &entry : entries)
        bytes += encode(entry);
    const qint64 before = m_file.size();
    errno = 0;
    const bool written = m_file.write(bytes) == bytes.size() && syncToDisk(m_file);
    if (written)
        return true;
    const int reason = errno;
    setError(error, QStringLiteral("记录未能写入磁盘（%1）")
                        .arg(reason != 0 ? tavlo::text::systemErrorText(reason) : m_file.errorString()));
    // Nothing half-written stays: the next entry must follow whole ones.
    m_file.resize(before);
    syncToDisk(m_file);
    if (before == 0) {
        m_file.close();
        QFile::remove(m_path);
    }
    return false;
}

bool RecordJournal::clear(QString *error) {
    m_file.close();
    if (!QFile::exists(m_path))
        return true;
    if (!QFile::remove(m_path)) {
        setError(error, QStringLiteral("无法删除日志文件 %1").arg(QDir::toNativeSeparators(m_path)));
        return false;
    }
    syncFolder(m_path);
    return true;
}
