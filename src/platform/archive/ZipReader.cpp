#include "ZipReader.h"

#include "EntryNames.h"
#include "MisflaggedNames.h"

#include "platform/text/AtomicFile.h"

#include <QFile>
#include <QIODevice>

#include <zip.h>
#include <zlib.h>

#include <cstring>

namespace tavlo::archive {

namespace {

// libzip's errors in the words of the program's users.
QString chineseText(int code) {
    switch (code) {
    case ZIP_ER_OK:
        return QStringLiteral("没有错误");
    case ZIP_ER_NOZIP:
        return QStringLiteral("不是 zip 压缩文件");
    case ZIP_ER_NOENT:
        return QStringLiteral("文件不存在");
    case ZIP_ER_OPEN:
        return QStringLiteral("无法打开文件");
    case ZIP_ER_READ:
        return QStringLiteral("读取出错");
    case ZIP_ER_WRITE:
        return QStringLiteral("写入出错");
    case ZIP_ER_SEEK:
        return QStringLiteral("文件定位出错");
    case ZIP_ER_CRC:
        return QStringLiteral("数据校验（CRC）不符");
    case ZIP_ER_INCONS:
        return QStringLiteral("压缩文件内部不一致，已损坏");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("不支持的压缩方式");
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("不支持的加密方式");
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("条目已加密，需要密码");
    case ZIP_ER_ZLIB:
        return QStringLiteral("压缩数据已损坏");
    case ZIP_ER_MEMORY:
        return QStringLiteral("内存不足");
    case ZIP_ER_EOF:
        return QStringLiteral("文件意外结束");
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("不支持分卷压缩文件");
    case ZIP_ER_RENAME:
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_REMOVE:
        return QStringLiteral("无法写入临时文件");
    case ZIP_ER_EXISTS:
        return QStringLiteral("文件已存在");
    case ZIP_ER_INVAL:
        return QStringLiteral("参数无效");
    case ZIP_ER_CANCELLED:
        return QStringLiteral("已取消");
    case ZIP_ER_RDONLY:
        return QStringLiteral("压缩文件只读");
    case ZIP_ER_DELETED:
        return QStringLiteral("条目已删除");
    default:
        break;
    }
    return QStringLiteral("压缩文件错误 %1").arg(code);
}

QString errorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = zipErrorText(&error);
    zip_error_fini(&error);
    return text;
}

// Whether libzip holds the name as UTF-8 by the archive's own word: the general-purpose flag, or an
// Info-ZIP Unicode path field that libzip has already applied. Asked strictly, libzip returns such a
// name unchanged and converts every other non-ASCII name from code page 437.
bool markedUtf8(zip_t *archive, zip_uint64_t index, const char *raw) {
    const char *strict = zip_get_name(archive, index, ZIP_FL_ENC_STRICT);
    return strict && std::strcmp(strict, raw) == 0;
}

} // namespace

QString zipErrorText(const zip_error *error) {
    const int system = zip_error_code_system(error);
    QString text = chineseText(zip_error_code_zip(error));
    if (zip_error_system_type(error) == ZIP_ET_SYS && system != 0)
        text += QStringLiteral("：") + text::systemErrorText(system);
    return text;
}

ZipReader::ZipReader(const QString &path) {
    int code = 0;
    m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!m_zip && code == ZIP_ER_INCONS) {
        // Perhaps only GBK names carrying the UTF-8 flag: read past the flag and take them as GBK.
        const QList<qint64> offsets = misflaggedNameOffsets(path);
        if (!offsets.isEmpty()) {
            int retry = 0;
            m_zip = openClearingFlags(path, offsets, &retry);
            if (!m_zip)
                code = retry;
        }
    }
    if (!m_zip) {
        m_error = errorText(code);
        return;
    }
    readDirectory();
}

ZipReader::~ZipReader() {
    if (m_zip)
        zip_discard(m_zip);
}

void ZipReader::readDirectory() {
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char *raw = zip_get_name(m_zip, index, ZIP_FL_ENC_RAW);
        if (!raw)
            continue; // a deleted or unreadable slot; nothing to list
        EntryInfo entry;
        entry.index = i;
        entry.utf8Flag = markedUtf8(m_zip, index, raw);
        entry.name = decodeEntryName(QByteArray(raw), entry.utf8Flag);
        entry.isFolder = entry.name.endsWith(u'/') || entry.name.endsWith(u'\\');
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, index, 0, &st) == 0) {
            if (st.valid & ZIP_STAT_SIZE)
                entry.size = static_cast<qint64>(st.size);
            if (st.valid & ZIP_STAT_MTIME)
                entry.modified = QDateTime::fromSecsSinceEpoch(st.mtime);
            if (st.valid & ZIP_STAT_ENCRYPTION_METHOD)
                entry.encrypted = st.encryption_method != ZIP_EM_NONE;
        }
        m_entries.append(entry);
    }
}

bool ZipReader::copyEntry(qint64 index, QIODevice &out, const std::function<bool(qint64)> &advance,
                          QString *error, bool *cancelled, bool *writeFailed) {
    if (cancelled)
        *cancelled = false;
    if (writeFailed)
        *writeFailed = false;
    auto failWith = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    if (!m_zip || index < 0)
        return failWith(m_error);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        return failWith(zipErrorText(zip_get_error(m_zip)));
    zip_file_t *file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
    if (!file)
        return failWith(zipErrorText(zip_get_error(m_zip)));

    // The entry's declared size bounds what is written: data that inflates to more (a crafted entry
    // claiming 10 bytes that unpacks to gigabytes) is refused at the first byte past it. The checksum is
    // checked here as well, since reading stops before libzip would compare it.
    const auto declared = static_cast<qint64>(st.size);
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray buffer(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    bool ok = true;
    for (;;) {
        const qint64 want = qMin(kPiece, declared - total + 1);
        const zip_int64_t n = zip_fread(file, buffer.data(), static_cast<zip_uint64_t>(want));
        if (n == 0)
            break;
        if (n < 0) {
            ok = failWith(zipErrorText(zip_file_get_error(file)));
            break;
        }
        if (total + n > declared) {
            ok = failWith(QStringLiteral("解压后的数据超过条目声明的大小（%1 字节）").arg(declared));
            break;
        }
        total += n;
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.constData()), static_cast<uInt>(n));
        if (out.write(buffer.constData(), n) != n) {
            ok = failWith(out.errorString());
            if (writeFailed)
                *writeFailed = true;
            break;
        }
        if (advance && !advance(n)) {
            if (cancelled)
                *cancelled = true;
            ok = false;
            break;
        }
    }
    zip_fclose(file);
    if (!ok)
        return false;
    if (total != declared)
        return failWith(
            QStringLiteral("解压后的数据比条目声明的大小短（%1 / %2 字节）").arg(total).arg(declared));
    if ((st.valid & ZIP_STAT_CRC) && crc != st.crc)
        return failWith(QStringLiteral("数据校验（CRC）不符，条目已损坏"));
    return true;
}

} // namespace tavlo::archive
