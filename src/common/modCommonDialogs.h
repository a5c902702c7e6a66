#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The file and folder dialogs every tool uses to choose its files. Each is modal to its owner and
// returns an empty result when the user cancels.
namespace modCommonDialogs {

// A filter as the tools write it, "description|pattern" pairs joined by "|" (patterns separated by ";"),
// as Qt's name filters: "Zip Files (*.zip)|*.zip" -> "Zip Files (*.zip)". "*.*" becomes "*", since here
// it would leave out every file without an extension. An empty filter gives no name filters.
QStringList toNameFilters(const QString &filter);

// openOrSave 1 opens an existing file; any other value saves, asking before it overwrites a file and
// appending `defaultExtension` to a name typed without one. Returns the chosen path.
QString OpenOrSaveDialog(QWidget *owner, int openOrSave, const QString &title, const QString &filter,
                         const QString &initialFolder, const QString &defaultExtension = {},
                         const QString &defaultFileName = {});

// Several existing files; their full paths in the order they were chosen.
QStringList OpenFilesDialog(QWidget *owner, const QString &title, const QString &filter,
                            const QString &initialFolder);

// A folder, starting at `startFolder`; only folders are shown.
QString FolderDialog(QWidget *owner, const QString &title, const QString &startFolder);

} // namespace modCommonDialogs
