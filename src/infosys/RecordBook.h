#pragma once

#include "RecordJournal.h"

#include "platform/sheet/BookContent.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QTimer;

// The record workbook "MIS.xls" as the information system keeps it: loaded once and read from memory
// (loaded again only when the file on disk changed: its size, time or identity), records made durable
// in a journal beside it before they count, and the workbook rewritten (atomically) once a burst of
// records is over, at the latest kMaxDelayMs after the first record it does not hold yet, and when the
// book is destroyed. After a crash, recover() brings what the journal holds into the workbook; a record
// the workbook already holds is not added again.
class RecordBook : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 300;
    static constexpr int kMaxDelayMs = 1500;

    // `header`: the captions of the header row of a workbook made for the first record.
    RecordBook(QString workbookPath, std::function<QStringList()> header, QObject *parent = nullptr);
    ~RecordBook() override;

    QString workbookPath() const { return m_path; }
    static QString journalPathFor(const QString &workbookPath);

    // At start-up, before anything else touches the workbook: removes temporary files a crashed write
    // left, and writes the records of the journal that the workbook does not hold into it. Returns a
    // text for the user when there was something to say (records recovered, or why they could not be).
    QString recover();

    struct Outcome {
        int row = 0; // 0: not stored
        QString error;
    };
    // Stores records (each a list of cell texts for columns 1..n): every one is on the disk when this
    // returns, all with a single write and flush. One outcome per record, in order.
    QList<Outcome> append(const QList<QStringList> &records);

    // Whether a workbook exists (or records wait to make it); false with lastError() when it cannot be read.
    bool available();
    // The last row in use (the header counts), 0 when there is no workbook.
    int lastRow();
    // The cells of columns 1..columns of a row as texts.
    QStringList cells(int row, int columns);
    // Columns 1..10 of every row from 2 on, joined as a query searches them; index 0 is row 2.
    const QStringList &rowTexts();

    // Rewrites the workbook now when it lacks records; true when it holds every record.
    bool flush();
    int waitingRecords() const { return int(m_waiting.size()); }
    QString lastError() const { return m_lastError; }

signals:
    // The workbook could not be rewritten; the records stay safe in the journal and are written later.
    void flushFailed(const QString &error);

private:
    struct FileStamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0; // ns
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const FileStamp &) const = default;
    };
    static FileStamp stampOf(const QString &path);

    // Loads the workbook again when the file changed; false when it cannot be read.
    bool ensureLoaded();
    tavlo::sheet::SheetData &sheetForWriting();
    // Puts journal entries into the sheet, skipping those the sheet already holds in order from their
    // row on; their rows are updated to where they stand.
    void place(QList<RecordJournal::Entry> &entries);
    bool rowHolds(int row, const QStringList &fields) const;
    void putRow(int row, const QStringList &fields);
    QString rowText(int row) const;
    bool writable(QString *why) const;
    void scheduleFlush();

    QString m_path;
    std::function<QStringList()> m_header;
    RecordJournal m_journal;
    std::optional<tavlo::sheet::BookContent> m_book; // empty while there is no workbook
    bool m_loaded = false;
    FileStamp m_stamp;
    QList<RecordJournal::Entry> m_waiting; // in the journal, not yet in the file
    QStringList m_rowTexts;
    QString m_lastError;
    QTimer *m_quiet;
    QTimer *m_deadline;
};
