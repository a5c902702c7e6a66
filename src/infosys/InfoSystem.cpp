#include "InfoSystem.h"

#include "InfoPanel.h"
#include "InfoRoutes.h"
#include "QueryMatch.h"
#include "QueryOutput.h"
#include "RecordBook.h"
#include "RecordText.h"

#include "common/modCommon.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/IniFile.h"
#include "platform/text/TextCodec.h"
#include "session/HostRequests.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/SessionSockets.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;

namespace {

const QString kRecorded = QStringLiteral("录入成功");
const QString kNotRecorded = QStringLiteral("未录入成功");
const QString kRecordsSuffix = QStringLiteral(" 条记录");
const QString kTextFormat = QStringLiteral("@");
constexpr int kRowColumns = RecordSchema::kCustomisable; // what a query searches and returns
constexpr int kPauseMs = 50;
// A row is uploaded only when these columns (1-based) hold something.
constexpr std::array<int, 5> kRequiredColumns{1, 3, 7, 8, 9};

// False (with the sheet's reason) as soon as one cell cannot be written.
bool writeTextRow(Worksheet *sheet, int row, const QStringList &fields, QString *error = nullptr) {
    for (int k = 0; k < fields.size(); ++k) {
        if (!sheet->setNumberFormat(row, k + 1, kTextFormat) || !sheet->setValue(row, k + 1, fields[k])) {
            if (error)
                *error = sheet->lastError();
            return false;
        }
    }
    return true;
}

} // namespace

