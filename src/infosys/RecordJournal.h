#pragma once

#include <QFile>
#include <QList>
#include <QString>

// The append-only journal beside the record workbook: every record is on the disk here (written and
// flushed) before it is acknowledged, long before the workbook itself is rewritten. One line per
// record, UTF-8:
//
//     <row> <check> <record>\n
//
// `row` is the workbook row the record was given, `check` 16 hex digits of a hash over "<row> <record>",
// and the record text has "\" , line feed and carriage return escaped as "\\", "\n" and "\r". A line
// that is cut short (no line feed) or whose check does not match ends the journal: it is what a crash
// in the middle of a write leaves, and it was never acknowledged.
class RecordJournal {
public:
    struct Entry {
        int row = 0;
        QString record;
        bool operator==(const Entry &) const = default;
    };

    explicit RecordJournal(QString path);

    QString path() const { return m_path; }

    // The intact entries from the start of the file; *intactBytes is how many bytes they take (what
    // follows is a torn or damaged tail). A missing file holds no entries.
    static QList<Entry> read(const QString &path, qint64 *intactBytes = nullptr, QString *error = nullptr);
    // One line of the file for an entry, and the entry of a line (without its line feed).
    static QByteArray encode(const Entry &entry);
    static bool decode(const QByteArray &line, Entry *entry);

    // Cuts a torn or damaged tail off, so that new entries follow the intact ones.
    bool cutTo(qint64 intactBytes, QString *error);
    // Appends the entries with one write and one flush to the disk. On failure the file is cut back to
    // what it held before and nothing of the entries counts.
    bool append(const QList<Entry> &entries, QString *error);
    // Empties the journal: the file is removed (its entries are in the workbook by now).
    bool clear(QString *error);

private:
    bool openForAppend(QString *error);

    QString m_path;
    QFile m_file;
};
