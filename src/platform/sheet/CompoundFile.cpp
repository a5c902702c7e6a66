#include "CompoundFile.h"

#include <QtEndian>

#include <vector>

namespace tavlo::sheet::cfb {

namespace {

constexpr int kSectorSize = 512;
constexpr int kEntriesPerFatSector = kSectorSize / 4;
constexpr int kHeaderDifatEntries = 109;
constexpr int kMiniStreamCutoff = 4096;
constexpr int kDirEntrySize = 128;
const QByteArray kSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

void put16(QByteArray &b, qsizetype at, quint16 v) {
    qToLittleEndian(v, b.data() + at);
}
void put32(QByteArray &b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}

// One 128-byte directory entry.
QByteArray dirEntry(const QString &name, quint8 type, quint32 child, quint32 start, quint32 size) {
    QByteArray e(kDirEntrySize, '\0');
    const QString shortName = name.left(31);
    for (qsizetype i = 0; i < shortName.size(); ++i)
        put16(e, i * 2, shortName[i].unicode());
    put16(e, 64, quint16(name.isEmpty() ? 0 : (shortName.size() + 1) * 2));
    e[66] = char(type);
    e[67] = char(type == 0 ? 0 : 1); // black node
    put32(e, 68, kFreeSector);       // left sibling
    put32(e, 72, kFreeSector);       // right sibling
    put32(e, 76, child);
    put32(e, 116, start);
    put32(e, 120, size);
    return e;
}

} // namespace

QByteArray build(const QString &streamName, const QByteArray &stream) {
    QByteArray data = stream;
    if (data.size() < kMiniStreamCutoff)
        data.append(QByteArray(kMiniStreamCutoff - data.size(), '\0'));
    const qint64 dataSectors = (data.size() + kSectorSize - 1) / kSectorSize;
    const qint64 dirSectors = 1;
    qint64 fatSectors = 1;
    qint64 difatSectors = 0;
    for (;;) {
        const qint64 total = dataSectors + dirSectors + fatSectors + difatSectors;
        const qint64 needFat = (total + kEntriesPerFatSector - 1) / kEntriesPerFatSector;
        const qint64 needDifat =
            needFat > kHeaderDifatEntries ? (needFat - kHeaderDifatEntries + 126) / 127 : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const quint32 dirStart = quint32(dataSectors);
    const quint32 fatStart = dirStart + quint32(dirSectors);
    const quint32 difatStart = fatStart + quint32(fatSectors);

    std::vector<quint32> fat(size_t(fatSectors * kEntriesPerFatSector), kFreeSector);
    for (qint64 i = 0; i < dataSectors; ++i)
        fat[size_t(i)] = i + 1 < dataSectors ? quint32(i + 1) : kEndOfChain;
    fat[dirStart] = kEndOfChain;
    for (qint64 i = 0; i < fatSectors; ++i)
        fat[size_t(fatStart + i)] = kFatSector;
    for (qint64 i = 0; i < difatSectors; ++i)
        fat[size_t(difatStart + i)] = kDifatSector;

    QByteArray header(kSectorSize, '\0');
    header.replace(0, 8, kSignature);
    put16(header, 24, 0x003E); // minor version
    put16(header, 26, 0x0003); // major version 3
    put16(header, 28, 0xFFFE); // little-endian
    put16(header, 30, 9);      // 512-byte sectors
    put16(header, 32, 6);      // 64-byte mini sectors
    put32(header, 44, quint32(fatSectors));
    put32(header, 48, dirStart);
    put32(header, 56, kMiniStreamCutoff);
    put32(header, 60, kEndOfChain); // no mini FAT
    put32(header, 64, 0);
    put32(header, 68, difatSectors > 0 ? difatStart : kEndOfChain);
    put32(header, 72, quint32(difatSectors));
    for (int i = 0; i < kHeaderDifatEntries; ++i)
        put32(header, 76 + i * 4, i < fatSectors ? fatStart + quint32(i) : kFreeSector);

    QByteArray out;
    out.reserve(kSectorSize * (1 + dataSectors + dirSectors + fatSectors + difatSectors));
    out += header;
    out += data;
    out.append(QByteArray(dataSectors * kSectorSize - data.size(), '\0'));

    QByteArray dir;
    dir += dirEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    dir += dirEntry(streamName, 2, kFreeSector, 0, quint32(data.size()));
    dir += dirEntry({}, 0, kFreeSector, 0, 0);
    dir += dirEntry({}, 0, kFreeSector, 0, 0);
    out += dir;

    QByteArray fatBytes(qsizetype(fat.size()) * 4, '\0');
    for (size_t i = 0; i < fat.size(); ++i)
        put32(fatBytes, qsizetype(i) * 4, fat[i]);
    out += fatBytes;

    for (qint64 d = 0; d < difatSectors; ++d) {
        QByteArray sector(kSectorSize, '\0');
        for (int i = 0; i < 127; ++i) {
            const qint64 fatIndex = kHeaderDifatEntries + d * 127 + i;
            put32(sector, i * 4, fatIndex < fatSectors ? fatStart + quint32(fatIndex) : kFreeSector);
        }
        put32(sector, 127 * 4, d + 1 < difatSectors ? difatStart + quint32(d + 1) : kEndOfChain);
        out += sector;
    }
    return out;
}

namespace {

// A read-only view of a compound file that refuses anything outside the file.
class Reader {
public:
    explicit Reader(const QByteArray &file)
        : m_file(file) {}

    bool open(QString *error);
    bool readStream(const QStringList &names, QByteArray *stream, qint64 maxBytes, QString *error);

private:
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(m_file.constData() + at); }
    quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(m_file.constData() + at); }
    bool sectorInFile(quint32 sector) const { return qint64(sector) < m_sectorCount; }
    const char *sectorData(quint32 sector) const {
        return m_file.constData() + (qint64(sector) + 1) * m_sectorSize;
    }
    // Follows a chain through `table`; refuses loops, foreign sectors and chains longer than `maxLength`.
    bool chain(const std::vector<quint32> &table, quint32 start, qint64 maxLength, qint64 limit,
               std::vector<quint32> *sectors) const;
    bool readChain(quint32 start, qint64 size, QByteArray *out) const;

    const QByteArray &m_file;
    int m_sectorSize = 512;
    qint64 m_sectorCount = 0;
    quint32 m_firstDir = 0;
    quint32 m_firstMiniFat = 0;
    quint32 m_miniFatSectors = 0;
    quint32 m_miniCutoff = kMiniStreamCutoff;
    std::vector<quint32> m_fat;
};

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

bool Reader::open(QString *error) {
    if (m_file.size() < 512 || !m_file.startsWith(kSignature))
        return fail(error, QStringLiteral("不是 Excel 97-2003 复合文档"));
    const quint16 shift = u16(30);
    if (shift != 9 && shift != 12)
        return fail(error, QStringLiteral("复合文档的扇区大小无效"));
    m_sectorSize = 1 << shift;
    if (m_file.size() < m_sectorSize)
        return fail(error, QStringLiteral("复合文档不完整"));
    m_sectorCount = (m_file.size() - m_sectorSize) / m_sectorSize;
    const quint32 fatSectors = u32(44);
    m_firstDir = u32(48);
    m_miniCutoff = u32(56);
    m_firstMiniFat = u32(60);
    m_miniFatSectors = u32(64);
    quint32 difatSector = u32(68);
    const quint32 difatSectors = u32(72);
    if (fatSectors == 0 || qint64(fatSectors) > m_sectorCount)
        return fail(error, QStringLiteral("复合文档的分配表损坏"));

    std::vector<quint32> fatSectorIds;
    for (int i = 0; i < kHeaderDifatEntries && fatSectorIds.size() < fatSectors; ++i)
        fatSectorIds.push_back(u32(76 + i * 4));
    const int perDifat = m_sectorSize / 4 - 1;
    for (quint32 d = 0; d < difatSectors && fatSectorIds.size() < fatSectors; ++d) {
        if (!sectorInFile(difatSector))
            return fail(error, QStringLiteral("复合文档的分配表损坏"));
        const char *p = sectorData(difatSector);
        for (int i = 0; i < perDifat && fatSectorIds.size() < fatSectors; ++i)
            fatSectorIds.push_back(qFromLittleEndian<quint32>(p + i * 4));
        difatSector = qFromLittleEndian<quint32>(p + perDifat * 4);
    }
    if (fatSectorIds.size() < fatSectors)
        return fail(error, QStringLiteral("复合文档的分配表不完整"));
    m_fat.reserve(size_t(fatSectors) * size_t(m_sectorSize / 4));
    for (quint32 id : fatSectorIds) {
        if (!sectorInFile(id))
            return fail(error, QStringLiteral("复合文档的分配表指向文件之外"));
        const char *p = sectorData(id);
        for (int i = 0; i < m_sectorSize / 4; ++i)
            m_fat.push_back(qFromLittleEndian<quint32>(p + i * 4));
    }
    return true;
}

bool Reader::chain(const std::vector<quint32> &table, quint32 start, qint64 maxLength, qint64 limit,
                   std::vector<quint32> *sectors) const {
    sectors->clear();
    std::vector<bool> visited(size_t(std::max<qint64>(limit, 0)), false);
    quint32 current = start;
    while (current != kEndOfChain && qint64(sectors->size()) < maxLength) {
        if (qint64(current) >= limit || current >= table.size() || visited[current])
            return false;
        visited[current] = true;
        sectors->push_back(current);
        current = table[current];
    }
    return true;
}

bool Reader::readChain(quint32 start, qint64 size, QByteArray *out) const {
    std::vector<quint32> sectors;
    const qint64 needed = (size + m_sectorSize - 1) / m_sectorSize;
    if (!chain(m_fat, start, needed, m_sectorCount, &sectors) || qint64(sectors.size()) < needed)
        return false;
    out->clear();
    out->reserve(size);
    for (qint64 i = 0; i < needed; ++i)
        out->append(sectorData(sectors[size_t(i)]),
                    qsizetype(std::min<qint64>(m_sectorSize, size - i * m_sectorSize)));
    return true;
}

bool Reader::readStream(const QStringList &names, QByteArray *stream, qint64 maxBytes, QString *error) {
    std::vector<quint32> dirSectors;
    if (!chain(m_fat, m_firstDir, m_sectorCount, m_sectorCount, &dirSectors))
        return fail(error, QStringLiteral("复合文档的目录损坏"));
    const int entriesPerSector = m_sectorSize / kDirEntrySize;
    struct Entry {
        QString name;
        quint8 type;
        quint32 start;
        qint64 size;
    };
    std::vector<Entry> entries;
    for (quint32 s : dirSectors) {
        for (int i = 0; i < entriesPerSector; ++i) {
            const qint64 at = (qint64(s) + 1) * m_sectorSize + qint64(i) * kDirEntrySize;
            const int nameChars = std::max(0, std::min<int>(u16(at + 64), 64) / 2 - 1);
            QString name;
            for (int k = 0; k < nameChars; ++k)
                name += QChar(u16(at + k * 2));
            // Version 3 files keep only the low 32 bits of a size; the high half may hold anything.
            const quint64 size = m_sectorSize == 512
                                     ? u32(at + 120)
                                     : qFromLittleEndian<quint64>(m_file.constData() + at + 120);
            entries.push_back({name, quint8(m_file[at + 66]), u32(at + 116),
                               qint64(std::min<quint64>(size, quint64(1) << 62))});
        }
    }
    if (entries.empty() || entries[0].type != 5)
        return fail(error, QStringLiteral("复合文档缺少根目录"));
    const Entry *found = nullptr;
    for (const QString &wanted : names) {
        for (const Entry &e : entries)
            if (e.type == 2 && e.name.compare(wanted, Qt::CaseInsensitive) == 0) {
                found = &e;
                break;
            }
        if (found)
            break;
    }
    if (!found)
        return fail(error, QStringLiteral("复合文档中没有工作簿数据"));
    if (found->size > maxBytes || found->size > m_file.size())
        return fail(error, QStringLiteral("工作簿数据的长度无效"));

    if (found->size >= m_miniCutoff) {
        if (!readChain(found->start, found->size, stream))
            return fail(error, QStringLiteral("工作簿数据的扇区链损坏"));
        return true;
    }
    // A short stream lives in 64-byte mini sectors inside the root entry's stream.
    const Entry &root = entries[0];
    QByteArray miniStream;
    if (root.size > m_file.size() || !readChain(root.start, root.size, &miniStream))
        return fail(error, QStringLiteral("复合文档的小扇区区域损坏"));
    QByteArray miniFatBytes;
    if (qint64(m_miniFatSectors) > m_sectorCount ||
        !readChain(m_firstMiniFat, qint64(m_miniFatSectors) * m_sectorSize, &miniFatBytes))
        return fail(error, QStringLiteral("复合文档的小扇区分配表损坏"));
    std::vector<quint32> miniFat(size_t(miniFatBytes.size() / 4));
    for (size_t i = 0; i < miniFat.size(); ++i)
        miniFat[i] = qFromLittleEndian<quint32>(miniFatBytes.constData() + i * 4);
    constexpr int kMini = 64;
    const qint64 miniCount = miniStream.size() / kMini;
    const qint64 needed = (found->size + kMini - 1) / kMini;
    std::vector<quint32> sectors;
    if (!chain(miniFat, found->start, needed, miniCount, &sectors) || qint64(sectors.size()) < needed)
        return fail(error, QStringLiteral("工作簿数据的小扇区链损坏"));
    stream->clear();
    for (qint64 i = 0; i < needed; ++i)
        stream->append(miniStream.constData() + qint64(sectors[size_t(i)]) * kMini,
                       qsizetype(std::min<qint64>(kMini, found->size - i * kMini)));
    return true;
}

} // namespace

bool readStream(const QByteArray &file, const QStringList &names, QByteArray *stream, QString *error,
                qint64 maxStreamBytes) {
    Reader reader(file);
    return reader.open(error) && reader.readStream(names, stream, maxStreamBytes, error);
}

} // namespace tavlo::sheet::cfb
