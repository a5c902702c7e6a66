#include "MisflaggedNames.h"

#include "platform/text/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <zip.h>

#include <algorithm>
#include <memory>

namespace tavlo::archive {

namespace {

constexpr quint16 kUtf8Flag = 0x0800;
// The flag's bit within the high byte of the two-byte flag field.
constexpr char kUtf8FlagHighBit = 0x08;
constexpr qint64 kMaxCommentBytes = 0xFFFF;
constexpr qint64 kEndRecordBytes = 22;
// A central directory larger than this is not scanned (it would hold millions of entries).
constexpr qint64 kMaxDirectoryBytes = 256LL * 1024 * 1024;

quint16 u16(const QByteArray &b, qint64 at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32(const QByteArray &b, qint64 at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
quint64 u64(const QByteArray &b, qint64 at) {
    return qFromLittleEndian<quint64>(b.constData() + at);
}

QByteArray readAt(QFile &file, qint64 offset, qint64 size) {
    if (offset < 0 || size < 0 || !file.seek(offset))
        return {};
    QByteArray bytes = file.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

struct Directory {
    qint64 offset = -1;
    qint64 size = 0;
};

Directory findDirectory(QFile &file) {
    const qint64 fileSize = file.size();
    const qint64 tailSize = std::min(fileSize, kMaxCommentBytes + kEndRecordBytes);
    const QByteArray tail = readAt(file, fileSize - tailSize, tailSize);
    const qint64 end = tail.lastIndexOf(QByteArrayLiteral("PK\x05\x06"));
    if (end < 0 || end + kEndRecordBytes > tail.size())
        return {};
    Directory dir{u32(tail, end + 16), u32(tail, end + 12)};
    if (dir.offset == 0xFFFFFFFF || dir.size == 0xFFFFFFFF) {
        // Zip64: the locator just before the end record points to the zip64 end record.
        const qint64 locatorAt = fileSize - tailSize + end - 20;
        const QByteArray locator = readAt(file, locatorAt, 20);
        if (locator.size() != 20 || !locator.startsWith(QByteArrayLiteral("PK\x06\x07")))
            return {};
        const QByteArray record = readAt(file, qint64(u64(locator, 8)), 56);
        if (record.size() != 56 || !record.startsWith(QByteArrayLiteral("PK\x06\x06")))
            return {};
        dir = {qint64(u64(record, 48)), qint64(u64(record, 40))};
    }
    if (dir.offset < 0 || dir.size < 0 || dir.size > kMaxDirectoryBytes || dir.offset + dir.size > fileSize)
        return {};
    return dir;
}

// The local header offset of a central record, from its zip64 field when the plain one is saturated.
qint64 localOffset(const QByteArray &cd, qint64 at, qint64 extraAt, qint64 extraLength) {
    const quint32 plain = u32(cd, at + 42);
    if (plain != 0xFFFFFFFF)
        return plain;
    int skip = 0;
    if (u32(cd, at + 24) == 0xFFFFFFFF)
        skip += 8;
    if (u32(cd, at + 20) == 0xFFFFFFFF)
        skip += 8;
    for (qint64 p = extraAt; p + 4 <= extraAt + extraLength;) {
        const quint16 id = u16(cd, p);
        const quint16 length = u16(cd, p + 2);
        if (id == 0x0001 && skip + 8 <= length && p + 4 + skip + 8 <= extraAt + extraLength)
            return qint64(u64(cd, p + 4 + skip));
        p += 4 + length;
    }
    return -1;
}

// The file behind a source, read with the chosen flag bits cleared.
struct ClearingSource {
    QFile file;
    QList<qint64> offsets; // sorted
    qint64 size = 0;
    qint64 position = 0;
    zip_error_t error;

    zip_int64_t handle(void *data, zip_uint64_t length, zip_source_cmd_t command) {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            position = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            if (!file.seek(position)) {
                zip_error_set(&error, ZIP_ER_SEEK, 0);
                return -1;
            }
            const qint64 n = file.read(static_cast<char *>(data), qint64(length));
            if (n < 0) {
                zip_error_set(&error, ZIP_ER_READ, 0);
                return -1;
            }
            auto *bytes = static_cast<char *>(data);
            for (auto it = std::lower_bound(offsets.cbegin(), offsets.cend(), position);
                 it != offsets.cend() && *it < position + n; ++it)
                bytes[*it - position] = char(bytes[*it - position] & ~kUtf8FlagHighBit);
            position += n;
            return n;
        }
        case ZIP_SOURCE_CLOSE:
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(size);
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&error, data, length);
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(zip_uint64_t(position), zip_uint64_t(size),
                                                                  data, length, &error);
            if (to < 0)
                return -1;
            position = to;
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return position;
        case ZIP_SOURCE_FREE:
            zip_error_fini(&error);
            delete this;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_SEEK,
                                                  ZIP_SOURCE_TELL, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            break;
        }
        zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }

    static zip_int64_t callback(void *self, void *data, zip_uint64_t length, zip_source_cmd_t command) {
        return static_cast<ClearingSource *>(self)->handle(data, length, command);
    }
};

} // namespace

QList<qint64> misflaggedNameOffsets(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const Directory dir = findDirectory(file);
    if (dir.offset < 0)
        return {};
    const QByteArray cd = readAt(file, dir.offset, dir.size);
    struct Flagged {
        qint64 central;
        qint64 local;
    };
    // An archiver that flags one GBK name flags them all: once one flagged name is not UTF-8, every
    // flagged name with non-ASCII bytes is taken as GBK, also those that happen to be valid UTF-8.
    QList<Flagged> flagged;
    bool misflagged = false;
    for (qint64 at = 0; at + 46 <= cd.size() && cd.mid(at, 4) == QByteArrayLiteral("PK\x01\x02");) {
        const quint16 flags = u16(cd, at + 8);
        const qint64 nameLength = u16(cd, at + 28);
        const qint64 extraLength = u16(cd, at + 30);
        const qint64 commentLength = u16(cd, at + 32);
        const qint64 next = at + 46 + nameLength + extraLength + commentLength;
        if (next > cd.size())
            break;
        const QByteArray name = cd.mid(at + 46, nameLength);
        const bool ascii = std::all_of(name.cbegin(), name.cend(), [](char c) { return uchar(c) < 0x80; });
        if ((flags & kUtf8Flag) && !ascii) {
            misflagged = misflagged || !text::isValidUtf8(name);
            flagged.append({dir.offset + at + 9, localOffset(cd, at, at + 46 + nameLength, extraLength)});
        }
        at = next;
    }
    QList<qint64> offsets;
    if (!misflagged)
        return offsets;
    for (const Flagged &entry : std::as_const(flagged)) {
        offsets.append(entry.central);
        const QByteArray header = readAt(file, entry.local, 8);
        if (header.size() == 8 && header.startsWith(QByteArrayLiteral("PK\x03\x04")) &&
            (u16(header, 6) & kUtf8Flag))
            offsets.append(entry.local + 7);
    }
    std::sort(offsets.begin(), offsets.end());
    return offsets;
}

zip *openClearingFlags(const QString &path, const QList<qint64> &offsets, int *code) {
    auto source = std::make_unique<ClearingSource>();
    source->file.setFileName(path);
    if (!source->file.open(QIODevice::ReadOnly)) {
        *code = ZIP_ER_OPEN;
        return nullptr;
    }
    source->size = source->file.size();
    source->offsets = offsets;
    zip_error_init(&source->error);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *zipSource = zip_source_function_create(&ClearingSource::callback, source.get(), &error);
    if (!zipSource) {
        *code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        zip_error_fini(&source->error);
        return nullptr;
    }
    source.release(); // the zip source owns it now and frees it with ZIP_SOURCE_FREE
    zip_t *archive = zip_open_from_source(zipSource, ZIP_RDONLY, &error);
    if (!archive) {
        *code = zip_error_code_zip(&error);
        zip_source_free(zipSource);
    }
    zip_error_fini(&error);
    return archive;
}

} // namespace tavlo::archive
