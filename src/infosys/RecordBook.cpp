#include "RecordBook.h"

#include "RecordSchema.h"
#include "RecordText.h"

#include "platform/sheet/CellAddress.h"
#include "platform/sheet/CellText.h"
#include "platform/sheet/WorkbookFile.h"
#include "platform/text/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using tavlo::sheet::BookContent;
using tavlo::sheet::Cell;
using tavlo::sheet::CellKind;
using tavlo::sheet::SheetData;

namespace {

const QString kWorkbookName = QStringLiteral("MIS.xls");
const QString kTextFormat = QStringLiteral("@");
constexpr int kRowColumns = RecordSchema::kCustomisable; // what a query searches

} // namespace

RecordBook::RecordBook(QString workbookPath, std::function<QStringList()> header, QObject *parent)
    : QObject(parent)
    , m_path(std::move(workbookPath))
    , m_header(std::move(header))
    , m_journal(journalPathFor(m_path))
    , m_quiet(new QTimer(this))
    , m_deadline(new QTimer(this)) {
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(kQuietMs);
    m_deadline->setSingleShot(true);
    m_deadline->setInterval(kMaxDelayMs);
    connect(m_quiet, &QTimer::timeout, this, &RecordBook::flush);
    connect(m_deadline, &QTimer::timeout, this, &RecordBook::flush);
}

RecordBook::~RecordBook() {
    flush();
}

QString RecordBook::journalPathFor(const QString &workbookPath) {
    const QFileInfo info(workbookPath);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".journal");
}

RecordBook::FileStamp RecordBook::stampOf(const QString &path) {
    FileStamp stamp;
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return stamp;
    stamp.exists = true;
    stamp.size = info.size();
    stamp.modified = info.lastModified().toMSecsSinceEpoch() * 1000000;
    stamp.inode = qHash(info.birthTime().toMSecsSinceEpoch());
#endif
    return stamp;
}

QString RecordBook::recover() {
    tavlo::text::removeLeftoverTemporaries(m_path);
    qint64 intact = 0;
    QString error;
    QList<RecordJournal::Entry> entries = RecordJournal::read(m_journal.path(), &intact, &error);
    if (!error.isEmpty())
        return QStringLiteral("记录日志无法读取（%1）").arg(error);
    m_journal.cutTo(intact, &error);
    if (entries.isEmpty()) {
        m_journal.clear(&error);
        return {};
    }
    const int total = int(entries.size());
    m_waiting = entries;
    if (!ensureLoaded())
        return QStringLiteral("日志中有 %1 条记录尚未写入 %2（%3）")
            .arg(total)
            .arg(kWorkbookName, m_lastError);
    if (!flush())
        return QStringLiteral("日志中有 %1 条记录尚未写入 %2（%3）")
            .arg(total)
            .arg(kWorkbookName, m_lastError);
    return QStringLiteral("已从记录日志补入 %1 条记录").arg(total);
}

bool RecordBook::ensureLoaded() {
    const FileStamp now = stampOf(m_path);
    if (m_loaded && now == m_stamp)
        return true;
    m_loaded = false;
    m_rowTexts.clear();
    if (!now.exists) {
        m_book.reset();
    } else {
        BookContent content;
        QString error;
        if (!tavlo::sheet::readWorkbookFile(m_path, &content, &error)) {
            // A workbook that cannot be read is never replaced: the records in it would be lost.
            m_book.reset();
            m_lastError = error;
            return false;
        }
        if (content.sheets.empty()) {
            m_book.reset();
            m_lastError = QStringLiteral("%1 中没有工作表").arg(kWorkbookName);
            return false;
        }
        m_book = std::move(content);
        const SheetData &sheet = m_book->sheets.front();
        m_rowTexts.reserve(std::max(0, sheet.lastRow() - 1));
        for (int row = 2; row <= sheet.lastRow(); ++row)
            m_rowTexts.append(rowText(row));
    }
    m_stamp = now;
    m_loaded = true;
    // The file changed under the records that wait for it: they go in again where they belong.
    if (!m_waiting.isEmpty())
        place(m_waiting);
    return true;
}

SheetData &RecordBook::sheetForWriting() {
    if (!m_book) {
        BookContent content;
        content.sheets.emplace_back(QStringLiteral("Sheet1"));
        m_book = std::move(content);
        m_rowTexts.clear();
        // The header names the columns once, with the names of the day the workbook is made.
        const QStringList captions = m_header ? m_header() : QStringList();
        SheetData &sheet = m_book->sheets.front();
        for (int c = 1; c <= captions.size(); ++c) {
            if (!captions[c - 1].isEmpty())
                sheet.setCell(1, c, Cell::fromText(captions[c - 1]));
        }
    }
    return m_book->sheets.front();
}

bool RecordBook::rowHolds(int row, const QStringList &fields) const {
    const SheetData &sheet = m_book->sheets.front();
    for (int c = 1; c <= fields.size(); ++c) {
        const Cell *cell = sheet.cell(row, c);
        const QString text = cell ? tavlo::sheet::valueText(*cell, sheet.effectiveFormat(row, c)) : QString();
        if (text != fields[c - 1])
            return false;
    }
    return true;
}

