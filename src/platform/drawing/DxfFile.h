#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tavlo::drawing {

// One group-code pair exactly as it stands in the file: the code line and the value line with their own
// padding and line endings. The offset points into the file's bytes, or into the edit buffer once the
// pair was rewritten or added. A drawing has millions of pairs, so a pair takes 8 bytes: the lengths
// of its lines are packed into `bits` when they are short, as nearly all are, and kept by the file
// otherwise (see DxfFile::value).
struct DxfPair {
    quint32 start = 0; // first byte of the group-code line
    qint16 code = 0;
    // Bits 0-4: the length of the code line with its line ending (31: longer). Bits 5-6: the value's line
    // ending, 0 (last line of a file without a final newline), 1 (LF, or CR in a file of CR-only lines)
    // or 2 (CR LF). Bit 7: the offsets point into the edit buffer. Bits 8-15: the value's length (255:
    // longer).
    quint16 bits = 0;

    bool edited() const { return bits & 0x80u; }
    int eolLength() const { return (bits >> 5) & 3; }
};
static_assert(sizeof(DxfPair) == 8);

// The pairs of one chunk, read like a vector. As read they are a stretch of the file's one array of
// pairs; a chunk that gains a pair moves to an array of its own.
class DxfPairs {
public:
    DxfPairs() = default;
    ~DxfPairs();
    DxfPairs(const DxfPairs &) = delete;
    DxfPairs &operator=(const DxfPairs &) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const DxfPair &operator[](size_t index) const { return m_data[index]; }
    const DxfPair &front() const { return m_data[0]; }
    const DxfPair *begin() const { return m_data; }
    const DxfPair *end() const { return m_data + m_size; }

private:
    friend class DxfFile;
    void insert(size_t index, const DxfPair &pair);
    void erase(size_t index, size_t count);

    DxfPair *m_data = nullptr;
    quint32 m_size = 0;
    quint32 m_capacity = 0; // 0: m_data points into the file's array
};

// The pairs from one group 0 up to the next one: a section marker, a table record, an entity, an object.
struct DxfChunk {
    DxfPairs pairs;
};

// A DXF file kept as its pairs. Writing it back without edits gives the bytes it was read from; an edit
// rewrites only the pairs it touches and borrows the look (code padding, line ending) of its neighbours.
class DxfFile {
public:
    // Splits ASCII DXF bytes into pairs. nullptr with a reason for binary DXF, garbage and truncated files.
    static std::unique_ptr<DxfFile> parse(const QByteArray &bytes, QString *error);

    QByteArray serialize() const;
    qsizetype sourceSize() const { return m_source.size(); }
    // The bytes the file was read from.
    const QByteArray &original() const { return m_source; }

    const std::vector<DxfChunk *> &chunks() const { return m_order; }
    QByteArrayView value(const DxfPair &pair) const;
    // The value with surrounding blanks removed, for numbers and names.
    QByteArrayView trimmedValue(const DxfPair &pair) const;

    // Index of the first pair with this code in [from, to) of the chunk; -1 when none.
    static int find(const DxfChunk &chunk, int code, int from = 0, int to = -1);

    void setValue(DxfChunk *chunk, int index, QByteArrayView value);
    // Inserts a new pair before position index, formatted like the pair at `like` in the same chunk.
    void insertPair(DxfChunk *chunk, int index, int code, QByteArrayView value);
    void removePairs(DxfChunk *chunk, int index, int count);
    // A new chunk placed after `after` in the file order; its pairs are formatted like the first pair of
    // `after`.
    DxfChunk *insertChunkAfter(const DxfChunk *after, const std::vector<std::pair<int, QByteArray>> &pairs);

private:
    // The lengths of lines too long for a pair's bits.
    struct LongLines {
        quint32 codeLine = 0;
        quint32 value = 0;
    };

    DxfFile() = default;
    // A pair at `start` of the file's bytes or (edited) of the edit buffer; lengths that do not fit its
    // bits are noted in m_longLines.
    DxfPair packPair(quint32 start, int code, quint32 codeLineLength, quint32 valueLength, int eolLength,
                     bool edited) {
        DxfPair pair;
        pair.start = start;
        pair.code = qint16(code);
        const quint32 codeBits = std::min<quint32>(codeLineLength, 31);
        const quint32 valueBits = std::min<quint32>(valueLength, 255);
        pair.bits = quint16(codeBits | quint32(eolLength & 3) << 5 | (edited ? 0x80u : 0u) | valueBits << 8);
        if (codeBits == 31 || valueBits == 255)
            m_longLines[longLineKey(pair)] = {codeLineLength, valueLength};
        return pair;
    }
    quint32 codeLineLength(const DxfPair &pair) const;
    quint32 valueLength(const DxfPair &pair) const;
    quint32 valueStart(const DxfPair &pair) const { return pair.start + codeLineLength(pair); }
    quint32 end(const DxfPair &pair) const {
        return valueStart(pair) + valueLength(pair) + quint32(pair.eolLength());
    }
    static quint64 longLineKey(const DxfPair &pair) {
        return quint64(pair.start) | quint64(pair.edited()) << 32;
    }
    DxfPair makePair(const DxfPair &like, int code, QByteArrayView value);
    QByteArrayView bytesOf(const DxfPair &pair) const;
    int positionOf(const DxfChunk *chunk) const;

    QByteArray m_source;
    QByteArray m_edits;
    QByteArray m_tail; // anything after the EOF pair, kept as it is
    // The pairs as read, chunk after chunk, in a block from malloc: it grows in place (large blocks are
    // remapped, not copied), so that a drawing's pairs are never in memory twice while it is read.
    struct ReadPairs {
        DxfPair *data = nullptr;
        size_t size = 0;
        size_t capacity = 0;
        ReadPairs() = default;
        ReadPairs(const ReadPairs &) = delete;
        ReadPairs &operator=(const ReadPairs &) = delete;
        ~ReadPairs() { std::free(data); }
        void resize(size_t newCapacity);
        void push_back(const DxfPair &pair) {
            if (size == capacity)
                resize(capacity * 2 + 1024);
            data[size++] = pair;
        }
    };
    ReadPairs m_read;
    std::unordered_map<quint64, LongLines> m_longLines; // by start, edited pairs' with bit 32 set
    std::deque<DxfChunk> m_storage;
    std::vector<DxfChunk *> m_order;
};

} // namespace tavlo::drawing
