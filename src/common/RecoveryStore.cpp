#include "RecoveryStore.h"

#include "platform/text/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

constexpr qint64 kMaxDescriptionBytes = 64 * 1024;
const QString kDescriptionSuffix = QStringLiteral(".json");

QString extensionOf(RecoveryEntry::Kind kind) {
    return kind == RecoveryEntry::Workbook ? QStringLiteral(".xlsx") : QStringLiteral(".tdoc");
}

// Ids are made by newId(): digits, letters and "-" only, so a description cannot point elsewhere.
bool isPlainId(const QString &id) {
    return !id.isEmpty() && id.size() <= 64 && std::all_of(id.begin(), id.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || c == u'-';
    });
}

} // namespace

RecoveryStore::RecoveryStore(const QString &folder)
    : m_folder(folder) {}

QString RecoveryStore::newId() {
    return QStringLiteral("%1-%2-%3")
        .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(QCoreApplication::applicationPid())
        .arg(++m_counter);
}

QString RecoveryStore::contentPath(const RecoveryEntry &entry) const {
    return m_folder + u'/' + entry.id + extensionOf(entry.kind);
}

QString RecoveryStore::descriptionPath(const QString &id) const {
    return m_folder + u'/' + id + kDescriptionSuffix;
}

bool RecoveryStore::describe(const RecoveryEntry &entry, QString *error) {
    QJsonObject o;
    o.insert(QStringLiteral("kind"),
             entry.kind == RecoveryEntry::Workbook ? QStringLiteral("workbook") : QStringLiteral("document"));
    o.insert(QStringLiteral("name"), entry.name);
    o.insert(QStringLiteral("file"), entry.fullName);
    o.insert(QStringLiteral("kept"), entry.keptAt.toUTC().toString(Qt::ISODate));
    return tavlo::text::writeFileAtomically(descriptionPath(entry.id), QJsonDocument(o).toJson(), error);
}

QList<RecoveryEntry> RecoveryStore::entries() const {
    QList<RecoveryEntry> list;
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("*") + kDescriptionSuffix}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (info.size() > kMaxDescriptionBytes || !file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(file.read(kMaxDescriptionBytes)).object();
        RecoveryEntry entry;
        entry.id = info.completeBaseName();
        const QString kind = o.value(QStringLiteral("kind")).toString();
        if (!isPlainId(entry.id) || (kind != QLatin1String("workbook") && kind != QLatin1String("document")))
            continue;
        entry.kind = kind == QLatin1String("workbook") ? RecoveryEntry::Workbook : RecoveryEntry::Document;
        entry.name = o.value(QStringLiteral("name")).toString();
        entry.fullName = o.value(QStringLiteral("file")).toString();
        entry.keptAt = QDateTime::fromString(o.value(QStringLiteral("kept")).toString(), Qt::ISODate);
        if (QFileInfo(contentPath(entry)).isFile())
            list.append(entry);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const RecoveryEntry &a, const RecoveryEntry &b) { return a.keptAt < b.keptAt; });
    return list;
}

void RecoveryStore::remove(const RecoveryEntry &entry) {
    if (!isPlainId(entry.id))
        return;
    QFile::remove(descriptionPath(entry.id));
    QFile::remove(contentPath(entry));
}

void RecoveryStore::removeIncomplete() {
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("*") + extensionOf(RecoveryEntry::Workbook),
                                      QStringLiteral("*") + extensionOf(RecoveryEntry::Document)},
                                     QDir::Files);
    for (const QFileInfo &info : files)
        if (isPlainId(info.completeBaseName()) &&
            !QFileInfo::exists(descriptionPath(info.completeBaseName())))
            QFile::remove(info.filePath());
    // Temporary files of atomic writes that a crash cut short: the folder holds nothing of anyone else.
    const QFileInfoList leftovers =
        QDir(m_folder).entryInfoList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &info : leftovers)
        QFile::remove(info.filePath());
}
