#include "ZipExtractor.h"

#include "EntryNames.h"
#include "ZipReader.h"

#include "platform/text/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tavlo::archive {

namespace {

class Extraction {
public:
    Extraction(const QString &root, const ExtractOptions &options, ExtractReport &report)
        : m_root(root)
        , m_options(options)
        , m_report(report) {}

    void run(ZipReader &reader) {
        for (const EntryInfo &entry : reader.entries()) {
            if (!entry.isFolder)
                m_total += qMax<qint64>(entry.size, 0);
        }
        for (const EntryInfo &entry : reader.entries()) {
            if (!extract(reader, entry))
                return;
        }
    }

private:
    // False when the whole run stops (cancel).
    bool extract(ZipReader &reader, const EntryInfo &entry) {
        const ResolvedPath path = resolveEntryPath(entry.name);
        switch (path.check) {
        case PathCheck::Absolute:
            refuse(entry, EntryProblem::AbsolutePath);
            return true;
        case PathCheck::Escapes:
            refuse(entry, EntryProblem::EscapesFolder);
            return true;
        case PathCheck::Empty:
            if (!path.isFolder)
                refuse(entry, EntryProblem::InvalidName);
            return true;
        case PathCheck::Safe:
            break;
        }
        if (path.isFolder) {
            QString folder;
            makeFolder(entry, path.relative, &folder);
            return true;
        }
        const qsizetype slash = path.relative.lastIndexOf(u'/');
        QString folder;
        if (!makeFolder(entry, slash < 0 ? QString() : path.relative.left(slash), &folder))
            return true;
        return writeFile(reader, entry, folder, path.relative.mid(slash + 1), path.relative.left(slash + 1));
    }

    // Creates a folder below the root one level at a time, checking each level before going on: a link
    // already in the target folder could otherwise carry the entry (and the folders made for it)
    // elsewhere. Nothing is created outside the root.
    bool makeFolder(const EntryInfo &entry, const QString &relative, QString *absolute) {
        QString current = m_root;
        for (const QString &part : relative.split(u'/', Qt::SkipEmptyParts)) {
            const QString next = current + u'/' + part;
            const QFileInfo info(next);
            if (info.exists() || info.isSymLink()) {
                const QString canonical = info.canonicalFilePath();
                if (canonical.isEmpty() || !isInsideRoot(canonical)) {
                    refuse(entry, EntryProblem::EscapesFolder);
                    return false;
                }
                if (!QFileInfo(canonical).isDir()) {
                    fail(entry, EntryProblem::Unwritable, next);
                    return false;
                }
                current = canonical;
                continue;
            }
            if (!QDir(current).mkdir(part)) {
                fail(entry, EntryProblem::Unwritable, next);
                return false;
            }
            current = next;
        }
        *absolute = current;
        return true;
    }

    bool isInsideRoot(const QString &canonical) const {
        if (canonical == m_root)
            return true;
        return canonical.startsWith(m_root.endsWith(u'/') ? m_root : m_root + u'/');
    }

    bool writeFile(ZipReader &reader, const EntryInfo &entry, const QString &folder, const QString &name,
                   const QString &relativeFolder) {
        QString finalName = name;
        const QFileInfo existing(folder + u'/' + name);
        bool renamed = false;
        if (existing.exists() || existing.isSymLink()) {
            const Conflict choice =
                m_options.conflict ? m_options.conflict(relativeFolder + name) : Conflict::KeepBoth;
            if (choice == Conflict::Skip) {
                m_report.skipped.append(relativeFolder + name);
                m_done += qMax<qint64>(entry.size, 0);
                return true;
            }
            if (choice == Conflict::Overwrite && !existing.isDir()) {
                // Replace a link itself, never the file it points to.
                if (existing.isSymLink() && !QFile::remove(existing.filePath())) {
                    fail(entry, EntryProblem::Unwritable, existing.filePath());
                    return true;
                }
            } else {
                finalName = numberedName(folder, name);
                renamed = true;
            }
        }

        text::AtomicFileWriter out(folder + u'/' + finalName);
        if (!out.open(QIODevice::WriteOnly)) {
            fail(entry, EntryProblem::Unwritable, out.errorString());
            return true;
        }
        QString error;
        bool cancelled = false;
        bool writeFailed = false;
        const bool copied = reader.copyEntry(
            entry.index, out, [this](qint64 n) { return advance(n); }, &error, &cancelled, &writeFailed);
        if (!copied) {
            out.cancelWriting();
            if (cancelled) {
                m_report.outcome = Outcome{Failure::Cancelled, entry.name, {}};
                return false;
            }
            fail(entry, writeFailed ? EntryProblem::Unwritable : EntryProblem::Unreadable, error);
            return true;
        }
        if (!out.commit()) {
            fail(entry, EntryProblem::Unwritable, out.errorString());
            return true;
        }
        keepModificationTime(folder + u'/' + finalName, entry);
        m_report.extracted.append(relativeFolder + finalName);
        if (renamed)
            m_report.renamed.append(relativeFolder + finalName);
        return true;
    }

    static void keepModificationTime(const QString &path, const EntryInfo &entry) {
        if (!entry.modified.isValid())
            return;
        QFile file(path);
        if (file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
            file.setFileTime(entry.modified, QFileDevice::FileModificationTime);
    }

    bool advance(qint64 bytes) {
        m_done += bytes;
        return !m_options.progress || m_options.progress(m_done, qMax(m_total, m_done));
    }

    void refuse(const EntryInfo &entry, EntryProblem problem) {
        m_report.refused.append(EntryIssue{entry.name, problem, {}});
    }
    void fail(const EntryInfo &entry, EntryProblem problem, const QString &detail) {
        m_report.failed.append(EntryIssue{entry.name, problem, detail});
    }

    const QString m_root;
    const ExtractOptions &m_options;
    ExtractReport &m_report;
    qint64 m_total = 0;
    qint64 m_done = 0;
};

} // namespace

ExtractReport extractArchive(const QString &archivePath, const QString &folder,
                             const ExtractOptions &options) {
    ExtractReport report;
    if (!QDir().mkpath(folder)) {
        report.outcome = Outcome{Failure::FolderUnwritable, folder, {}};
        return report;
    }
    ZipReader reader(archivePath);
    if (!reader.isOpen()) {
        report.outcome = Outcome{Failure::ArchiveUnreadable, archivePath, reader.errorString()};
        return report;
    }
    Extraction(QFileInfo(folder).canonicalFilePath(), options, report).run(reader);
    return report;
}

} // namespace tavlo::archive
