#include "ZipWriter.h"

#include "ZipReader.h"

#include "platform/text/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <zip.h>

namespace tavlo::archive {

namespace {

// The end-of-central-directory record of an archive without entries.
QByteArray emptyArchive() {
    QByteArray bytes("PK\x05\x06", 4);
    bytes.append(18, '\0');
    return bytes;
}

Outcome failure(Failure kind, const QString &path, const QString &detail = {}) {
    return Outcome{kind, path, detail};
}

// Checks the list before anything is written: every file readable, names unique in the archive, and
// the archive not one of the files (writing it would destroy the file being read).
Outcome checkSources(const QStringList &files, const QString &archivePath, qint64 *totalBytes) {
    const QString archiveCanonical = QFileInfo(archivePath).canonicalFilePath();
    QSet<QString> names;
    *totalBytes = 0;
    for (const QString &path : files) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.isReadable())
            return failure(Failure::SourceUnreadable, path);
        if (!archiveCanonical.isEmpty() && info.canonicalFilePath() == archiveCanonical)
            return failure(Failure::ArchiveIsSource, path);
        if (names.contains(info.fileName()))
            return failure(Failure::DuplicateName, path);
        names.insert(info.fileName());
        *totalBytes += info.size();
    }
    return {};
}

// Shared by libzip's progress and cancel callbacks: the cancel callback runs for every piece written,
// the progress callback whenever the fraction moves.
struct CloseWatch {
    const ProgressCallback *progress = nullptr;
    qint64 total = 0;
    double fraction = 0;
    bool cancelled = false;

    void poll() {
        if (cancelled || !progress || !*progress)
            return;
        if (!(*progress)(static_cast<qint64>(fraction * static_cast<double>(total)), total))
            cancelled = true;
    }
};

void onProgress(zip_t *, double fraction, void *data) {
    auto *watch = static_cast<CloseWatch *>(data);
    watch->fraction = fraction;
    watch->poll();
}

int onCancel(zip_t *, void *data) {
    auto *watch = static_cast<CloseWatch *>(data);
    watch->poll();
    return watch->cancelled ? 1 : 0;
}

Outcome addFiles(zip_t *archive, const QStringList &files) {
    for (const QString &path : files) {
        zip_source_t *source = zip_source_file(archive, QFile::encodeName(path).constData(), 0, 0);
        if (!source)
            return failure(Failure::SourceUnreadable, path, zipErrorText(zip_get_error(archive)));
        const QByteArray name = QFileInfo(path).fileName().toUtf8();
        if (zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            return failure(Failure::ArchiveUnwritable, path, zipErrorText(zip_get_error(archive)));
        }
    }
    return {};
}

} // namespace

Outcome createArchive(const QStringList &files, const QString &archivePath,
                      const ProgressCallback &progress) {
    qint64 total = 0;
    if (Outcome checked = checkSources(files, archivePath, &total); !checked.ok())
        return checked;

    if (files.isEmpty()) {
        // libzip removes an archive that has no entries instead of writing one.
        QString error;
        if (!text::writeFileAtomically(archivePath, emptyArchive(), &error))
            return failure(Failure::ArchiveUnwritable, archivePath, error);
        return {};
    }

    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        Outcome result = failure(Failure::ArchiveUnwritable, archivePath, zipErrorText(&error));
        zip_error_fini(&error);
        return result;
    }
    if (Outcome added = addFiles(archive, files); !added.ok()) {
        zip_discard(archive);
        return added;
    }

    CloseWatch watch{&progress, total};
    zip_register_progress_callback_with_state(archive, 0.001, onProgress, nullptr, &watch);
    zip_register_cancel_callback_with_state(archive, onCancel, nullptr, &watch);
    // zip_close writes everything to a temporary file beside the archive and renames it at the end;
    // on failure it removes the temporary file and leaves the archive handle to us.
    if (zip_close(archive) == 0)
        return {};
    const int closeError = zip_error_code_zip(zip_get_error(archive));
    Outcome result =
        watch.cancelled || closeError == ZIP_ER_CANCELLED
            ? failure(Failure::Cancelled, archivePath)
            : failure(Failure::ArchiveUnwritable, archivePath, zipErrorText(zip_get_error(archive)));
    zip_discard(archive);
    return result;
}

} // namespace tavlo::archive
