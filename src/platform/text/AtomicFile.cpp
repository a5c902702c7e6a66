#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

namespace tavlo::text {

QString systemErrorText(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("磁盘空间不足");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("超出磁盘配额");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入权限");
    case EROFS:
        return QStringLiteral("文件系统只读");
    case ENOENT:
        return QStringLiteral("文件夹不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case EISDIR:
        return QStringLiteral("同名的文件夹已存在");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case EFBIG:
        return QStringLiteral("文件过大");
    default:
        break;
    }
    return QStringLiteral("系统错误 %1（%2）")
        .arg(QString::number(errorNumber), QString::fromLocal8Bit(std::strerror(errorNumber)));
}

namespace {

// Links are followed: the file they name is the one replaced, the link stays.
QString targetOf(const QString &path) {
    const QFileInfo info(path);
    return info.isSymLink() ? info.symLinkTarget() : path;
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

// Opens a new file beside the target under a name no other file has.
int createTemporary(const QString &target, QByteArray *tempName) {
    const QFileInfo info(target);
    const QString prefix = info.absolutePath() + QStringLiteral("/.") + info.fileName() + u'.';
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            prefix + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
        *tempName = QFile::encodeName(name);
        const int fd = ::open(tempName->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// The folder's own entry list reaches the disk; some file systems cannot do this, which is fine.
void syncFolder(const QByteArray &target) {
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

struct AtomicFileWriter::Private {
    QByteArray target;
    QByteArray tempName;
    int fd = -1;
    qint64 written = 0;
    bool failed = false;

    void drop() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (!tempName.isEmpty())
            ::unlink(tempName.constData());
        tempName.clear();
    }
};

AtomicFileWriter::AtomicFileWriter(const QString &path)
    : d(std::make_unique<Private>()) {
    d->target = QFile::encodeName(targetOf(path));
}

AtomicFileWriter::~AtomicFileWriter() {
    cancelWriting();
}

bool AtomicFileWriter::open(OpenMode mode) {
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly)) {
        setErrorString(QStringLiteral("只能以写入方式打开"));
        return false;
    }
    struct stat old {};
    const bool existed = ::stat(d->target.constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        setErrorString(QStringLiteral("“%1”不是普通文件").arg(QFile::decodeName(d->target)));
        return false;
    }
    d->fd = createTemporary(QFile::decodeName(d->target), &d->tempName);
    if (d->fd < 0) {
        setErrorString(systemErrorText(errno));
        d->tempName.clear();
        return false;
    }
    // The new file keeps the old one's mode (a read-only file stays read-only).
    if (existed && ::fchmod(d->fd, old.st_mode & 07777) != 0) {
        setErrorString(systemErrorText(errno));
        d->drop();
        return false;
    }
    d->written = 0;
    d->failed = false;
    return QIODevice::open(WriteOnly | Unbuffered);
}

qint64 AtomicFileWriter::readData(char *, qint64) {
    return -1;
}

qint64 AtomicFileWriter::writeData(const char *data, qint64 size) {
    if (d->fd < 0 || d->failed)
        return -1;
    qint64 left = size;
    while (left > 0) {
        const ssize_t n = ::write(d->fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            setErrorString(systemErrorText(n < 0 ? errno : EIO));
            d->failed = true;
            return -1;
        }
        data += n;
        left -= n;
        d->written += n;
    }
    return size;
}

bool AtomicFileWriter::commit() {
    if (d->fd < 0 || d->failed) {
        if (!d->failed)
            setErrorString(QStringLiteral("文件没有打开"));
        cancelWriting();
        return false;
    }
    auto abandon = [this](const QString &reason) {
        setErrorString(reason);
        cancelWriting();
        return false;
    };
    if (::fsync(d->fd) != 0)
        return abandon(systemErrorText(errno));
    struct stat written {};
    if (::fstat(d->fd, &written) != 0)
        return abandon(systemErrorText(errno));
    if (written.st_size != static_cast<off_t>(d->written))
        return abandon(QStringLiteral("写入的字节数不符（%1 / %2）")
                           .arg(QString::number(written.st_size), QString::number(d->written)));
    const int fd = d->fd;
    d->fd = -1;
    if (::close(fd) != 0)
        return abandon(systemErrorText(errno));
    if (::rename(d->tempName.constData(), d->target.constData()) != 0)
        return abandon(systemErrorText(errno));
    d->tempName.clear();
    QIODevice::close();
    syncFolder(d->target);
    return true;
}

void AtomicFileWriter::cancelWriting() {
    d->drop();
    if (isOpen())
        QIODevice::close();
}

#else

struct AtomicFileWriter::Private {
    explicit Private(const QString &path)
        : file(path) {}
    QSaveFile file;
};

AtomicFileWriter::AtomicFileWriter(const QString &path)
    : d(std::make_unique<Private>(targetOf(path))) {
    d->file.setDirectWriteFallback(false);
}

AtomicFileWriter::~AtomicFileWriter() {
    cancelWriting();
}

bool AtomicFileWriter::open(OpenMode mode) {
    const QFileInfo info(d->file.fileName());
    if (info.exists() && !info.isFile()) {
        setErrorString(QStringLiteral("“%1”不是普通文件").arg(d->file.fileName()));
        return false;
    }
    if (!d->file.open(mode)) {
        setErrorString(d->file.errorString());
        return false;
    }
    return QIODevice::open(WriteOnly | Unbuffered);
}

qint64 AtomicFileWriter::readData(char *, qint64) {
    return -1;
}

qint64 AtomicFileWriter::writeData(const char *data, qint64 size) {
    const qint64 n = d->file.write(data, size);
    if (n != size || !d->file.flush()) {
        setErrorString(d->file.errorString());
        return -1;
    }
    return n;
}

bool AtomicFileWriter::commit() {
    const bool ok = d->file.error() == QFileDevice::NoError && d->file.commit();
    if (!ok)
        setErrorString(d->file.errorString());
    QIODevice::close();
    return ok;
}

void AtomicFileWriter::cancelWriting() {
    if (d->file.isOpen())
        d->file.cancelWriting();
    if (isOpen())
        QIODevice::close();
}

#endif

int removeLeftoverTemporaries(const QString &target) {
    const QFileInfo info(targetOf(target));
    // The random part is a 32-bit number in base 36: one to seven digits or small letters.
    const QRegularExpression ours(QStringLiteral("^\\.") + QRegularExpression::escape(info.fileName()) +
                                  QStringLiteral("\\.[0-9a-z]{1,7}\\.tmp$"));
    int removed = 0;
    const QDir folder = info.absoluteDir();
    const QStringList hidden = folder.entryList({u'.' + info.fileName() + QStringLiteral(".*.tmp")},
                                                QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &name : hidden) {
        if (ours.match(name).hasMatch() && QFile::remove(folder.filePath(name)))
            ++removed;
    }
    return removed;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error) {
    AtomicFileWriter file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace tavlo::text
