#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class QIODevice;
struct zip;

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
    // returns false with *error set.
    bool copyEntry(qint64 index, QIODevice &out, const std::function<bool(qint64)> &advance, QString *error,
                   bool *cancelled = nullptr);

private:
    void readDirectory();

    zip *m_zip = nullptr;
    QString m_error;
    QList<EntryInfo> m_entries;
};

} // namespace tavlo::archive
