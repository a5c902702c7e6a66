#include "DxfFile.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <new>

namespace tavlo::drawing {

namespace {

QByteArrayView trimmed(QByteArrayView v) {
    qsizetype b = 0, e = v.size();
    while (b < e && (v[b] == ' ' || v[b] == '\t' || v[b] == '\r'))
        ++b;
    while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t' || v[e - 1] == '\r'))
        --e;
    return v.sliced(b, e - b);
}

// A group code: optional blanks, an optional sign, digits, optional blanks.
bool parseCode(QByteArrayView line, int *code) {
    QByteArrayView t = trimmed(line);
    if (t.isEmpty() || t.size() > 6)
        return false;
    qsizetype i = 0;
    bool negative = false;
    if (t[0] == '-' || t[0] == '+') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i >= t.size())
        return false;
    int value = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        value = value * 10 + (t[i] - '0');
    }
    *code = negative ? -value : value;
    return *code >= -32768 && *code <= 32767;
}

QString describe(QByteArrayView line) {
    QByteArray shown = trimmed(line).toByteArray().left(40);
    for (char &c : shown)
        if (uchar(c) < 0x20 || uchar(c) >= 0x7f)
            c = '?';
    return QString::fromLatin1(shown);
}

} // namespace

DxfPairs::~DxfPairs() {
    if (m_capacity > 0)
        delete[] m_data;
}

void DxfPairs::insert(size_t index, const DxfPair &pair) {
    if (m_size == m_capacity || m_capacity == 0) {
        // A few more pairs usually follow the first one added to a chunk.
        const quint32 capacity = m_size + m_size / 2 + 4;
        DxfPair *grown = new DxfPair[capacity];
        std::copy(m_data, m_data + m_size, grown);
        if (m_capacity > 0)
            delete[] m_data;
        m_data = grown;
        m_capacity = capacity;
    }
    std::copy_backward(m_data + index, m_data + m_size, m_data + m_size + 1);
    m_data[index] = pair;
    ++m_size;
}

void DxfPairs::erase(size_t index, size_t count) {
    std::copy(m_data + index + count, m_data + m_size, m_data + index);
    m_size -= quint32(count);
}

void DxfFile::ReadPairs::resize(size_t newCapacity) {
    void *grown = std::realloc(data, newCapacity * sizeof(DxfPair));
    if (!grown)
        throw std::bad_alloc(); // as a vector would
    data = static_cast<DxfPair *>(grown);
    capacity = newCapacity;
}

quint32 DxfFile::codeLineLength(const DxfPair &pair) const {
    const quint32 bits = pair.bits & 31u;
    return bits < 31 ? bits : m_longLines.at(longLineKey(pair)).codeLine;
}

quint32 DxfFile::valueLength(const DxfPair &pair) const {
    const quint32 bits = pair.bits >> 8;
    return bits < 255 ? bits : m_longLines.at(longLineKey(pair)).value;
}

