#include "RecoveryKeeper.h"

#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentArchive.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/WorkbookFile.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/AtomicFile.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <algorithm>

using tavlo::document::Document;
using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;
using DocumentApplication = tavlo::document::Application;
using SheetApplication = tavlo::sheet::Application;

RecoveryKeeper::RecoveryKeeper(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_store(folder) {
    m_store.removeIncomplete();
    m_found = m_store.entries();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RecoveryKeeper::onTimer);
}

RecoveryKeeper::~RecoveryKeeper() = default;

void RecoveryKeeper::watch(SheetApplication *application) {
    if (!application)
        return;
    connect(application, &SheetApplication::workbookOpened, this, &RecoveryKeeper::onWorkbookOpened,
            Qt::UniqueConnection);
    for (Workbook *book : application->workbookList())
        track(book, {});
}

void RecoveryKeeper::watch(DocumentApplication *application) {
    if (!application)
        return;
    connect(application, &DocumentApplication::documentOpened, this, &RecoveryKeeper::onDocumentOpened,
            Qt::UniqueConnection);
    for (Document *document : application->documentList())
        track(document, {});
}

RecoveryKeeper::Kept &RecoveryKeeper::add(QObject *item, RecoveryEntry::Kind kind, const QString &id) {
    Kept &kept = m_kept[item];
    kept.item = item;
    kept.entry.kind = kind;
    kept.entry.id = id.isEmpty() ? m_store.newId() : id;
    kept.written = !id.isEmpty();
    return kept;
}

void RecoveryKeeper::track(Workbook *book, const QString &id) {
    if (!book || !book->isAlive() || m_kept.contains(book))
        return;
    Kept &kept = add(book, RecoveryEntry::Workbook, id);
    kept.dirty = id.isEmpty() && !book->Saved();
    auto followSheet = [this, book](Worksheet *sheet) {
        connect(sheet, &Worksheet::cellsChanged, this, [this, book] { changed(book); });
        connect(sheet, &Worksheet::columnsChanged, this, [this, book] { changed(book); });
        connect(sheet, &Worksheet::nameChanged, this, [this, book] { changed(book); });
    };
    for (int i = 1; i <= book->SheetsCount(); ++i)
        followSheet(book->Sheets(i));
    connect(book, &Workbook::sheetsChanged, this, [book, followSheet] {
        // Only a sheet added at the end is new.
        if (Worksheet *last = book->Sheets(book->SheetsCount()))
            followSheet(last);
    });
    connect(book, &Workbook::savedChanged, this, [this, book] { changed(book); });
    connect(book, &Workbook::closed, this, [this, book] { closed(book); });
    if (kept.dirty)
        schedule();
}

void RecoveryKeeper::track(Document *document, const QString &id) {
    if (!document || !document->isAlive() || m_kept.contains(document))
        return;
    Kept &kept = add(document, RecoveryEntry::Document, id);
    kept.dirty = id.isEmpty() && !document->Saved();
    connect(document, &Document::changed, this, [this, document] { changed(document); });
    connect(document, &Document::savedChanged, this, [this, document] { changed(document); });
    connect(document, &Document::closed, this, [this, document] { closed(document); });
    if (kept.dirty)
        schedule();
}

namespace {

bool isSaved(const QObject *item, RecoveryEntry::Kind kind) {
    if (kind == RecoveryEntry::Workbook)
        return static_cast<const Workbook *>(item)->Saved();
    return static_cast<const Document *>(item)->Saved();
}

} // namespace

void RecoveryKeeper::changed(QObject *item) {
    auto it = m_kept.find(item);
    if (it == m_kept.end())
        return;
    if (isSaved(item, it->entry.kind)) {
        drop(*it);
        return;
    }
    it->dirty = true;
    schedule();
}

void RecoveryKeeper::closed(QObject *item) {
    auto it = m_kept.find(item);
    if (it == m_kept.end())
        return;
    // Closed by the user, who was asked about unsaved changes: the copy has done its job. When the
    // program ends without asking, the copy is all that is left.
    if (!m_keepOnClose)
        drop(*it);
    m_kept.erase(it);
}

void RecoveryKeeper::drop(Kept &kept) {
    if (kept.written)
        m_store.remove(kept.entry);
    kept.written = false;
    kept.dirty = false;
}

void RecoveryKeeper::schedule() {
    if (m_timer.isActive())
        return;
    int delay = kSettleMs;
    if (m_sinceWrite.isValid())
        delay = int(std::max<qint64>(kSettleMs, m_intervalMs - m_sinceWrite.elapsed()));
    m_timer.start(delay);
}

void RecoveryKeeper::onTimer() {
    if (m_busy && m_busy()) {
        m_timer.start(kSettleMs);
        return;
    }
    writeNow();
}

bool RecoveryKeeper::wanted(const Kept &kept) const {
    if (!kept.item)
        return false;
    if (kept.entry.kind == RecoveryEntry::Workbook) {
        const auto *book = static_cast<const Workbook *>(kept.item.data());
        return book->isAlive() && !book->Saved() && book->application() && book->application()->Visible();
    }
    const auto *document = static_cast<const Document *>(kept.item.data());
    return document->isAlive() && !document->Saved() && document->application() &&
           document->application()->Visible();
}

