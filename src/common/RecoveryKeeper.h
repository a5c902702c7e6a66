#pragma once

#include "RecoveryStore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace tavlo::sheet {
class Application;
class Workbook;
} // namespace tavlo::sheet

namespace tavlo::document {
class Application;
class Document;
} // namespace tavlo::document

// Keeps a recovery copy of every unsaved workbook and document the user has on screen (those of a
// visible spreadsheet or word-processor instance), as office programs do: written a moment after a
// change and then at most every `interval`, at once when the program is told to end, removed when the
// workbook or document is saved or closed without saving. Copies left by an earlier run are found,
// opened again or discarded. Workbooks are kept as .xlsx, documents in the word processor's own format.
class RecoveryKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultIntervalMs = 30000;
    // Quiet time after a change before its copy is written, so a burst of changes is written once.
    static constexpr int kSettleMs = 2000;

    // `folder` is created when a copy is first written.
    explicit RecoveryKeeper(const QString &folder, QObject *parent = nullptr);
    ~RecoveryKeeper() override;

    void setInterval(int ms) { m_intervalMs = ms; }
    // While this answers true (long work running), copies wait.
    void setBusyTest(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Where a copy that cannot be written is reported (the status line).
    void setReporter(std::function<void(const QString &)> report) { m_report = std::move(report); }

    // Follows every workbook (document) of the instance, those open now and those opened later.
    void watch(tavlo::sheet::Application *application);
    void watch(tavlo::document::Application *application);

    // Brings every copy up to date now: writes those changed since their copy, removes those of saved
    // ones. False when a copy could not be written.
    bool writeNow();
    // The program ends without asking anyone (SIGTERM, logout): copies are written now and stay when
    // their workbooks and documents close.
    void keepAll();

    // Copies left by earlier runs that are neither reopened nor discarded yet.
    QList<RecoveryEntry> found() const { return m_found; }
    // Opens a found copy again in a visible instance of its own, as the unsaved workbook or document it
    // was; from then on it is kept under the same copy. False with `error`.
    bool reopen(const QString &id, QString *error = nullptr);
    // Removes a found copy for good.
    void discard(const QString &id);

    // The copy kept for a workbook or document of this run; empty when it has none.
    QString copyOf(const QObject *item) const;
    RecoveryStore &store() { return m_store; }

private:
    struct Kept {
        QPointer<QObject> item;
        RecoveryEntry entry;
        bool written = false; // a copy exists on disk
        bool dirty = false;   // changed since the copy
    };

    void onWorkbookOpened(tavlo::sheet::Workbook *book) { track(book, {}); }
    void onDocumentOpened(tavlo::document::Document *document) { track(document, {}); }
    // An empty `id` starts a new copy; a found copy's id continues it.
    void track(tavlo::sheet::Workbook *book, const QString &id);
    void track(tavlo::document::Document *document, const QString &id);
    Kept &add(QObject *item, RecoveryEntry::Kind kind, const QString &id);
    void changed(QObject *item);
    void closed(QObject *item);
    void schedule();
    void onTimer();
    // Unsaved, alive and on screen.
    bool wanted(const Kept &kept) const;
    bool write(Kept &kept, QString *error);
    void drop(Kept &kept);
    void removeFound(const QString &id);

    RecoveryStore m_store;
    QHash<QObject *, Kept> m_kept;
    QList<RecoveryEntry> m_found;
    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
    int m_intervalMs = kDefaultIntervalMs;
    bool m_keepOnClose = false;
    std::function<bool()> m_busy;
    std::function<void(const QString &)> m_report;
};
