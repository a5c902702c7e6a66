#include "CadDocument.h"

#include "CadApplication.h"
#include "DxfFile.h"
#include "TableCells.h"
#include "TextMetrics.h"
#include "platform/text/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <utility>

#include <cmath>

namespace tavlo::drawing {

namespace {

CadEntity::Kind kindOf(QByteArrayView type) {
    using K = CadEntity::Kind;
    if (type == "TEXT")
        return K::Text;
    if (type == "MTEXT")
        return K::MText;
    if (type == "ACAD_TABLE")
        return K::Table;
    if (type == "INSERT")
        return K::BlockReference;
    if (type == "ATTDEF")
        return K::AttributeDefinition;
    if (type == "ATTRIB")
        return K::Attribute;
    if (type == "LINE")
        return K::Line;
    if (type == "ARC")
        return K::Arc;
    if (type == "CIRCLE")
        return K::Circle;
    if (type == "LWPOLYLINE")
        return K::LwPolyline;
    if (type == "POLYLINE")
        return K::Polyline;
    if (type == "POINT")
        return K::Point;
    return K::Other;
}

QByteArray header(const DxfFile &file, const DxfChunk &chunk, QByteArrayView variable,
                  int *valueIndex = nullptr) {
    const int n = int(chunk.pairs.size());
    for (int i = 0; i + 1 < n; ++i)
        if (chunk.pairs[i].code == 9 && file.trimmedValue(chunk.pairs[i]) == variable) {
            if (valueIndex)
                *valueIndex = i + 1;
            return file.trimmedValue(chunk.pairs[i + 1]).toByteArray();
        }
    return {};
}

QByteArray firstValue(const DxfFile &file, const DxfChunk &chunk, int code) {
    const int at = DxfFile::find(chunk, code, 1);
    return at < 0 ? QByteArray() : file.value(chunk.pairs[at]).toByteArray();
}

bool isLayoutBlockName(const QString &name) {
    return name.startsWith(QLatin1String("*Model_Space"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("*Paper_Space"), Qt::CaseInsensitive);
}

} // namespace

bool CadBlock::isLayout() const {
    return isLayoutBlockName(m_name);
}

CadEntity *CadBlock::Item(int index) const {
    return index >= 0 && index < m_entities.size() ? m_entities[index] : nullptr;
}

// --- collections -------------------------------------------------------------------------------------

int CadBlocks::Count() const {
    return m_document->isAlive() ? int(m_document->blockList().size()) : 0;
}

CadBlock *CadBlocks::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_document->blockList()[index].get();
}

CadBlock *CadBlocks::Item(const QString &name) const {
    if (!m_document->isAlive())
        return nullptr;
    for (const auto &block : m_document->blockList())
        if (block->Name().compare(name, Qt::CaseInsensitive) == 0)
            return block.get();
    return nullptr;
}

int CadLayers::Count() const {
    return m_document->isAlive() ? int(m_document->layerList().size()) : 0;
}

CadLayer *CadLayers::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_document->layerList()[index].get();
}

CadLayer *CadLayers::Item(const QString &name) const {
    if (!m_document->isAlive())
        return nullptr;
    for (const auto &layer : m_document->layerList())
        if (layer->Name().compare(name, Qt::CaseInsensitive) == 0)
            return layer.get();
    return nullptr;
}

QString CadTextStyle::Name() const {
    if (!m_document->isAlive())
        return {};
    return m_document->decode(firstValue(m_document->file(), *m_chunk, 2));
}

QString CadTextStyle::FontFile() const {
    return m_document->isAlive() ? m_document->decode(firstValue(m_document->file(), *m_chunk, 3))
                                 : QString();
}

QString CadTextStyle::BigFontFile() const {
    return m_document->isAlive() ? m_document->decode(firstValue(m_document->file(), *m_chunk, 4))
                                 : QString();
}

static void setStyleString(CadDocument *document, DxfChunk *chunk, int code, const QString &value) {
    if (!document->isAlive())
        return;
    DxfFile &file = document->file();
    const int at = DxfFile::find(*chunk, code, 1);
    const QByteArray bytes = document->encode(value);
    if (at >= 0) {
        file.setValue(chunk, at, bytes);
    } else {
        // 3 and 4 follow the last prior size (42) or the flags.
        int after = -1;
        for (int c : {70, 40, 41, 50, 71, 42, 3})
            after = qMax(after, DxfFile::find(*chunk, c, 1));
        if (after < 0)
            return;
        file.insertPair(chunk, after + 1, code, bytes);
    }
    document->markModified(nullptr); // the windows show one font for every style
}

void CadTextStyle::setFontFile(const QString &file) {
    setStyleString(m_document, m_chunk, 3, file);
}
void CadTextStyle::setBigFontFile(const QString &file) {
    setStyleString(m_document, m_chunk, 4, file);
}