bool RecoveryKeeper::write(Kept &kept, QString *error) {
    if (!QDir().mkpath(m_store.folder())) {
        *error = QStringLiteral("无法建立文件夹 %1").arg(QDir::toNativeSeparators(m_store.folder()));
        return false;
    }
    RecoveryEntry &entry = kept.entry;
    entry.keptAt = QDateTime::currentDateTimeUtc();
    const QString path = m_store.contentPath(entry);
    bool ok = false;
    if (entry.kind == RecoveryEntry::Workbook) {
        const auto *book = static_cast<const Workbook *>(kept.item.data());
        entry.name = book->Name();
        entry.fullName = book->FullName();
        ok = tavlo::sheet::writeWorkbookFile(path, book->view(), error);
    } else {
        const auto *document = static_cast<const Document *>(kept.item.data());
        entry.name = document->Name();
        entry.fullName = document->FullName();
        ok =
            tavlo::text::writeFileAtomically(path, tavlo::document::DocumentArchive::write(*document), error);
    }
    if (!ok || !m_store.describe(entry, error))
        return false;
    kept.written = true;
    kept.dirty = false;
    return true;
}

bool RecoveryKeeper::writeNow() {
    m_timer.stop();
    bool allWritten = true;
    for (Kept &kept : m_kept) {
        if (!kept.item)
            continue;
        if (!wanted(kept)) {
            if (isSaved(kept.item, kept.entry.kind))
                drop(kept);
            continue;
        }
        if (kept.written && !kept.dirty)
            continue;
        QString error;
        if (!write(kept, &error)) {
            allWritten = false;
            const QString text = QStringLiteral("未能保留“%1”的恢复副本：%2").arg(kept.entry.name, error);
            qWarning().noquote() << QStringLiteral("Tavlo: ") + text;
            if (m_report)
                m_report(text);
        }
    }
    m_sinceWrite.start();
    // While copies exist, look again now and then: a save that said nothing still removes its copy.
    if (std::any_of(m_kept.cbegin(), m_kept.cend(), [](const Kept &kept) { return kept.written; }))
        m_timer.start(std::max(m_intervalMs, int(kSettleMs)));
    return allWritten;
}

void RecoveryKeeper::keepAll() {
    m_keepOnClose = true;
    writeNow();
}

QString RecoveryKeeper::copyOf(const QObject *item) const {
    const auto it = m_kept.constFind(const_cast<QObject *>(item));
    return it != m_kept.cend() && it->written ? m_store.contentPath(it->entry) : QString();
}

void RecoveryKeeper::removeFound(const QString &id) {
    m_found.erase(
        std::remove_if(m_found.begin(), m_found.end(), [&id](const RecoveryEntry &e) { return e.id == id; }),
        m_found.end());
}

bool RecoveryKeeper::reopen(const QString &id, QString *error) {
    const auto it =
        std::find_if(m_found.cbegin(), m_found.cend(), [&id](const RecoveryEntry &e) { return e.id == id; });
    QString reason;
    if (it == m_found.cend()) {
        reason = QStringLiteral("没有这个恢复副本");
    } else if (it->kind == RecoveryEntry::Workbook) {
        SheetApplication *app = SheetApplication::create();
        app->setVisible(true);
        if (Workbook *book = app->Workbooks().OpenCopy(m_store.contentPath(*it), it->name, it->fullName)) {
            track(book, id);
            watch(app);
            // An instance opened for recovered work ends with its last workbook.
            connect(app, &SheetApplication::workbookClosed, app, [app] {
                if (app->Workbooks().Count() == 0)
                    app->Quit();
            });
            removeFound(id);
            return true;
        }
        reason = app->lastError();
        app->Quit();
    } else {
        QFile file(m_store.contentPath(*it));
        if (!file.open(QIODevice::ReadOnly)) {
            reason = file.errorString();
        } else if (file.size() > tavlo::document::DocumentArchive::kMaxBytes) {
            reason = QStringLiteral("文件过大");
        } else {
            const QByteArray bytes = file.read(tavlo::document::DocumentArchive::kMaxBytes + 1);
            DocumentApplication *app = DocumentApplication::create();
            app->setVisible(true);
            Document *document = app->Documents().Add();
            if (tavlo::document::DocumentArchive::read(bytes, document, &reason)) {
                track(document, id);
                watch(app);
                connect(app, &DocumentApplication::documentClosed, app, [app] {
                    if (app->Documents().Count() == 0)
                        app->Quit();
                });
                removeFound(id);
                return true;
            }
            app->Quit();
        }
    }
    if (error)
        *error = reason;
    return false;
}

void RecoveryKeeper::discard(const QString &id) {
    for (const RecoveryEntry &entry : std::as_const(m_found))
        if (entry.id == id)
            m_store.remove(entry);
    removeFound(id);
}
