#include "ZipCommands.h"

#include "WorkProgress.h"
#include "modCommonDialogs.h"
#include "modZip.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

// Runs `work` with a cancellable progress window; `work` gets the progress callback to report through.
// The window goes as soon as the work ends.
template <typename Work> auto withProgress(QWidget *window, const QString &label, Work work) {
    WorkProgress progress(window, label);
    return work([&progress](qint64 done, qint64 total) { return progress.update(done, total); });
}

const QString kCompressing = QStringLiteral("正在压缩文件 ... ...");
const QString kExtracting = QStringLiteral("正在解压文件 ... ...");

// Marks the commands busy for the lifetime of one command.
class BusyScope {
public:
    explicit BusyScope(bool &busy)
        : m_busy(busy) {
        m_busy = true;
    }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    bool &m_busy;
};

} // namespace

ZipDialogs ZipDialogs::standard() {
    return ZipDialogs{modCommonDialogs::OpenFilesDialog, modCommonDialogs::OpenOrSaveDialog,
                      modCommonDialogs::FolderDialog};
}

ZipCommands::ZipCommands(QWidget *window, TipSetter setTip, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_setTip(std::move(setTip))
    , m_dialogs(ZipDialogs::standard()) {}

QString ZipCommands::programFolder() const {
    return m_programFolder;
}

void ZipCommands::compressFiles() {
    if (m_busy)
        return;
    BusyScope busy(m_busy);
    QStringList files = m_dialogs.openFiles(m_window, QStringLiteral("选择要压缩的文件"),
                                            QStringLiteral("All Files (*.*)|*.*"), programFolder());
    files.removeAll(QString());
    if (files.isEmpty())
        return;
    for (const QString &file : std::as_const(files)) {
        if (!QFileInfo(file).isFile())
            return;
    }

    // The archive is proposed under the first file's name with ".zip" in place of its extension, so
    // accepting the proposal never offers to overwrite that file.
    const QFileInfo first(files.first());
    const QString archive = m_dialogs.openOrSave(
        m_window, 2, QStringLiteral("文件压缩为"), QStringLiteral("Zip Files (*.zip)|*.zip"),
        first.absolutePath(), QStringLiteral("zip"), first.completeBaseName() + QStringLiteral(".zip"));
    if (archive.trimmed().isEmpty())
        return;

    m_setTip(kCompressing);
    const modZip::Outcome outcome = withProgress(
        m_window, kCompressing, [&](const auto &report) { return modZip::ZipFiles(files, archive, report); });
    m_setTip(modZip::compressionStatusText(outcome));
}

void ZipCommands::extractArchive() {
    if (m_busy)
        return;
    BusyScope busy(m_busy);
    const QString archive = m_dialogs.openOrSave(m_window, 1, QStringLiteral("选择要解压的文件"),
                                                 QStringLiteral("Zip Files (*.zip)|*.zip"), programFolder(),
                                                 QStringLiteral("zip"), QString());
    if (archive.trimmed().isEmpty() || !QFileInfo(archive).isFile())
        return;
    const QString folder = m_dialogs.folder(m_window, QStringLiteral("文件解压至:"), programFolder());
    if (folder.trimmed().isEmpty())
        return;

    m_setTip(kExtracting);
    const modZip::ExtractReport result = withProgress(m_window, kExtracting, [&](const auto &report) {
        return modZip::UnzipArchive(archive, folder, report);
    });
    m_setTip(modZip::extractionStatusText(result));
}