double CadTextStyle::widthFactor() const {
    return m_document->isAlive() ? firstValue(m_document->file(), *m_chunk, 41).trimmed().toDouble() : 1.0;
}

double CadTextStyle::fixedHeight() const {
    return m_document->isAlive() ? firstValue(m_document->file(), *m_chunk, 40).trimmed().toDouble() : 0.0;
}

int CadTextStyles::Count() const {
    return m_document->isAlive() ? int(m_document->styleList().size()) : 0;
}

CadTextStyle *CadTextStyles::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_document->styleList()[index].get();
}

CadTextStyle *CadTextStyles::Item(const QString &name) const {
    if (!m_document->isAlive())
        return nullptr;
    for (const auto &style : m_document->styleList())
        if (style->Name().compare(name, Qt::CaseInsensitive) == 0)
            return style.get();
    return nullptr;
}

CadTextStyle *CadTextStyles::Add(const QString &name) {
    if (!m_document->isAlive() || name.trimmed().isEmpty())
        return nullptr;
    if (CadTextStyle *existing = Item(name))
        return existing;
    return m_document->addTextStyle(name);
}

int CadSelectionSets::Count() const {
    return m_document->isAlive() ? int(m_document->selectionSetList().size()) : 0;
}

CadSelectionSet *CadSelectionSets::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_document->selectionSetList()[index].get();
}

CadSelectionSet *CadSelectionSets::Item(const QString &name) const {
    if (!m_document->isAlive())
        return nullptr;
    for (const auto &set : m_document->selectionSetList())
        if (set->Name().compare(name, Qt::CaseInsensitive) == 0)
            return set.get();
    return nullptr;
}

CadSelectionSet *CadSelectionSets::Add(const QString &name) {
    if (!m_document->isAlive() || name.isEmpty() || Item(name))
        return nullptr;
    m_document->selectionSetList().push_back(std::make_unique<CadSelectionSet>(m_document, name));
    return m_document->selectionSetList().back().get();
}

// --- document ----------------------------------------------------------------------------------------

CadDocument::CadDocument() = default;
CadDocument::~CadDocument() = default;

