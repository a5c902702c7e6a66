#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class QIODevice;
struct zip;
struct zip_error;

namespace tavlo::archive {

struct EntryInfo {
    qint64 index = 0;
    QString name;          // decoded (see decodeEntryName)
    bool utf8Flag = false; // the archive marks the name as UTF-8
    bool isFolder = false; // the name ends with a separator
    bool encrypted = false;
    qint64 size = 0; // uncompressed bytes as the archive states them
    QDateTime modified;
};

// libzip's error in Chinese, with the system's reason when there is one.
QString zipErrorText(const zip_error *error);

// An archive open for reading. Opening never throws: a missing, truncated or damaged file leaves the
// reader closed with errorString() saying why.
class ZipReader {
public:
    explicit ZipReader(const QString &path);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    QString errorString() const { return m_error; }
    const QList<EntryInfo> &entries() const { return m_entries; }

    // Copies the entry's uncompressed bytes to `out`. `advance` is told the bytes of each piece copied
    // and may return false to stop; *cancelled then reports it. A damaged entry (bad data or checksum)
    // returns false with *error set, as does an entry whose data is longer or shorter than its declared
    // size (never more than that size is written) or whose checksum does not match. *writeFailed tells
    // a failure of `out` from one of the archive.
    bool copyEntry(qint64 index, QIODevice &out, const std::function<bool(qint64)> &advance, QString *error,
                   bool *cancelled = nullptr, bool *writeFailed = nullptr);

private:
    void readDirectory();

    zip *m_zip = nullptr;
    QString m_error;
    QList<EntryInfo> m_entries;
};

} // namespace tavlo::archive
