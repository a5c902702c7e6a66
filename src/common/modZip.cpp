#include "modZip.h"

#include "platform/archive/ZipExtractor.h"
#include "platform/archive/ZipWriter.h"

#include <QFileInfo>

namespace modZip {

using tavlo::archive::EntryIssue;
using tavlo::archive::Failure;

namespace {

// The status line is one line; lists of names are cut after a few.
constexpr int kNamesShown = 2;

QString fileName(const QString &path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

QString withDetail(const QString &text, const QString &detail) {
    return detail.isEmpty() ? text : text + QStringLiteral("（") + detail + QStringLiteral("）");
}

QString listOf(const QStringList &names) {
    QString text = names.mid(0, kNamesShown).join(QStringLiteral("、"));
    if (names.size() > kNamesShown)
        text += QStringLiteral(" 等");
    return text;
}

QStringList issueNames(const QList<EntryIssue> &issues) {
    QStringList names;
    for (const EntryIssue &issue : issues)
        names.append(issue.name);
    return names;
}

} // namespace

Outcome ZipFiles(const QStringList &files, const QString &archivePath, const ProgressCallback &progress) {
    return tavlo::archive::createArchive(files, archivePath, progress);
}

ExtractReport UnzipArchive(const QString &archivePath, const QString &folder,
                           const ProgressCallback &progress, const ConflictCallback &conflict) {
    return tavlo::archive::extractArchive(archivePath, folder, {progress, conflict});
}

QString compressionStatusText(const Outcome &outcome) {
    const QString name = fileName(outcome.path);
    switch (outcome.failure) {
    case Failure::None:
        return QStringLiteral("压缩文件完毕。");
    case Failure::Cancelled:
        return QStringLiteral("压缩文件已取消，未写入压缩文件。");
    case Failure::SourceUnreadable:
        return withDetail(QStringLiteral("压缩文件失败：无法读取文件 %1").arg(name), outcome.detail) + u'。';
    case Failure::DuplicateName:
        return QStringLiteral("压缩文件失败：有多个文件名为 %1。").arg(name);
    case Failure::ArchiveIsSource:
        return QStringLiteral("压缩文件失败：压缩文件不能与要压缩的文件 %1 同名同位置。").arg(name);
    case Failure::ArchiveUnwritable:
    case Failure::ArchiveUnreadable:
    case Failure::FolderUnwritable:
        break;
    }
    return withDetail(QStringLiteral("压缩文件失败：无法写入 %1").arg(name), outcome.detail) + u'。';
}

QString extractionStatusText(const ExtractReport &report) {
    const Outcome &outcome = report.outcome;
    switch (outcome.failure) {
    case Failure::None:
        break;
    case Failure::Cancelled:
        return QStringLiteral("解压文件已取消，已解压 %1 个文件。").arg(report.extracted.size());
    case Failure::FolderUnwritable:
        return QStringLiteral("解压文件失败：无法创建文件夹 %1。").arg(outcome.path);
    default:
        return withDetail(
                   QStringLiteral("解压文件失败：%1 已损坏或不是 zip 压缩文件").arg(fileName(outcome.path)),
                   outcome.detail) +
               u'。';
    }

    QStringList problems;
    if (!report.refused.isEmpty())
        problems.append(QStringLiteral("拒绝了 %1 个会写到目标文件夹之外的条目：%2")
                            .arg(QString::number(report.refused.size()), listOf(issueNames(report.refused))));
    if (!report.failed.isEmpty())
        problems.append(
            withDetail(QStringLiteral("%1 个文件损坏或无法写入：%2")
                           .arg(QString::number(report.failed.size()), listOf(issueNames(report.failed))),
                       report.failed.first().detail));
    if (!problems.isEmpty())
        return QStringLiteral("解压文件未完成，") + problems.join(QStringLiteral("；")) + u'。';

    QString text = QStringLiteral("解压文件完毕。");
    if (!report.renamed.isEmpty())
        text += QStringLiteral("%1 个同名文件已存在，新文件另存为 %2。")
                    .arg(QString::number(report.renamed.size()), listOf(report.renamed));
    if (!report.skipped.isEmpty())
        text += QStringLiteral("跳过了 %1 个已存在的文件。").arg(report.skipped.size());
    return text;
}

} // namespace modZip
