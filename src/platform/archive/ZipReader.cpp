#include "ZipReader.h"

#include "EntryNames.h"

#include <QFile>
#include <QIODevice>

#include <zip.h>

#include <cstring>

namespace tavlo::archive {

namespace {

QString errorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
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

ZipReader::ZipReader(const QString &path) {
    int code = 0;
    m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
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
                          QString *error, bool *cancelled) {
    if (cancelled)
        *cancelled = false;
    if (!m_zip || index < 0) {
        if (error)
            *error = m_error;
        return false;
    }
    zip_file_t *file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        if (error)
            *error = QString::fromLocal8Bit(zip_strerror(m_zip));
        return false;
    }
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray buffer(kPiece, Qt::Uninitialized);
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer.data(), static_cast<zip_uint64_t>(kPiece));
        if (n == 0)
            break;
        if (n < 0) {
            if (error)
                *error = QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(file)));
            ok = false;
            break;
        }
        if (out.write(buffer.constData(), n) != n) {
            if (error)
                *error = out.errorString();
            ok = false;
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
    return ok;
}

} // namespace tavlo::archive
