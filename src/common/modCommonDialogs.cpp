#include "modCommonDialogs.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace modCommonDialogs {

namespace {

QString qtPatterns(const QString &pattern) {
    QStringList patterns;
    for (const QString &part : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        if (trimmed.isEmpty())
            continue;
        patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return patterns.isEmpty() ? QStringLiteral("*") : patterns.join(u' ');
}

// Qt reads a filter's patterns from its last parenthesised group, so a description that already
// shows its patterns ("All Files (*.*)") loses that group and gets the real patterns instead.
QString describe(const QString &description, const QString &patterns) {
    static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QString text = description.trimmed();
    text.remove(shownPatterns);
    if (text.isEmpty())
        text = patterns;
    return text + QStringLiteral(" (") + patterns + u')';
}

void applyFilter(QFileDialog &dialog, const QString &filter) {
    const QStringList filters = toNameFilters(filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
}

QStringList run(QFileDialog &dialog) {
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

} // namespace

QStringList toNameFilters(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].trimmed().isEmpty() && parts[i + 1].trimmed().isEmpty())
            continue;
        filters.append(describe(parts[i], qtPatterns(parts[i + 1])));
    }
    return filters;
}

QString OpenOrSaveDialog(QWidget *owner, int openOrSave, const QString &title, const QString &filter,
                         const QString &initialFolder, const QString &defaultExtension,
                         const QString &defaultFileName) {
    QFileDialog dialog(owner, title, initialFolder);
    applyFilter(dialog, filter);
    const bool open = openOrSave == 1;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDefaultSuffix(defaultExtension);
    if (!defaultFileName.isEmpty())
        dialog.selectFile(defaultFileName);
    return run(dialog).value(0);
}

QStringList OpenFilesDialog(QWidget *owner, const QString &title, const QString &filter,
                            const QString &initialFolder) {
    QFileDialog dialog(owner, title, initialFolder);
    applyFilter(dialog, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return run(dialog);
}

QString FolderDialog(QWidget *owner, const QString &title, const QString &startFolder) {
    QFileDialog dialog(owner, title, startFolder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    return run(dialog).value(0);
}

} // namespace modCommonDialogs