std::unique_ptr<DxfFile> DxfFile::parse(const QByteArray &bytes, QString *error) {
    auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return nullptr;
    };
    if (bytes.startsWith("AutoCAD Binary DXF"))
        return fail(
            QStringLiteral("这是二进制 DXF 文件，只能打开 ASCII DXF：请在 CAD 程序中另存为 ASCII DXF。"
                           " (binary DXF is not supported)"));
    if (bytes.isEmpty())
        return fail(QStringLiteral("文件是空的，不是 DXF 图形。 (empty file)"));
    if (bytes.size() >= qsizetype(0xFFFFFFF0u))
        return fail(QStringLiteral("文件太大 (over 4 GB)。"));

    std::unique_ptr<DxfFile> file(new DxfFile);
    file->m_source = bytes;
    const char *data = bytes.constData();
    const quint32 size = quint32(bytes.size());
    quint32 pos = 0;
    quint32 lineNumber = 0;

    // Lines end in LF or CR LF; a file whose first line ends in a lone CR (as old Mac programs wrote
    // them) has CR-only lines throughout.
    const void *firstLf = std::memchr(data, '\n', size);
    const void *firstCr = std::memchr(data, '\r', size);
    const bool crOnly =
        firstCr && (!firstLf || (firstCr < firstLf && static_cast<const char *>(firstCr) + 1 !=
                                                          static_cast<const char *>(firstLf)));
    const char lineEnd = crOnly ? '\r' : '\n';

    // One line: [start, contentEnd) and its ending of eol bytes.
    auto readLine = [&](quint32 *start, quint32 *contentEnd, quint8 *eol) {
        *start = pos;
        const void *nl = std::memchr(data + pos, lineEnd, size - pos);
        quint32 end = nl ? quint32(static_cast<const char *>(nl) - data) : size;
        quint32 next = nl ? end + 1 : size;
        quint8 eolLength = nl ? 1 : 0;
        if (nl && !crOnly && end > pos && data[end - 1] == '\r') {
            --end;
            eolLength = 2;
        }
        *contentEnd = end;
        *eol = eolLength;
        pos = next;
        ++lineNumber;
    };

    // A first guess of the pairs' number (most pairs take 8 to 16 bytes); the array grows if needed.
    file->m_read.resize(size / 12 + 1024);
    DxfChunk *chunk = nullptr;
    bool sawSection = false;
    bool sawEof = false;
    while (pos < size) {
        quint32 codeStart, codeEnd, valueStart, valueEnd;
        quint8 codeEol, valueEol;
        readLine(&codeStart, &codeEnd, &codeEol);
        int code = 0;
        const QByteArrayView codeLine(data + codeStart, codeEnd - codeStart);
        if (!parseCode(codeLine, &code)) {
            if (trimmed(codeLine).isEmpty() && pos >= size)
                break; // blank lines at the very end
            if (!sawSection)
                return fail(QStringLiteral("不是 DXF 图形文件：第 %1 行不是组码 (\"%2\")。 (not a DXF file)")
                                .arg(lineNumber)
                                .arg(describe(codeLine)));
            return fail(QStringLiteral("DXF 文件已损坏：第 %1 行应为组码，却是 \"%2\"。 (damaged DXF)")
                            .arg(lineNumber)
                            .arg(describe(codeLine)));
        }
        if (codeEol == 0)
            return fail(
                QStringLiteral("DXF 文件不完整：在第 %1 行的组码之后结束。 (truncated DXF)").arg(lineNumber));
        valueStart = pos;
        readLine(&valueStart, &valueEnd, &valueEol);
        const QByteArrayView value(data + valueStart, valueEnd - valueStart);
        if (code == 0) {
            const QByteArrayView name = trimmed(value);
            if (!sawSection && name != "SECTION")
                return fail(QStringLiteral("不是 DXF 图形文件：没有以 SECTION 开始。 (not a DXF file)"));
            sawSection = true;
        } else if (!sawSection && code != 999) {
            return fail(QStringLiteral("不是 DXF 图形文件：没有以 SECTION 开始。 (not a DXF file)"));
        }
        if (valueEnd - valueStart > 0x1FFFFFFFu || pos - codeStart > 0x1FFFFFFFu ||
            valueStart - codeStart > 0xFFFFu)
            return fail(QStringLiteral("DXF 文件已损坏：第 %1 行过长。 (damaged DXF)").arg(lineNumber));
        if (code == 0 || !chunk) {
            file->m_storage.emplace_back();
            chunk = &file->m_storage.back();
            file->m_order.push_back(chunk);
        }
        file->m_read.push_back(
            file->packPair(codeStart, code, valueStart - codeStart, valueEnd - valueStart, valueEol, false));
        ++chunk->pairs.m_size;
        if (code == 0 && trimmed(value) == "EOF") {
            sawEof = true;
            file->m_tail = bytes.mid(pos);
            break;
        }
    }
    // The chunks' pairs lie one after the other in the array, which is now complete.
    file->m_read.resize(std::max<size_t>(file->m_read.size, 1));
    DxfPair *next = file->m_read.data;
    for (DxfChunk *c : file->m_order) {
        c->pairs.m_data = next;
        next += c->pairs.m_size;
    }
    if (!sawSection)
        return fail(QStringLiteral("不是 DXF 图形文件。 (not a DXF file)"));
    if (!sawEof)
        return fail(QStringLiteral("DXF 文件不完整：没有 EOF 结束标记，文件可能被截断。 (truncated DXF)"));
    return file;
}

QByteArrayView DxfFile::bytesOf(const DxfPair &pair) const {
    const QByteArray &buffer = pair.edited() ? m_edits : m_source;
    return QByteArrayView(buffer.constData() + pair.start, end(pair) - pair.start);
}

QByteArray DxfFile::serialize() const {
    QByteArray out;
    out.reserve(m_source.size() + m_edits.size() + 64);
    // Runs of untouched pairs are copied in one piece.
    qsizetype runStart = -1, runEnd = -1;
    auto flush = [&] {
        if (runStart >= 0)
            out.append(m_source.constData() + runStart, runEnd - runStart);
        runStart = runEnd = -1;
    };
    for (const DxfChunk *chunk : m_order) {
        for (const DxfPair &pair : chunk->pairs) {
            if (pair.edited()) {
                flush();
                out.append(bytesOf(pair));
                continue;
            }
            const qsizetype pairEnd = end(pair);
            if (runStart >= 0 && runEnd == qsizetype(pair.start)) {
                runEnd = pairEnd;
            } else {
                flush();
                runStart = pair.start;
                runEnd = pairEnd;
            }
        }
    }
    flush();
    out.append(m_tail);
    return out;
}