std::unique_ptr<CadDocument> CadDocument::load(const QString &path, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("无法读取图形文件 %1：%2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return nullptr;
    }
    if (file.size() >= qint64(0xFFFFFFF0u)) {
        if (error)
            *error = QStringLiteral("图形文件太大 (over 4 GB)：%1").arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    // One exact allocation (readAll may grow its buffer well past the file's size).
    QByteArray bytes(file.size(), Qt::Uninitialized);
    if (file.read(bytes.data(), bytes.size()) != bytes.size() || !file.atEnd()) {
        if (error)
            *error = QStringLiteral("无法完整读取图形文件 %1").arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    return fromBytes(bytes, path, error);
}

std::unique_ptr<CadDocument> CadDocument::fromBytes(const QByteArray &bytes, const QString &path,
                                                    QString *error) {
    QString why;
    std::unique_ptr<DxfFile> dxf = DxfFile::parse(bytes, &why);
    if (!dxf) {
        if (error)
            *error = why;
        return nullptr;
    }
    std::unique_ptr<CadDocument> document(new CadDocument);
    document->m_file = std::move(dxf);
    document->setPath(path);
    if (!document->build(&why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return document;
}

void CadDocument::setPath(const QString &path) {
    m_fullName = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString CadDocument::Name() const {
    return QFileInfo(m_fullName).fileName();
}
QString CadDocument::FullName() const {
    return m_fullName;
}

bool CadDocument::isR12() const {
    const int number = m_acadVersion.mid(2).toInt();
    return number > 0 && number <= 1009;
}

bool CadDocument::build(QString *error) {
    const DxfFile &file = *m_file;
    const auto &chunks = file.chunks();

    // The header first: it names the version and the code page every string needs.
    QByteArray version, codePage;
    for (DxfChunk *chunk : chunks) {
        if (chunk->pairs.size() < 2 || file.trimmedValue(chunk->pairs[0]) != "SECTION")
            continue;
        if (file.trimmedValue(chunk->pairs[1]) != "HEADER")
            break;
        version = header(file, *chunk, "$ACADVER");
        codePage = header(file, *chunk, "$DWGCODEPAGE");
        int seedIndex = -1;
        header(file, *chunk, "$HANDSEED", &seedIndex);
        if (seedIndex >= 0)
            m_handSeed = chunk;
        break;
    }
    m_acadVersion = version.isEmpty() ? QStringLiteral("AC1009") : QString::fromLatin1(version);
    const int release = m_acadVersion.mid(2).toInt();
    if (release > 1032) {
        if (error)
            *error = QStringLiteral("图形版本 %1 比 R2018 (AC1032) 新，无法可靠读写。").arg(m_acadVersion);
        return false;
    }
    const bool utf8 = release < 1021 && looksLikeUtf8(file.original());
    m_codec = DxfTextCodec::forFile(version, codePage, utf8);

    enum class Section { None, Tables, Blocks, Entities, Other } section = Section::None;
    QByteArray tableName;
    CadBlock *block = nullptr;
    CadEntity *container = nullptr; // an INSERT with attributes or a POLYLINE with vertices
    for (DxfChunk *chunk : chunks) {
        if (chunk->pairs.empty() || chunk->pairs[0].code != 0)
            continue;
        const QByteArrayView type = file.trimmedValue(chunk->pairs[0]);
        if (type == "SECTION") {
            const QByteArray name = firstValue(file, *chunk, 2).trimmed();
            section = name == "TABLES"     ? Section::Tables
                      : name == "BLOCKS"   ? Section::Blocks
                      : name == "ENTITIES" ? Section::Entities
                                           : Section::Other;
            continue;
        }
        if (type == "ENDSEC") {
            section = Section::None;
            container = nullptr;
            continue;
        }
        if (section == Section::Tables) {
            if (type == "TABLE") {
                tableName = firstValue(file, *chunk, 2).trimmed();
                if (tableName == "STYLE")
                    m_styleTable = chunk;
            } else if (type == "ENDTAB") {
                tableName.clear();
            } else if (type == "LAYER" && tableName == "LAYER") {
                auto layer = std::make_unique<CadLayer>();
                layer->m_name = decode(firstValue(file, *chunk, 2));
                bool ok = false;
                const int color = firstValue(file, *chunk, 62).trimmed().toInt(&ok);
                layer->m_color = ok ? color : 7;
                layer->m_flags = firstValue(file, *chunk, 70).trimmed().toInt();
                m_layers.push_back(std::move(layer));
            } else if (type == "STYLE" && tableName == "STYLE") {
                // Shape-file entries (flag 1) are not text styles.
                if (!(firstValue(file, *chunk, 70).trimmed().toInt() & 1))
                    m_styles.push_back(std::unique_ptr<CadTextStyle>(new CadTextStyle(this, chunk)));
            }
            continue;
        }
        if (section != Section::Blocks && section != Section::Entities)
            continue;
        if (type == "BLOCK") {
            auto fresh = std::make_unique<CadBlock>();
            fresh->m_name = decode(firstValue(file, *chunk, 2));
            fresh->m_origin = {firstValue(file, *chunk, 10).trimmed().toDouble(),
                               firstValue(file, *chunk, 20).trimmed().toDouble(),
                               firstValue(file, *chunk, 30).trimmed().toDouble()};
            block = fresh.get();
            m_blocks.push_back(std::move(fresh));
            container = nullptr;
            continue;
        }
        if (type == "ENDBLK") {
            block = nullptr;
            container = nullptr;
            continue;
        }
        if (type == "SEQEND") {
            container = nullptr;
            continue;
        }
        const CadEntity::Kind kind = kindOf(type);
        if (container && container->kind() == CadEntity::Kind::Polyline && type == "VERTEX") {
            container->addVertex(chunk);
            continue;
        }
        m_allEntities.emplace_back(this, chunk, kind);
        CadEntity *raw = &m_allEntities.back();
        if (kind == CadEntity::Kind::Attribute) {
            if (container && container->kind() == CadEntity::Kind::BlockReference) {
                raw->m_owner = container;
                container->addAttribute(raw);
            }
            continue;
        }
        container = nullptr;
        if (kind == CadEntity::Kind::BlockReference || kind == CadEntity::Kind::Polyline) {
            const int follow = DxfFile::find(*chunk, 66, 1);
            if (kind == CadEntity::Kind::Polyline ||
                (follow >= 0 && file.trimmedValue(chunk->pairs[follow]).toByteArray().toInt() == 1))
                container = raw;
        }
        if (section == Section::Entities)
            m_entities.append(raw);
        else if (block)
            block->m_entities.append(raw);
    }
    // Paper-space layouts other than the active one live in *Paper_SpaceN blocks: they are part of the
    // drawing's spaces, so "all" reaches them too.
    for (const auto &b : m_blocks)
        if (b->Name().startsWith(QLatin1String("*Paper_Space"), Qt::CaseInsensitive))
            m_entities.append(b->m_entities);
    return true;
}

QList<CadEntity *> CadDocument::modelSpace() const {
    QList<CadEntity *> out;
    if (m_closed)
        return out;
    for (CadEntity *e : m_entities)
        if (!e->inPaperSpace() && !e->chunk()->pairs.empty())
            out.append(e);
    // Entities of *Paper_Space blocks are at the end and carry 67 = 1 in every file that has them.
    return out;
}

CadEntity *CadDocument::entityByHandle(const QString &handle) const {
    if (m_closed)
        return nullptr;
    if (m_byHandle.isEmpty())
        for (const CadEntity &e : m_allEntities)
            m_byHandle.insert(e.Handle(), const_cast<CadEntity *>(&e));
    return m_byHandle.value(handle.toUpper());
}

bool CadDocument::isLinkedColumn(const CadEntity *entity) const {
    if (m_closed)
        return false;
    if (!m_linkedColumns) {
        m_linkedColumns.emplace();
        for (const CadEntity &e : m_allEntities)
            if (e.kind() == CadEntity::Kind::MText)
                for (const CadEntity *column : e.linkedColumns())
                    m_linkedColumns->insert(column);
    }
    return m_linkedColumns->contains(entity);
}

QString CadDocument::headerValue(const QString &variable, int code) const {
    if (m_closed)
        return {};
    const DxfFile &file = *m_file;
    for (DxfChunk *chunk : file.chunks()) {
        if (chunk->pairs.size() < 2 || file.trimmedValue(chunk->pairs[0]) != "SECTION")
            continue;
        if (file.trimmedValue(chunk->pairs[1]) != "HEADER")
            return {};
        const QByteArray name = variable.toLatin1();
        const int n = int(chunk->pairs.size());
        for (int i = 0; i < n; ++i) {
            if (chunk->pairs[i].code != 9 || file.trimmedValue(chunk->pairs[i]) != name)
                continue;
            for (int j = i + 1; j < n && chunk->pairs[j].code != 9; ++j)
                if (chunk->pairs[j].code == code)
                    return decode(file.trimmedValue(chunk->pairs[j]));
            return {};
        }
        return {};
    }
    return {};
}

void CadDocument::Activate() {
    if (!m_closed && m_application)
        m_application->activate(this);
}

void CadDocument::Regen(int which) {
    Q_UNUSED(which);
    if (!m_closed)
        notifyChanged(true);
}

void CadDocument::markModified() {
    m_pendingChanges.everything = true;
    markModified(nullptr);
}

void CadDocument::markModified(CadEntity *entity) {
    if (entity && !m_pendingChanges.everything) {
        m_pendingChanges.entities.insert(entity);
        m_pendingChanges.stringsOnly.remove(entity);
    }
    noteModified();
}

void CadDocument::markStringModified(CadEntity *entity) {
    // An entity changed otherwise since the last notification stays a whole change.
    if (entity && !m_pendingChanges.everything && !m_pendingChanges.entities.contains(entity)) {
        m_pendingChanges.entities.insert(entity);
        m_pendingChanges.stringsOnly.insert(entity);
    }
    noteModified();
}

void CadDocument::noteModified() {
    const bool wasSaved = !m_modified;
    m_modified = true;
    if (wasSaved)
        emit savedChanged(false);
    notifyChanged();
}

void CadDocument::notifyChanged(bool now) {
    constexpr int interval = 250;
    if (m_holds > 0) {
        m_heldChange = true;
        return;
    }
    if (!m_changeTimer) {
        m_changeTimer = new QTimer(this);
        m_changeTimer->setSingleShot(true);
        connect(m_changeTimer, &QTimer::timeout, this, [this] {
            if (!m_closed)
                emitChanged();
            m_lastChange.start();
        });
    }
    if (now || !m_lastChange.isValid() || m_lastChange.elapsed() >= interval) {
        m_changeTimer->stop();
        emitChanged();
        // Measured from the end: a window whose repaint outlasts the interval still repaints at most
        // once per interval of editing, not once per edit.
        m_lastChange.start();
        return;
    }
    if (!m_changeTimer->isActive())
        m_changeTimer->start(interval - int(m_lastChange.elapsed()));
}

void CadDocument::emitChanged() {
    m_shownChanges = std::exchange(m_pendingChanges, ViewChanges());
    if (m_shownChanges.everything) {
        m_shownChanges.entities.clear();
        m_shownChanges.stringsOnly.clear();
    }
    emit changed();
    m_shownChanges = ViewChanges();
}

CadDocument::ChangeHold::ChangeHold(CadDocument *document)
    : m_document(document) {
    if (m_document)
        ++m_document->m_holds;
}

CadDocument::ChangeHold::~ChangeHold() {
    if (!m_document || --m_document->m_holds > 0 || !m_document->m_heldChange)
        return;
    m_document->m_heldChange = false;
    if (!m_document->m_closed)
        m_document->notifyChanged(true);
}

QByteArray CadDocument::toBytes() const {
    return m_file ? m_file->serialize() : QByteArray();
}

QString CadDocument::backupPath() const {
    if (m_fullName.isEmpty())
        return {};
    const QFileInfo info(m_fullName);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".bak.") +
                               (info.suffix().isEmpty() ? QStringLiteral("dxf") : info.suffix()));
}

bool CadDocument::backupExists() const {
    return !m_backupDone && QFileInfo::exists(backupPath());
}

bool CadDocument::writeTo(const QString &path) {
    const QByteArray bytes = toBytes();
    QString why;
    if (!tavlo::text::writeFileAtomically(path, bytes, &why)) {
        m_lastError = QStringLiteral("无法保存图形 %1：%2").arg(QDir::toNativeSeparators(path), why);
        return false;
    }
    return true;
}

bool CadDocument::isReadOnly() const {
    if (m_fullName.isEmpty())
        return false;
    const QFileInfo info(m_fullName);
    return info.exists() && !info.isWritable();
}

namespace {

QByteArray fileBytes(const QString &path, bool *ok) {
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

QString readOnlyMessage(const QString &path) {
    return QStringLiteral("图纸 %1 是只读文件，未保存（也未写备份）。请用“另存为”保存到其他文件。")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace

bool CadDocument::Save(bool replaceBackup) {
    if (m_closed || m_fullName.isEmpty()) {
        m_lastError = QStringLiteral("图形已关闭，无法保存。");
        return false;
    }
    if (isReadOnly()) {
        m_lastError = readOnlyMessage(m_fullName);
        return false;
    }
    bool backupMadeNow = false;
    if (!m_backupDone) {
        const QString backup = backupPath();
        // The backup holds the file as it is on disk now (the drawing as opened, unless someone else
        // changed it since); when it is gone, the bytes it was opened from.
        bool onDisk = false;
        QByteArray before = fileBytes(m_fullName, &onDisk);
        if (!onDisk)
            before = toBytesAsOpened();
        bool backupRead = false;
        const bool sameBackup =
            QFileInfo::exists(backup) && fileBytes(backup, &backupRead) == before && backupRead;
        if (QFileInfo::exists(backup) && !replaceBackup && !sameBackup) {
            m_lastError = QStringLiteral("备份文件 %1 已存在。").arg(QDir::toNativeSeparators(backup));
            return false;
        }
        if (!sameBackup) {
            QString why;
            if (!tavlo::text::writeFileAtomically(backup, before, &why)) {
                m_lastError =
                    QStringLiteral("无法写入备份 %1：%2").arg(QDir::toNativeSeparators(backup), why);
                return false;
            }
            backupMadeNow = true;
        }
        m_backupDone = true;
    }
    if (!writeTo(m_fullName)) {
        // The file is as it was: a backup made for this save alone would only stand in the way of the
        // next one.
        if (backupMadeNow) {
            QFile::remove(backupPath());
            m_backupDone = false;
        }
        return false;
    }
    if (m_modified) {
        m_modified = false;
        emit savedChanged(true);
    }
    return true;
}

bool CadDocument::SaveAs(const QString &path) {
    if (m_closed || path.isEmpty()) {
        m_lastError = QStringLiteral("图形已关闭，无法保存。");
        return false;
    }
    const QFileInfo target(path);
    if (target.exists() && !target.isWritable()) {
        m_lastError = QStringLiteral("文件 %1 是只读文件，未保存。").arg(QDir::toNativeSeparators(path));
        return false;
    }
    if (!writeTo(path))
        return false;
    setPath(path);
    m_backupDone = true; // a file written by us needs no backup of itself
    if (m_modified) {
        m_modified = false;
        emit savedChanged(true);
    }
    return true;
}

QByteArray CadDocument::toBytesAsOpened() const {
    return m_file ? m_file->original() : QByteArray();
}

void CadDocument::retireSelectionSet(CadSelectionSet *set) {
    for (auto it = m_selectionSets.begin(); it != m_selectionSets.end(); ++it)
        if (it->get() == set) {
            set->m_deleted = true;
            m_retiredSets.push_back(std::move(*it));
            m_selectionSets.erase(it);
            return;
        }
}

void CadDocument::Close() {
    if (m_closed)
        return;
    m_closed = true;
    while (!m_selectionSets.empty())
        retireSelectionSet(m_selectionSets.back().get());
    emit closed();
    if (m_application)
        m_application->forget(this);
}

QList<CadEntity *> CadDocument::pickOnScreen(const SelectionFilter &filter, bool *accepted) {
    *accepted = false;
    if (m_closed || !m_application || !m_application->screenPicker())
        return {};
    return m_application->screenPicker()(this, filter, accepted);
}

QString CadDocument::allocateHandle() {
    DxfFile &file = *m_file;
    // Above every handle in use, whatever $HANDSEED claims.
    quint64 highest = 0;
    for (const DxfChunk *chunk : file.chunks()) {
        if (chunk == m_handSeed)
            continue; // the header's own 5 is $HANDSEED
        for (const DxfPair &pair : chunk->pairs) {
            if (pair.code != 5 && pair.code != 105)
                continue;
            bool ok = false;
            const quint64 h = file.trimmedValue(pair).toByteArray().toULongLong(&ok, 16);
            if (ok)
                highest = qMax(highest, h);
            break; // one handle per chunk
        }
    }
    quint64 seed = 0;
    int seedIndex = -1;
    if (m_handSeed) {
        bool ok = false;
        seed = header(file, *m_handSeed, "$HANDSEED", &seedIndex).toULongLong(&ok, 16);
        if (!ok)
            seed = 0;
    }
    const quint64 handle = qMax(seed, highest + 1);
    if (m_handSeed && seedIndex >= 0) {
        const QByteArray old = file.trimmedValue(m_handSeed->pairs[seedIndex]).toByteArray();
        QByteArray next = QByteArray::number(handle + 1, 16).toUpper();
        if (next.size() < old.size())
            next = next.rightJustified(old.size(), '0');
        file.setValue(m_handSeed, seedIndex, next);
    }
    return QString::number(handle, 16).toUpper();
}

CadTextStyle *CadDocument::addTextStyle(const QString &name) {
    if (m_closed || !m_styleTable)
        return nullptr;
    DxfFile &file = *m_file;
    const auto &order = file.chunks();
    // The new record goes after the last record of the STYLE table.
    auto it = std::find(order.begin(), order.end(), m_styleTable);
    if (it == order.end())
        return nullptr;
    const DxfChunk *last = m_styleTable;
    for (++it; it != order.end(); ++it) {
        if ((*it)->pairs.empty() || file.trimmedValue((*it)->pairs[0]) != "STYLE")
            break;
        last = *it;
    }
    const bool handles = DxfFile::find(*m_styleTable, 5, 1) >= 0;
    const QByteArray tableHandle = firstValue(file, *m_styleTable, 5).trimmed();
    std::vector<std::pair<int, QByteArray>> pairs;
    pairs.push_back({0, "STYLE"});
    if (handles) {
        pairs.push_back({5, allocateHandle().toLatin1()});
        if (!isR12()) {
            pairs.push_back({330, tableHandle});
            pairs.push_back({100, "AcDbSymbolTableRecord"});
            pairs.push_back({100, "AcDbTextStyleTableRecord"});
        }
    }
    pairs.push_back({2, encode(name)});
    pairs.push_back({70, "0"});
    pairs.push_back({40, "0.0"});
    pairs.push_back({41, "1.0"});
    pairs.push_back({50, "0.0"});
    pairs.push_back({71, "0"});
    pairs.push_back({42, "2.5"});
    pairs.push_back({3, "txt"});
    pairs.push_back({4, ""});
    // Integer values imitate the file's own padding of small numbers ("     0").
    const int flags = DxfFile::find(*last, 70, 1);
    if (flags >= 0) {
        const QByteArrayView raw = file.value(last->pairs[flags]);
        if (raw.size() > 1 && raw.startsWith(' '))
            for (auto &[code, value] : pairs)
                if (code == 70 || code == 71)
                    value = value.rightJustified(raw.size(), ' ');
    }
    DxfChunk *chunk = file.insertChunkAfter(last, pairs);
    if (!chunk)
        return nullptr;
    // The table's record count.
    const int count = DxfFile::find(*m_styleTable, 70, 1);
    if (count >= 0) {
        const QByteArrayView raw = file.value(m_styleTable->pairs[count]);
        const int value = raw.toByteArray().trimmed().toInt() + 1;
        QByteArray text = QByteArray::number(value);
        if (text.size() < raw.size())
            text = text.rightJustified(raw.size(), ' ');
        file.setValue(m_styleTable, count, text);
    }
    m_styles.push_back(std::unique_ptr<CadTextStyle>(new CadTextStyle(this, chunk)));
    markModified(nullptr); // a new style shows nowhere yet
    return m_styles.back().get();
}

// --- table editing (it needs the document's blocks and objects) -------------------------------------

namespace {

// The MTEXT of the table's anonymous block that shows the cell: the one whose insertion point lies in
// the cell's rectangle (block coordinates start at the table's top-left corner, y grows downwards).
CadEntity *cellMText(const CadDocument &document, const CadEntity &table, const TableCells &cells, int row,
                     int column) {
    CadBlock *block = document.Blocks().Item(table.Name());
    const TableCell *cell = cells.cell(row, column);
    if (!block || !cell || cells.columnWidths.size() < cells.columns || cells.rowHeights.size() < cells.rows)
        return nullptr;
    double x0 = 0, y0 = 0;
    for (int c = 0; c < column; ++c)
        x0 += cells.columnWidths[c];
    for (int r = 0; r < row; ++r)
        y0 += cells.rowHeights[r];
    double x1 = x0, y1 = y0;
    for (int c = column; c < qMin(cells.columns, column + cell->columnSpan); ++c)
        x1 += cells.columnWidths[c];
    for (int r = row; r < qMin(cells.rows, row + cell->rowSpan); ++r)
        y1 += cells.rowHeights[r];
    const double eps = 1e-6;
    for (CadEntity *e : block->entities()) {
        if (e->kind() != CadEntity::Kind::MText)
            continue;
        const CadPoint p = e->InsertionPoint();
        if (p.x >= x0 - eps && p.x <= x1 + eps && -p.y >= y0 - eps && -p.y <= y1 + eps)
            return e;
    }
    return nullptr;
}

// The format string (group 300) of a value block; empty when it has none.
QByteArray valueFormat(const DxfFile &file, const DxfChunk &chunk, int from, int to) {
    for (int i = from; i < to && i < int(chunk.pairs.size()); ++i)
        if (chunk.pairs[i].code == 300)
            return file.trimmedValue(chunk.pairs[i]).toByteArray();
    return {};
}

// The text a cell shows under its format's letter case: %tc1 upper case, %tc2 lower case, %tc3 a
// capital first letter, %tc4 a capital first letter in each word. Format codes keep their letters.
QString shownCellText(const QString &text, QByteArrayView format) {
    const QByteArray f = format.toByteArray().toLower();
    const int mode = f.contains("%tc1")   ? 1
                     : f.contains("%tc2") ? 2
                     : f.contains("%tc3") ? 3
                     : f.contains("%tc4") ? 4
                                          : 0;
    if (mode == 0)
        return text;
    QString shown;
    shown.reserve(text.size());
    bool wordStart = true;
    bool first = true;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = mtextToken(text, i);
        QString token = text.mid(i, length);
        i += length;
        if (length != 1 || !token[0].isLetter()) {
            if (length == 1 && token[0].isSpace())
                wordStart = true;
            shown += token;
            continue;
        }
        if (mode == 1 || ((mode == 3 && first) || (mode == 4 && wordStart)))
            token = token.toUpper();
        else if (mode == 2 || mode == 3 || mode == 4)
            token = token.toLower();
        first = wordStart = false;
        shown += token;
    }
    return shown;
}

// Replaces the string of a value block (group 1 and its 2/3 continuations, and 302) with `bytes`; the
// formatted string 302 gets `shown`, the text as the cell's format shows it.
void setValueBlock(DxfFile &file, DxfChunk *chunk, int from, int to, const QByteArray &bytes,
                   const QByteArray &shown) {
    int one = -1;
    for (int i = from; i < to; ++i)
        if (chunk->pairs[i].code == 1) {
            one = i;
            break;
        }
    int formatted = -1;
    for (int i = from; i < to; ++i)
        if (chunk->pairs[i].code == 302) {
            formatted = i;
            break;
        }
    if (formatted >= 0)
        file.setValue(chunk, formatted, shown);
    if (one >= 0) {
        // Continuation chunks before the 1 would repeat old text: remove them.
        for (int i = one - 1; i >= from; --i)
            if (chunk->pairs[i].code == 2 || chunk->pairs[i].code == 3) {
                file.removePairs(chunk, i, 1);
                --one;
            }
        file.setValue(chunk, one, bytes);
        return;
    }
    // An empty cell: make its value a string (type 4) in the form the CAD program writes.
    int type = -1;
    for (int i = from; i < to; ++i)
        if (chunk->pairs[i].code == 90) {
            type = i;
            break;
        }
    if (type < 0)
        return;
    file.setValue(chunk, type,
                  QByteArrayView(file.value(chunk->pairs[type])).startsWith(' ') ? QByteArray("        4")
                                                                                 : QByteArray("4"));
    for (int i = from; i < type; ++i)
        if (chunk->pairs[i].code == 93)
            file.setValue(chunk, i,
                          file.value(chunk->pairs[i]).startsWith(' ') ? QByteArray("        2")
                                                                      : QByteArray("2"));
    if (type + 1 < int(chunk->pairs.size()) && chunk->pairs[type + 1].code == 91)
        file.removePairs(chunk, type + 1, 1);
    file.insertPair(chunk, type + 1, 1, bytes);
}

DxfChunk *tableContent(const CadDocument &document, const DxfChunk &table) {
    // Followed from the table: its extension dictionary, the round-trip record, the content object.
    const DxfFile &file = document.file();
    QHash<QByteArray, DxfChunk *> byHandle;
    for (DxfChunk *chunk : file.chunks()) {
        const int at = DxfFile::find(*chunk, 5, 1, 3);
        if (at >= 0)
            byHandle.insert(file.trimmedValue(chunk->pairs[at]).toByteArray().toUpper(), chunk);
    }
    QList<const DxfChunk *> frontier{&table};
    QSet<const DxfChunk *> seen{&table};
    for (int depth = 0; depth < 4 && !frontier.isEmpty(); ++depth) {
        QList<const DxfChunk *> next;
        for (const DxfChunk *chunk : frontier)
            for (const DxfPair &pair : chunk->pairs) {
                if (pair.code != 360 && pair.code != 350)
                    continue;
                DxfChunk *target = byHandle.value(file.trimmedValue(pair).toByteArray().toUpper());
                if (!target || seen.contains(target))
                    continue;
                seen.insert(target);
                if (file.trimmedValue(target->pairs[0]) == "TABLECONTENT")
                    return target;
                next.append(target);
            }
        frontier = next;
    }
    return nullptr;
}

// The value block of cell `index` (row by row) of a TABLECONTENT object; false when the cell has no
// content there.
bool contentValue(const DxfFile &file, const DxfChunk &content, int index, int *from, int *to) {
    int seen = -1;
    const int n = int(content.pairs.size());
    for (int i = 0; i < n; ++i) {
        const DxfPair &p = content.pairs[i];
        if (p.code != 300 || file.trimmedValue(p) != "CELL")
            continue;
        if (++seen != index)
            continue;
        for (int j = i + 1; j < n; ++j) {
            const DxfPair &q = content.pairs[j];
            if (q.code == 300 && file.trimmedValue(q) == "CELL")
                return false;
            if (q.code == 301 && file.trimmedValue(q) == "ROW")
                return false;
            if (q.code == 300 && file.trimmedValue(q) == "VALUE") {
                for (int k = j + 1; k < n; ++k)
                    if (content.pairs[k].code == 304) {
                        *from = j;
                        *to = k;
                        return true;
                    }
                return false;
            }
        }
        return false;
    }
    return false;
}

} // namespace

bool CadEntity::SetText(int row, int column, const QString &text) {
    if (m_kind != Kind::Table || !isAlive())
        return false;
    const TableCells cells = TableCells::read(m_document->file(), *m_chunk);
    int from, to;
    cells.textRange(row, column, &from, &to);
    if (from < 0)
        return false;
    // Writing a cell its own text changes nothing (an empty cell stays an empty cell, not an empty string).
    if (GetText(row, column) == text)
        return true;
    DxfFile &file = m_document->file();
    const QByteArray bytes = m_document->encode(text);
    // A letter-case format shows the text changed: the formatted string and the block's MTEXT show
    // the same text, as the CAD program draws it.
    const QString shownText = shownCellText(text, valueFormat(file, *m_chunk, from, to));
    const QByteArray shownBytes = shownText == text ? bytes : m_document->encode(shownText);
    // The anonymous block's MTEXT, found by position before anything moves.
    CadEntity *shown = cellMText(*m_document, *this, cells, row, column);
    setValueBlock(file, m_chunk, from, to, bytes, shownBytes);
    forgetTableLayout();
    if (shown)
        shown->setTextString(shownText);
    if (DxfChunk *content = tableContent(*m_document, *m_chunk)) {
        int cf, ct;
        if (contentValue(file, *content, row * cells.columns + column, &cf, &ct)) {
            // The block opens with its own 300 marker ("VALUE"); the format string follows it.
            const QString contentShown = shownCellText(text, valueFormat(file, *content, cf + 1, ct));
            setValueBlock(file, content, cf, ct, bytes,
                          contentShown == text ? bytes : m_document->encode(contentShown));
        }
    }
    m_document->markModified();
    return true;
}

void CadEntity::SetCellTextStyle(int row, int column, const QString &style) {
    if (m_kind != Kind::Table || !isAlive() || style.isEmpty())
        return;
    const TableCells cells = TableCells::read(m_document->file(), *m_chunk);
    const TableCell *cell = cells.cell(row, column);
    if (!cell)
        return;
    DxfFile &file = m_document->file();
    const QByteArray bytes = m_document->encode(style);
    CadEntity *shown = cellMText(*m_document, *this, cells, row, column);
    int at = -1;
    for (int i = cell->begin; i < cell->end; ++i) {
        if (i >= cell->valueBegin && i < cell->valueEnd)
            continue;
        if (m_chunk->pairs[i].code == 7) {
            at = i;
            break;
        }
    }
    if (at >= 0) {
        file.setValue(m_chunk, at, bytes);
    } else {
        // Before the value block (or at the end of the cell): cell overrides precede the value.
        const int before = cell->valueBegin >= 0 ? cell->valueBegin : cell->end;
        file.insertPair(m_chunk, before, 7, bytes);
    }
    forgetTableLayout();
    if (shown)
        shown->setStyleName(style);
    m_document->markModified();
}

} // namespace tavlo::drawing
