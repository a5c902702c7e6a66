#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

namespace tavlo::text {

// A file written under a temporary name beside its target and renamed over it only once every byte is
// on the disk: written, flushed (fsync), its size checked; the folder is flushed after the rename so the
// new name survives a power cut. Any failure (a full disk, no permission) leaves the old file byte for
// byte as it was, and the temporary file goes. A read-only target is replaced like any other (the
// rename needs only the folder to be writable) and keeps its mode. Links are followed: the file they
// name is replaced, the link stays. Qt's QSaveFile is not used: it reports success after a write
// that failed for a full disk.
class AtomicFileWriter : public QIODevice {
public:
    explicit AtomicFileWriter(const QString &path);
    ~AtomicFileWriter() override; // abandons the new file unless committed

    // Only QIODevice::WriteOnly. False with errorString() when the temporary file cannot be made or the
    // target exists and is not a regular file.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    // Makes the new file the target; false (old file untouched) when anything failed on the way.
    bool commit();
    // Drops what was written; the target stays as it was.
    void cancelWriting();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The whole file at once through an AtomicFileWriter. Returns false (and leaves the old file untouched)
// on failure, with the reason in *error.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// Removes what a writer of `target` left when the program died in the middle of a write: hidden files
// beside the target named as AtomicFileWriter names its temporary files (".<name>.<random>.tmp"). Only
// call it while no writer of that target can be running. Returns how many files went.
int removeLeftoverTemporaries(const QString &target);

// A short Chinese text for a system error number (errno): "磁盘空间不足" for a full disk, and so on.
QString systemErrorText(int errorNumber);

} // namespace tavlo::text