void RecordBook::place(QList<RecordJournal::Entry> &entries) {
    SheetData &sheet = sheetForWriting();
    int cursor = 2;
    for (RecordJournal::Entry &entry : entries) {
        const QStringList fields = entry.record.split(u'|');
        int found = 0;
        for (int row = std::max(entry.row, cursor); row <= sheet.lastRow() && !found; ++row) {
            if (rowHolds(row, fields))
                found = row;
        }
        entry.row = found ? found : std::max(sheet.lastRow(), 1) + 1;
        if (!found)
            putRow(entry.row, fields);
        cursor = entry.row + 1;
    }
}

void RecordBook::putRow(int row, const QStringList &fields) {
    SheetData &sheet = sheetForWriting();
    // Every cell of a record is text, so that codes like "0012" stay as typed.
    const quint16 text = sheet.internFormat(kTextFormat);
    for (int k = 0; k < fields.size(); ++k) {
        const Cell cell =
            fields[k].isEmpty() ? Cell{{}, 0, text, CellKind::Empty} : Cell::fromText(fields[k], text);
        sheet.setCell(row, k + 1, cell);
    }
    if (row >= 2) {
        while (m_rowTexts.size() < row - 1)
            m_rowTexts.append(QString());
        m_rowTexts[row - 2] = rowText(row);
    }
}

QString RecordBook::rowText(int row) const {
    const SheetData &sheet = m_book->sheets.front();
    QStringList texts;
    for (int c = 1; c <= kRowColumns; ++c) {
        const Cell *cell = sheet.cell(row, c);
        texts << (cell ? tavlo::sheet::valueText(*cell, sheet.effectiveFormat(row, c)) : QString());
    }
    return RecordText::BuildRowText(texts);
}

bool RecordBook::writable(QString *why) const {
#ifdef Q_OS_UNIX
    const bool readOnly = ::access(QFile::encodeName(m_path).constData(), W_OK) != 0 && errno != ENOENT;
#else
    const bool readOnly = QFileInfo::exists(m_path) && !QFileInfo(m_path).isWritable();
#endif
    if (readOnly)
        *why = QStringLiteral("%1 是只读文件，不能写入").arg(kWorkbookName);
    return !readOnly;
}

QList<RecordBook::Outcome> RecordBook::append(const QList<QStringList> &records) {
    QList<Outcome> outcomes(records.size());
    QString refusal;
    if (!ensureLoaded())
        refusal = m_lastError;
    else
        writable(&refusal);
    if (!refusal.isEmpty()) {
        m_lastError = refusal;
        for (Outcome &outcome : outcomes)
            outcome.error = refusal;
        return outcomes;
    }
    QList<RecordJournal::Entry> entries;
    QList<int> indexes;
    int next = (m_book ? std::max(m_book->sheets.front().lastRow(), 1) : 1) + 1;
    for (int i = 0; i < records.size(); ++i) {
        if (next > tavlo::sheet::kMaxXlsRows) {
            outcomes[i].error = QStringLiteral("%1 的工作表已满（最多 %2 行）")
                                    .arg(kWorkbookName, QString::number(tavlo::sheet::kMaxXlsRows));
            continue;
        }
        entries.append({next++, records[i].join(u'|')});
        indexes.append(i);
    }
    QString error;
    if (!m_journal.append(entries, &error)) {
        m_lastError = error;
        for (int i : indexes)
            outcomes[i].error = error;
        return outcomes;
    }
    for (int k = 0; k < entries.size(); ++k) {
        putRow(entries[k].row, records[indexes[k]]);
        outcomes[indexes[k]].row = entries[k].row;
    }
    m_waiting += entries;
    if (!entries.isEmpty())
        scheduleFlush();
    return outcomes;
}

void RecordBook::scheduleFlush() {
    m_quiet->start();
    if (!m_deadline->isActive())
        m_deadline->start();
}

bool RecordBook::available() {
    return ensureLoaded() && (m_book.has_value() || !m_waiting.isEmpty());
}

int RecordBook::lastRow() {
    return ensureLoaded() && m_book ? m_book->sheets.front().lastRow() : 0;
}

QStringList RecordBook::cells(int row, int columns) {
    QStringList texts;
    const bool loaded = ensureLoaded() && m_book;
    for (int c = 1; c <= columns; ++c) {
        const Cell *cell = loaded ? m_book->sheets.front().cell(row, c) : nullptr;
        texts << (cell ? tavlo::sheet::valueText(*cell, m_book->sheets.front().effectiveFormat(row, c))
                       : QString());
    }
    return texts;
}

const QStringList &RecordBook::rowTexts() {
    ensureLoaded();
    return m_rowTexts;
}

bool RecordBook::flush() {
    if (m_waiting.isEmpty())
        return true;
    m_quiet->stop();
    m_deadline->stop();
    QString error;
    if (!ensureLoaded())
        error = m_lastError;
    else if (writable(&error)) {
        tavlo::sheet::BookView view;
        for (const SheetData &sheet : m_book->sheets)
            view.sheets.append(&sheet);
        view.activeSheet = m_book->activeSheet;
        if (!tavlo::sheet::writeWorkbookFile(m_path, view, &error) && error.isEmpty())
            error = QStringLiteral("%1 未能保存").arg(kWorkbookName);
    }
    if (!error.isEmpty()) {
        m_lastError = error;
        emit flushFailed(error);
        return false;
    }
    m_stamp = stampOf(m_path);
    m_waiting.clear();
    // Only now that the workbook holds them on the disk; if this fails, the next start finds them there.
    m_journal.clear(&error);
    return true;
}
