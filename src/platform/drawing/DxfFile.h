#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <deque>
#include <memory>
#include <vector>

namespace tavlo::drawing {

// One group-code pair exactly as it stands in the file: the code line and the value line with their own
// padding and line endings. Offsets point into the file's bytes, or into the edit buffer once the pair
// was rewritten or added.
struct DxfPair {
    quint32 start = 0;          // first byte of the group-code line
    quint32 bits = 0;           // value length (29 bits), length of its line ending (2), edited (1)
    quint16 codeLineLength = 0; // the group-code line with its line ending
    qint16 code = 0;

    quint32 valueStart() const { return start + codeLineLength; }
    quint32 valueLength() const { return bits & 0x1FFFFFFFu; }
    // 0 (last line of a file without a final newline), 1 (LF, or CR in a file of CR-only lines) or
    // 2 (CR LF)
    int eolLength() const { return int((bits >> 29) & 3u); }
    quint32 end() const { return valueStart() + valueLength() + quint32(eolLength()); }
    // The offsets point into the edit buffer, not the file's bytes.
    bool edited() const { return bits >> 31; }
    void setValue(quint32 length, int eol, bool isEdited) {
        bits = (length & 0x1FFFFFFFu) | (quint32(eol & 3) << 29) | (isEdited ? 0x80000000u : 0u);
    }
};

// The pairs from one group 0 up to the next one: a section marker, a table record, an entity, an object.
struct DxfChunk {
    std::vector<DxfPair> pairs;
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
    DxfFile() = default;
    DxfPair makePair(const DxfPair &like, int code, QByteArrayView value);
    QByteArrayView bytesOf(const DxfPair &pair) const;
    int positionOf(const DxfChunk *chunk) const;

    QByteArray m_source;
    QByteArray m_edits;
    QByteArray m_tail; // anything after the EOF pair, kept as it is
    std::deque<DxfChunk> m_storage;
    std::vector<DxfChunk *> m_order;
};

} // namespace tavlo::drawing
