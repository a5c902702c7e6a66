#pragma once

#include "InfoPanel.h"
#include "RecordSchema.h"

#include "common/ToolContext.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>

class InfoPanel;
class InfoRoutes;
class OfficeSlots;
class QProcess;
class QTimer;
class QWidget;
class RecordBook;
class Session;

// Record entry and keyword query of the information system. Records live in "MIS.xls" in the data
// folder: on the host when a session is up, locally (and remembered for a later upload) otherwise. The
// workbook stays loaded (RecordBook): a record is journaled on the disk before it counts and the
// workbook rewritten once a burst of records is over; a query reads memory.
class InfoSystem : public QObject {
    Q_OBJECT

public:
    // What the information system needs beyond the ToolContext (whose data folder holds MIS.xls and
    // Query.txt, and whose spreadsheet slots show query results).
    struct Context {
        QString settingsPath;                 // Tavlo.ini, for the pending-upload list
        std::function<RecordSchema()> schema; // the names the window shows now
        // Stores one key of Tavlo.ini through the program's settings store (the file's one writer);
        // false with the reason when it could not be saved.
        std::function<bool(const QString &section, const QString &key, const QString &value, QString *error)>
            writeSetting;
    };

    // The longest text a record field (a workbook cell) holds.
    static constexpr int kMaxFieldLength = InfoPanel::kMaxFieldLength;

    static constexpr const char *kWorkbookName = "MIS.xls";
    static constexpr const char *kQueryFileName = "Query.txt";

    // What Tavlo.ini keeps of the tool: its query options.
    using Values = InfoPanel::QueryOptions;

    InfoSystem(Session &session, InfoPanel &panel, ToolContext tool, Context context,
               QObject *parent = nullptr);
    ~InfoSystem() override;

    InfoPanel &panel() const { return m_panel; }
    void applyValues(const Values &values);
    Values values() const;

    void cmdRecord_Click();
    void cmdQuery_Click();

    // Writes one record into this computer's workbook; true on success. The row written is kept for
    // the pending-upload list. On failure MIS.xls is left as it was and lastRecordError() says why
    // (a field too long, the sheet full, the workbook unreadable, the disk full).
    bool RecordToWorkbook(const QString &recordText);
    int lastRecordedRow() const { return m_lastRow; }
    QString lastRecordError() const { return m_lastError; }
    // Starts sending the listed local rows to the host, one row per timer tick; true when the workbook
    // could be read.
    bool UploadLocalRecords(const QString &rowList);
    // The row texts of this computer's workbook that match the query text.
    QStringList SearchWorkbook(const QString &queryText);
    // showMode: "Excel" fills a new workbook in the sheet window, "NotePad" appends to Query.txt and shows
    // it.
    void ShowResults(const QStringList &rows, const QString &showMode);

    QString workbookPath() const;
    QString queryFilePath() const;
    // The rows recorded offline and not yet uploaded, as stored. A row leaves the list once the host
    // answered "录入成功!" for it.
    QString storedRowList() const;
    // Records stored but not yet written into MIS.xls (they are in the journal beside it).
    int recordsWaiting() const;
    // Writes what waits into MIS.xls now; true when the file holds every record.
    bool flushWorkbook();
    // The text viewer of the last NotePad display, while it is open.
    QWidget *queryViewer() const { return m_viewer; }

    // This computer's address as it fills the "entered by" field.
    QString ownAddress() const;

private:
    // What RecordToWorkbook and SearchWorkbook do, for the host's request queue which serves them from
    // a timer.
    bool writeRecord(const QString &recordText);
    // Stores records that arrived together with one write to the disk; one result per record.
    QList<bool> writeRecords(const QStringList &recordTexts);
    // Why a record cannot be stored whatever the workbook holds; empty when it can.
    static QString refusalOf(const QStringList &fields);
    QStringList findRows(const QString &queryText);
    RecordSchema currentSchema() const;
    // A "[记录结果]" reached this member: the upload it answers is done when it says "录入成功!".
    void onRecordResult(const QString &result);
    void storeConfirmedUploads();
    bool storeRowList(const QString &rowList, QString *error);
    bool refuseRecord(const QString &reason);
    // "未录入成功" (with `mark`) followed by the reason of the last refusal.
    QString notRecordedText(const QString &mark) const;
    void uploadAfterJoining();
    void showInWorkbook(const QStringList &rows);
    void showInTextViewer(const QStringList &rows);
    void tip(const QString &text) const;

    Session &m_session;
    InfoPanel &m_panel;
    ToolContext m_tool;
    OfficeSlots &m_office;
    Context m_context;
    int m_lastRow = 0;
    QString m_lastError;
    QPointer<QWidget> m_viewer;
    QPointer<QProcess> m_editor;
    QPointer<Session> m_sessionAlive;
    InfoRoutes *m_routes = nullptr;
    RecordBook *m_book;
    // What each "[记录]" sent to the host and not yet answered was: a local row being uploaded, or 0.
    std::deque<int> m_awaitingResults;
    QList<int> m_uploadedRows;  // local rows the last upload sent
    QList<int> m_confirmedRows; // uploaded rows the host stored, to leave the pending-upload list
    bool m_confirmStoreQueued = false;

    // The upload after a join: the rows left to send, one per tick of the timer.
    void uploadNextRow();
    struct Upload {
        QTimer *timer = nullptr;
        QString rowList; // the pending-upload list it started from
        QList<std::pair<int, QString>> pending;
    } m_upload;
};