QByteArrayView DxfFile::value(const DxfPair &pair) const {
    const QByteArray &buffer = pair.edited() ? m_edits : m_source;
    return QByteArrayView(buffer.constData() + valueStart(pair), valueLength(pair));
}

QByteArrayView DxfFile::trimmedValue(const DxfPair &pair) const {
    return trimmed(value(pair));
}

int DxfFile::find(const DxfChunk &chunk, int code, int from, int to) {
    const int end = to < 0 ? int(chunk.pairs.size()) : std::min(to, int(chunk.pairs.size()));
    for (int i = std::max(0, from); i < end; ++i)
        if (chunk.pairs[i].code == code)
            return i;
    return -1;
}

DxfPair DxfFile::makePair(const DxfPair &like, int code, QByteArrayView value) {
    const QByteArrayView likeBytes = bytesOf(like);
    const QByteArrayView likeCode = likeBytes.first(codeLineLength(like));
    // The neighbour's own line ending: CR LF, LF or a lone CR.
    qsizetype eolLength = 0;
    while (eolLength < 2 && eolLength < likeCode.size() &&
           (likeCode[likeCode.size() - 1 - eolLength] == '\n' ||
            likeCode[likeCode.size() - 1 - eolLength] == '\r'))
        ++eolLength;
    const qsizetype likeCodeWidth = likeCode.size() - eolLength;
    const bool padded = likeCodeWidth > 0 && likeCode[0] == ' ';
    QByteArray codeText = QByteArray::number(code);
    if (padded && codeText.size() < likeCodeWidth)
        codeText = QByteArray(likeCodeWidth - codeText.size(), ' ') + codeText;
    const QByteArray eol = eolLength > 0 ? likeCode.last(eolLength).toByteArray() : QByteArray("\n");

    const quint32 start = quint32(m_edits.size());
    m_edits.append(codeText).append(eol);
    m_edits.append(value.data(), value.size());
    m_edits.append(eol);
    return packPair(start, code, quint32(codeText.size() + eol.size()), quint32(value.size()),
                    int(eol.size()), true);
}

void DxfFile::setValue(DxfChunk *chunk, int index, QByteArrayView value) {
    DxfPair &pair = chunk->pairs.m_data[index];
    if (this->value(pair) == value)
        return;
    // Keep the original code line (padding and all), write the new value with the old line ending.
    const QByteArrayView old = bytesOf(pair);
    const QByteArray codeLine = old.first(codeLineLength(pair)).toByteArray();
    const QByteArray eol = old.last(pair.eolLength()).toByteArray();
    const quint32 start = quint32(m_edits.size());
    m_edits.append(codeLine);
    m_edits.append(value.data(), value.size());
    m_edits.append(eol);
    pair = packPair(start, pair.code, quint32(codeLine.size()), quint32(value.size()), int(eol.size()), true);
}

void DxfFile::insertPair(DxfChunk *chunk, int index, int code, QByteArrayView value) {
    const int likeIndex = std::clamp(index == 0 ? 0 : index - 1, 0, int(chunk->pairs.size()) - 1);
    DxfPair pair = makePair(chunk->pairs[likeIndex], code, value);
    chunk->pairs.insert(size_t(std::clamp(index, 0, int(chunk->pairs.size()))), pair);
}

void DxfFile::removePairs(DxfChunk *chunk, int index, int count) {
    if (index < 0 || count <= 0 || index + count > int(chunk->pairs.size()))
        return;
    chunk->pairs.erase(size_t(index), size_t(count));
}

int DxfFile::positionOf(const DxfChunk *chunk) const {
    auto it = std::find(m_order.begin(), m_order.end(), chunk);
    return it == m_order.end() ? -1 : int(it - m_order.begin());
}

DxfChunk *DxfFile::insertChunkAfter(const DxfChunk *after,
                                    const std::vector<std::pair<int, QByteArray>> &pairs) {
    const int at = positionOf(after);
    if (at < 0 || after->pairs.empty() || pairs.empty())
        return nullptr;
    m_storage.emplace_back();
    DxfChunk *chunk = &m_storage.back();
    const DxfPair like = after->pairs.front();
    for (const auto &[code, value] : pairs)
        chunk->pairs.insert(chunk->pairs.size(), makePair(like, code, value));
    m_order.insert(m_order.begin() + at + 1, chunk);
    return chunk;
}

} // namespace tavlo::drawing