InfoSystem::InfoSystem(Session &session, InfoPanel &panel, ToolContext tool, Context context, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_panel(panel)
    , m_tool(std::move(tool))
    , m_office(*m_tool.office)
    , m_context(std::move(context)) {
    connect(m_panel.cmdRecord, &QPushButton::clicked, this, &InfoSystem::cmdRecord_Click);
    connect(m_panel.cmdQuery, &QPushButton::clicked, this, &InfoSystem::cmdQuery_Click);
    m_book = new RecordBook(
        workbookPath(),
        [this] {
            const RecordSchema schema = currentSchema();
            return QStringList(schema.attributes.begin(), schema.attributes.end());
        },
        this);
    connect(m_book, &RecordBook::flushFailed, this, [this](const QString &error) {
        tip(QStringLiteral("记录已存入日志，但 %1 未能更新（%2），稍后再写入")
                .arg(QString::fromLatin1(kWorkbookName), error));
    });
    // Records a crash kept from the workbook go in before anything else reads it.
    const QString recovered = m_book->recover();
    if (!recovered.isEmpty())
        tip(recovered);
    connect(qApp, &QCoreApplication::aboutToQuit, m_book, &RecordBook::flush);

    m_sessionAlive = &m_session;
    HostRequests &requests = m_session.requests();
    // The session serves members' requests from a timer: no waiting here.
    requests.setRecordBatchStore([this](const QStringList &records) {
        const QList<bool> stored = writeRecords(records);
        if (stored.contains(false))
            tip(QStringLiteral("成员的记录") + notRecordedText(QString()));
        return stored;
    });
    requests.setQueryRunner([this](const QString &query) { return findRows(query); });
    m_routes = new InfoRoutes(m_session,
                              {[this](const QString &text) { tip(text); },
                               [this](const QString &result) { onRecordResult(result); },
                               [this](const QStringList &rows) { ShowResults(rows, m_panel.showMode()); }},
                              this);
    // Answers to what was sent before never come once the session is over.
    connect(&m_session, &Session::sessionReset, this, [this] { m_awaitingResults.clear(); });
    connect(&m_session, &Session::uploadLocalRecordsRequested, this, &InfoSystem::uploadAfterJoining);
}

InfoSystem::~InfoSystem() {
    // Whatever waits reaches MIS.xls; nobody may be left to show a failure (the journal keeps it).
    m_book->disconnect(this);
    m_book->flush();
    // The session may be gone already when both belong to a window that is being destroyed.
    delete m_routes;
    if (m_sessionAlive) {
        m_sessionAlive->requests().setRecordBatchStore({});
        m_sessionAlive->requests().setRecordStore({});
        m_sessionAlive->requests().setQueryRunner({});
    }
    if (m_editor)
        m_editor->terminate();
    delete m_viewer;
}

void InfoSystem::applyValues(const Values &values) {
    m_panel.setQueryOptions(values);
}

InfoSystem::Values InfoSystem::values() const {
    return m_panel.queryOptions();
}

QString InfoSystem::workbookPath() const {
    return modCommon::JoinPath(m_tool.dataFolder, QString::fromLatin1(kWorkbookName));
}

QString InfoSystem::queryFilePath() const {
    return modCommon::JoinPath(m_tool.dataFolder, QString::fromLatin1(kQueryFileName));
}

void InfoSystem::tip(const QString &text) const {
    m_tool.tip(text);
}

QString InfoSystem::ownAddress() const {
    const QString member = m_session.sockets().memberLocalAddress();
    return member.isEmpty() ? m_session.sockets().listenerAddress() : member;
}

QString InfoSystem::storedRowList() const {
    return modCommon::ReadSetting(m_context.settingsPath, QStringLiteral("MIS"), QStringLiteral("RowList"),
                                  QString());
}

int InfoSystem::recordsWaiting() const {
    return m_book->waitingRecords();
}

bool InfoSystem::flushWorkbook() {
    return m_book->flush();
}

bool InfoSystem::storeRowList(const QString &rowList, QString *error) {
    if (!m_context.writeSetting) {
        if (error)
            *error = QStringLiteral("没有可写入设置的地方");
        return false;
    }
    return m_context.writeSetting(QStringLiteral("MIS"), QStringLiteral("RowList"), rowList, error);
}

bool InfoSystem::refuseRecord(const QString &reason) {
    m_lastError = reason;
    return false;
}

QString InfoSystem::notRecordedText(const QString &mark) const {
    QString text = kNotRecorded + mark;
    if (!m_lastError.isEmpty())
        text += QStringLiteral("（") + m_lastError + QStringLiteral("）");
    return text;
}

void InfoSystem::cmdRecord_Click() {
    const QStringList fields = m_panel.takeRecordFields(ownAddress());
    // The inputer box alone is never a record.
    if (std::all_of(fields.begin(), fields.end() - 1, [](const QString &field) { return field.isEmpty(); })) {
        m_panel.focusRecord();
        return;
    }
    const QString record = RecordText::BuildRecordText(fields);

    if (m_session.isOnline()) {
        if (m_session.isHost()) {
            const bool stored = RecordToWorkbook(record);
            m_session.ProcessIncoming(
                ProtocolTags::kRecordResult.line((stored ? kRecorded : kNotRecorded) + u'!'));
            if (!stored)
                tip(notRecordedText(QStringLiteral("!")));
        } else if (tavlo::text::toWire(record).size() + 16 > m_session.sockets().maxLineBytes()) {
            // The host would drop a line this long, and this computer with it.
            tip(kNotRecorded + QStringLiteral("（记录过长，无法发送给主机）"));
        } else {
            m_session.QueueToHost(ProtocolTags::kRecord.line(record));
            m_awaitingResults.push_back(0);
        }
        return;
    }
    if (!RecordToWorkbook(record)) {
        tip(notRecordedText(QString()));
        return;
    }
    QString error;
    if (storeRowList(RecordText::AppendRow(storedRowList(), m_lastRow), &error))
        tip(kRecorded);
    else
        tip(kRecorded + QStringLiteral("，但第 %1 行未能记入待上传列表（%2）").arg(m_lastRow).arg(error));
    m_lastRow = 0;
}

bool InfoSystem::RecordToWorkbook(const QString &recordText) {
    m_lastRow = 0;
    m_lastError.clear();
    return writeRecord(recordText);
}

bool InfoSystem::writeRecord(const QString &recordText) {
    return writeRecords({recordText}).value(0);
}

QString InfoSystem::refusalOf(const QStringList &fields) {
    if (fields.size() > tavlo::sheet::kMaxXlsColumns)
        return QStringLiteral("记录的字段多于 %1 个").arg(tavlo::sheet::kMaxXlsColumns);
    for (int k = 0; k < fields.size(); ++k) {
        if (fields[k].size() > kMaxFieldLength)
            return QStringLiteral("第 %1 项超过 %2 个字符")
                .arg(QString::number(k + 1), QString::number(kMaxFieldLength));
    }
    return {};
}

QList<bool> InfoSystem::writeRecords(const QStringList &recordTexts) {
    m_lastRow = 0;
    m_lastError.clear();
    QList<bool> stored(recordTexts.size(), false);
    QList<QStringList> accepted;
    QList<int> indexes;
    for (int i = 0; i < recordTexts.size(); ++i) {
        const QStringList fields = recordTexts[i].split(u'|');
        const QString refusal = refusalOf(fields);
        if (!refusal.isEmpty()) {
            m_lastError = refusal;
            continue;
        }
        accepted.append(fields);
        indexes.append(i);
    }
    const QList<RecordBook::Outcome> outcomes = m_book->append(accepted);
    for (int k = 0; k < outcomes.size(); ++k) {
        if (outcomes[k].row > 0) {
            stored[indexes[k]] = true;
            m_lastRow = outcomes[k].row;
        } else {
            m_lastError = outcomes[k].error;
        }
    }
    return stored;
}

RecordSchema InfoSystem::currentSchema() const {
    return m_context.schema ? m_context.schema() : RecordSchemaText::designed();
}

void InfoSystem::uploadAfterJoining() {
    m_awaitingResults.clear();
    m_confirmedRows.clear();
    const QString rowList = RecordText::NormaliseRowList(storedRowList());
    if (rowList.isEmpty()) {
        if (m_upload.timer)
            m_upload.timer->stop(); // an upload to the host left before has nothing more to send
        return;
    }
    UploadLocalRecords(rowList);
}

bool InfoSystem::UploadLocalRecords(const QString &rowList) {
    // One row per tick, so that the host's answers and the user are served between rows. A new
    // join starts over from the list as it is then; leaving stops the ticks and keeps the list.
    if (!m_upload.timer) {
        m_upload.timer = new QTimer(this);
        m_upload.timer->setInterval(kPauseMs);
        connect(m_upload.timer, &QTimer::timeout, this, &InfoSystem::uploadNextRow);
        connect(&m_session, &Session::sessionReset, m_upload.timer, &QTimer::stop);
    }
    m_upload.timer->stop();
    m_upload.pending.clear();
    m_uploadedRows.clear();
    if (!m_book->available())
        return false;
    m_upload.rowList = rowList;
    for (int row : RecordText::RowNumbers(rowList)) {
        QStringList cells = m_book->cells(row, RecordSchema::kAttributeCount);
        for (QString &cell : cells)
            cell = cell.trimmed();
        const bool complete = std::all_of(kRequiredColumns.begin(), kRequiredColumns.end(),
                                          [&cells](int c) { return !cells[c - 1].isEmpty(); });
        if (complete)
            m_upload.pending.append({row, ProtocolTags::kRecord.line(cells.join(u'|'))});
    }
    m_upload.timer->start();
    return true;
}

void InfoSystem::uploadNextRow() {
    if (!m_session.isOnline()) {
        // Rows not sent stay on the list for the next join.
        m_upload.timer->stop();
        return;
    }
    if (!m_upload.pending.isEmpty()) {
        const auto [row, line] = m_upload.pending.takeFirst();
        m_session.QueueToHost(line);
        m_awaitingResults.push_back(row);
        m_uploadedRows.append(row);
        if (!m_upload.pending.isEmpty())
            return;
    }
    m_upload.timer->stop();
    // Rows that could not be sent (incomplete, or gone from the workbook) leave the list now; a row that
    // went leaves it once the host answers that it stored it.
    QString left;
    for (int row : std::as_const(m_uploadedRows)) {
        if (!m_confirmedRows.contains(row))
            left += u'|' + QString::number(row);
    }
    QString error;
    if (left != m_upload.rowList && !storeRowList(left, &error))
        tip(QStringLiteral("本机记录已上传，但待上传列表未能更新（%1），下次加入时会再次上传").arg(error));
}

void InfoSystem::onRecordResult(const QString &result) {
    if (m_session.isHost() || m_awaitingResults.empty())
        return;
    const int row = m_awaitingResults.front();
    m_awaitingResults.pop_front();
    if (row <= 0 || result != kRecorded + u'!')
        return;
    m_confirmedRows.append(row);
    // Answers come in bursts: the settings file is written once per burst.
    if (!m_confirmStoreQueued) {
        m_confirmStoreQueued = true;
        QTimer::singleShot(0, this, &InfoSystem::storeConfirmedUploads);
    }
}

void InfoSystem::storeConfirmedUploads() {
    m_confirmStoreQueued = false;
    const QString stored = RecordText::NormaliseRowList(storedRowList());
    QString left;
    for (int row : RecordText::RowNumbers(stored)) {
        if (!m_confirmedRows.contains(row))
            left += u'|' + QString::number(row);
    }
    QString error;
    if (left != stored && !storeRowList(left, &error))
        tip(QStringLiteral("本机记录已上传，但待上传列表未能更新（%1），下次加入时会再次上传").arg(error));
}

void InfoSystem::cmdQuery_Click() {
    QueryMatch::Query query;
    query.keywords = m_panel.takeKeywords();
    if (std::all_of(query.keywords.begin(), query.keywords.end(),
                    [](const QString &keyword) { return keyword.isEmpty(); })) {
        m_panel.focusKeywords();
        return;
    }
    const InfoPanel::QueryOptions options = m_panel.queryOptions();
    query.andMode = options.andOr == 0;
    query.matchCase = options.matchCase;
    query.wholeWord = options.wholeWord;
    const QString queryText = QueryMatch::BuildQueryText(query);

    if (m_session.isOnline() && !m_session.isHost()) {
        m_session.QueueToHost(ProtocolTags::kQuery.line(queryText));
        return;
    }
    const QStringList rows = SearchWorkbook(queryText);
    tip(QString::number(rows.size()) + kRecordsSuffix);
    ShowResults(rows, m_panel.showMode());
}

QStringList InfoSystem::SearchWorkbook(const QString &queryText) {
    return findRows(queryText);
}

QStringList InfoSystem::findRows(const QString &queryText) {
    QStringList found;
    const auto query = QueryMatch::ParseQueryText(queryText);
    if (!query || !m_book->available())
        return found;
    const QueryMatch::RowMatcher matcher(*query);
    for (const QString &rowText : m_book->rowTexts()) {
        if (matcher.matches(rowText))
            found << rowText;
    }
    return found;
}

void InfoSystem::ShowResults(const QStringList &rows, const QString &showMode) {
    if (rows.isEmpty())
        return;
    if (showMode == QLatin1String("Excel"))
        showInWorkbook(rows);
    else
        showInTextViewer(rows);
}

void InfoSystem::showInWorkbook(const QStringList &rows) {
    m_office.AttachExcel(OfficeSlots::QueryDisplay, true, false);
    ExcelSlot *slot = m_office.excel(OfficeSlots::QueryDisplay);
    if (!slot || !slot->application)
        return;
    Workbook *book = slot->application->Workbooks().Add();
    Worksheet *sheet = book ? book->Sheets(1) : nullptr;
    if (!sheet)
        return;
    slot->workbook = book;
    slot->worksheet = sheet;

    // Below what the sheet holds; a new, empty sheet starts at its first row.
    const bool empty = sheet->value(1, 1).isEmpty() && m_office.LastUsedRow(OfficeSlots::QueryDisplay) == 1;
    const int header = empty ? 1 : m_office.LastUsedRow(OfficeSlots::QueryDisplay) + 1;
    const RecordSchema schema = currentSchema();
    for (int c = 1; c <= kRowColumns; ++c)
        sheet->setValue(header, c, schema.attributes[c - 1]);
    int row = header;
    for (const QString &rowText : rows)
        writeTextRow(sheet, ++row, rowText.split(u'|')); // cells read from a sheet always fit one
    sheet->setValue(row + 1, 1, QueryOutput::SummaryLine(QDateTime::currentDateTime(), int(rows.size())));
    sheet->Select(header, 1);
    sheet->autoFit(1, kRowColumns);
    slot->application->setVisible(true);
    slot->application->bringToFront();
}

void InfoSystem::showInTextViewer(const QStringList &rows) {
    if (m_editor) {
        m_editor->terminate();
        m_editor->deleteLater();
    }
    const RecordSchema schema = currentSchema();
    const QStringList lines = QueryOutput::ResultLines(
        rows, schema, QueryOutput::SummaryLine(QDateTime::currentDateTime(), int(rows.size())));
    const QString path = queryFilePath();
    QString error;
    const int lineCount = QueryOutput::AppendToQueryFile(path, lines, &error);
    if (lineCount == 0) {
        tip(QStringLiteral("查询结果未能写入 %1（%2）").arg(QString::fromLatin1(kQueryFileName), error));
        return;
    }

    const QString command = tavlo::text::IniFile::load(m_context.settingsPath)
                                .value(QStringLiteral("Tavlo"), QStringLiteral("TextEditor"));
    if (!command.isEmpty()) {
        QStringList arguments = QProcess::splitCommand(command);
        const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
        if (!arguments.join(u' ').contains(QLatin1String("{file}")))
            arguments << QStringLiteral("{file}");
        for (QString &argument : arguments)
            argument.replace(QLatin1String("{file}"), path)
                .replace(QLatin1String("{line}"), QString::number(lineCount));
        m_editor = new QProcess(this);
        m_editor->start(program, arguments);
        if (m_editor->waitForStarted(2000))
            return;
        delete m_editor;
    }

    // The built-in viewer: read-only, scrolled to the newest results.
    if (!m_viewer) {
        auto *viewer = new QWidget(nullptr, Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(QString::fromLatin1(kQueryFileName));
        viewer->resize(560, 480);
        auto *text = new QPlainTextEdit(viewer);
        text->setObjectName(QStringLiteral("queryText"));
        text->setReadOnly(true);
        auto *layout = new QVBoxLayout(viewer);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(text);
        m_viewer = viewer;
    }
    auto *text = m_viewer->findChild<QPlainTextEdit *>(QStringLiteral("queryText"));
    QFile file(path);
    if (text && file.open(QIODevice::ReadOnly))
        text->setPlainText(tavlo::text::decodeFileText(file.readAll()));
    m_viewer->show();
    m_viewer->raise();
    if (text)
        text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
}
