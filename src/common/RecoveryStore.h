#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One recovery copy: the content of an unsaved workbook or document, and what the user knows it by.
struct RecoveryEntry {
    enum Kind { Workbook, Document };
    QString id; // the copy's file name without extension, unique across runs
    Kind kind = Workbook;
    QString name;     // "工作簿2", "文档1" or the file name
    QString fullName; // the file it was opened from or saved as; empty when never saved
    QDateTime keptAt; // when the copy was last written
};

// The folder of recovery copies (<data folder>/Recovery): for each copy its content (.xlsx for a
// workbook, .tdoc for a document) and a small description (.json) written after the content, so a
// copy counts only once both are complete. Every file is written atomically.
class RecoveryStore {
public:
    explicit RecoveryStore(const QString &folder);

    QString folder() const { return m_folder; }
    // A new id, unique across runs of the program.
    QString newId();
    QString contentPath(const RecoveryEntry &entry) const;
    // Writes the description after the content has been written to contentPath(); false with `error`.
    bool describe(const RecoveryEntry &entry, QString *error);
    // Every complete copy (description and content present), oldest first.
    QList<RecoveryEntry> entries() const;
    // Removes a copy: its description first, so a half-removed copy is never offered.
    void remove(const RecoveryEntry &entry);
    // Removes contents without a description and temporary files (writes cut short by a crash).
    void removeIncomplete();

private:
    QString descriptionPath(const QString &id) const;

    QString m_folder;
    int m_counter = 0;
};
