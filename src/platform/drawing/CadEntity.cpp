#include "CadEntity.h"

#include "CadDocument.h"
#include "DxfFile.h"
#include "TableCells.h"
#include "TextMetrics.h"

#include <charconv>
#include <cmath>

namespace tavlo::drawing {

namespace {

QByteArray formatReal(double value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QByteArray text(buffer, result.ptr - buffer);
    if (!text.contains('.') && !text.contains('e') && !text.contains("inf") && !text.contains("nan"))
        text += ".0";
    return text;
}

double toReal(QByteArrayView v, double fallback) {
    bool ok = false;
    const double d = v.toByteArray().toDouble(&ok);
    return ok ? d : fallback;
}

} // namespace

// Where a multiline text may be cut into chunks: never inside a \ code, a \U+ or \M+ escape, or a
// surrogate pair. Returns the length of the token starting at i.
qsizetype mtextToken(const QString &text, qsizetype i) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size())
        return 2;
    if (c != QLatin1Char('\\') || i + 1 >= text.size())
        return 1;
    const QChar next = text[i + 1];
    if (next == QLatin1Char('U') && i + 2 < text.size() && text[i + 2] == QLatin1Char('+'))
        return qMin<qsizetype>(7, text.size() - i);
    if (next == QLatin1Char('M') && i + 2 < text.size() && text[i + 2] == QLatin1Char('+'))
        return qMin<qsizetype>(8, text.size() - i);
    static const QString withArgument = QStringLiteral("ACcFfHQTWpS");
    if (withArgument.contains(next)) {
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i + 2);
        if (semicolon > 0 && semicolon - i < 200)
            return semicolon - i + 1;
    }
    return 2;
}

struct CadEntity::Extras {
    QList<CadEntity *> attributes; // block references
    QList<DxfChunk *> vertices;    // old-style polylines
    std::unique_ptr<TableCells> table;
};

CadEntity::CadEntity(CadDocument *document, DxfChunk *chunk, Kind kind)
    : m_document(document)
    , m_chunk(chunk)
    , m_kind(kind) {}

CadEntity::~CadEntity() = default;

CadEntity::Extras &CadEntity::extras() const {
    if (!m_extras)
        m_extras = std::make_unique<Extras>();
    return *m_extras;
}

void CadEntity::addAttribute(CadEntity *attribute) {
    extras().attributes.append(attribute);
}
void CadEntity::addVertex(DxfChunk *vertex) {
    extras().vertices.append(vertex);
}

void CadEntity::forgetTableLayout() {
    if (m_extras)
        m_extras->table.reset();
}

bool CadEntity::isAlive() const {
    return m_document && m_document->isAlive();
}

// The entity's own pairs end where embedded objects (101) or extended data (1001) begin.
static int ownLimit(const DxfFile &file, const DxfChunk &chunk) {
    Q_UNUSED(file);
    const int n = int(chunk.pairs.size());
    for (int i = 1; i < n; ++i)
        if (chunk.pairs[i].code == 101 || chunk.pairs[i].code == 1001)
            return i;
    return n;
}

QString CadEntity::dxfType() const {
    if (!isAlive() || m_chunk->pairs.empty())
        return {};
    return QString::fromLatin1(m_document->file().trimmedValue(m_chunk->pairs.front()).toByteArray());
}

QString CadEntity::EntityName() const {
    switch (m_kind) {
    case Kind::Text:
        return QStringLiteral("AcDbText");
    case Kind::MText:
        return QStringLiteral("AcDbMText");
    case Kind::Table:
        return QStringLiteral("AcDbTable");
    case Kind::BlockReference:
        return QStringLiteral("AcDbBlockReference");
    case Kind::AttributeDefinition:
        return QStringLiteral("AcDbAttributeDefinition");
    case Kind::Attribute:
        return QStringLiteral("AcDbAttribute");
    case Kind::Line:
        return QStringLiteral("AcDbLine");
    case Kind::Arc:
        return QStringLiteral("AcDbArc");
    case Kind::Circle:
        return QStringLiteral("AcDbCircle");
    case Kind::LwPolyline:
        return QStringLiteral("AcDbPolyline");
    case Kind::Polyline:
        return QStringLiteral("AcDb2dPolyline");
    case Kind::Point:
        return QStringLiteral("AcDbPoint");
    case Kind::Other:
        break;
    }
    return QStringLiteral("AcDb") + dxfType();
}

QString CadEntity::stringValue(int code) const {
    if (!isAlive())
        return {};
    const DxfFile &file = m_document->file();
    const int at = DxfFile::find(*m_chunk, code, 1, ownLimit(file, *m_chunk));
    if (at < 0)
        return {};
    return m_document->decode(file.value(m_chunk->pairs[at]));
}

double CadEntity::realValue(int code, double fallback, int occurrence) const {
    if (!isAlive())
        return fallback;
    const DxfFile &file = m_document->file();
    const int limit = ownLimit(file, *m_chunk);
    int at = 0;
    for (int k = 0; k <= occurrence; ++k) {
        at = DxfFile::find(*m_chunk, code, at + (k ? 1 : 1), limit);
        if (at < 0)
            return fallback;
    }
    return toReal(file.trimmedValue(m_chunk->pairs[at]), fallback);
}

int CadEntity::intValue(int code, int fallback) const {
    if (!isAlive())
        return fallback;
    const DxfFile &file = m_document->file();
    const int at = DxfFile::find(*m_chunk, code, 1, ownLimit(file, *m_chunk));
    if (at < 0)
        return fallback;
    bool ok = false;
    const int v = file.trimmedValue(m_chunk->pairs[at]).toByteArray().toInt(&ok);
    return ok ? v : fallback;
}

QString CadEntity::Handle() const {
    if (!isAlive())
        return {};
    const int at = DxfFile::find(*m_chunk, 5, 1, ownLimit(m_document->file(), *m_chunk));
    return at < 0 ? QString()
                  : QString::fromLatin1(m_document->file().trimmedValue(m_chunk->pairs[at]).toByteArray())
                        .toUpper();
}

QString CadEntity::Layer() const {
    const QString layer = stringValue(8);
    return layer.isEmpty() && isAlive() ? QStringLiteral("0") : layer;
}

int CadEntity::Color() const {
    return intValue(62, CadColor::ByLayer);
}

bool CadEntity::inPaperSpace() const {
    return intValue(67, 0) == 1;
}

bool CadEntity::isInvisible() const {
    if (intValue(60, 0) == 1)
        return true;
    if (m_kind == Kind::Attribute || m_kind == Kind::AttributeDefinition)
        return intValue(70, 0) & 1;
    return false;
}

static bool hasStyle(CadEntity::Kind kind) {
    using K = CadEntity::Kind;
    return kind == K::Text || kind == K::MText || kind == K::Attribute || kind == K::AttributeDefinition;
}

static bool isSingleLine(CadEntity::Kind kind) {
    using K = CadEntity::Kind;
    return kind == K::Text || kind == K::Attribute || kind == K::AttributeDefinition;
}

// A single-line string as CAD programs take it: one line of at most 256 characters, and no DXF string
// longer than 2,049 bytes in the file's encoding (characters the code page lacks take 7 bytes as \U+
// escapes). A longer string is cut at a character boundary and counted in the document.
static QByteArray singleLineBytes(CadDocument *document, const QString &text) {
    constexpr qsizetype maxCharacters = 256;
    constexpr qsizetype maxBytes = 2049;
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).remove(QLatin1Char('\r'));
    bool cut = false;
    if (line.size() > maxCharacters) {
        qsizetype keep = maxCharacters;
        if (line[keep - 1].isHighSurrogate())
            --keep;
        line.truncate(keep);
        cut = true;
    }
    QByteArray bytes = document->encode(line);
    while (bytes.size() > maxBytes && !line.isEmpty()) {
        line.chop(line.size() > 1 && line.back().isLowSurrogate() ? 2 : 1);
        bytes = document->encode(line);
        cut = true;
    }
    if (cut)
        document->countCutText();
    return bytes;
}

QString CadEntity::StyleName() const {
    if (!hasStyle(m_kind) || !isAlive())
        return {};
    const QString style = stringValue(7);
    return style.isEmpty() ? QStringLiteral("Standard") : style;
}

void CadEntity::setStyleName(const QString &name) {
    if (!hasStyle(m_kind) || !isAlive() || name.isEmpty())
        return;
    DxfFile &file = m_document->file();
    const QByteArray value = m_document->encode(name);
    const int limit = ownLimit(file, *m_chunk);
    const int at = DxfFile::find(*m_chunk, 7, 1, limit);
    if (at >= 0) {
        file.setValue(m_chunk, at, value);
    } else {
        // After the text (and its rotation and width), inside the same subclass.
        int after = -1;
        for (int code : {1, 50, 41, 51}) {
            const int i = DxfFile::find(*m_chunk, code, 1, limit);
            if (i > after)
                after = i;
        }
        if (after < 0)
            return;
        file.insertPair(m_chunk, after + 1, 7, value);
    }
    m_document->markModified(this);
}

QString CadEntity::Name() const {
    if (m_kind != Kind::BlockReference && m_kind != Kind::Table)
        return {};
    return stringValue(2);
}

// The pair range of the text value: group 1 with the 3 chunks before it (multiline texts). Returns the
// index of the group 1 pair, -1 when there is none.
int CadEntity::textRange(int *from, int *to) const {
    const DxfFile &file = m_document->file();
    const int limit = ownLimit(file, *m_chunk);
    const int one = DxfFile::find(*m_chunk, 1, 1, limit);
    int first = one;
    if (m_kind == Kind::MText) {
        const int three = DxfFile::find(*m_chunk, 3, 1, limit);
        if (three >= 0 && (one < 0 || three < one))
            first = three;
    }
    *from = first;
    *to = one < 0 ? -1 : one + 1;
    return one;
}

QString CadEntity::TextString() const {
    if (!isAlive())
        return {};
    switch (m_kind) {
    case Kind::Text:
    case Kind::Attribute:
    case Kind::AttributeDefinition:
        return stringValue(1);
    case Kind::MText: {
        int from, to;
        if (textRange(&from, &to) < 0)
            return {};
        const DxfFile &file = m_document->file();
        QByteArray raw;
        for (int i = from; i < to; ++i)
            if (m_chunk->pairs[i].code == 3 || m_chunk->pairs[i].code == 1)
                raw.append(file.value(m_chunk->pairs[i]));
        return m_document->decode(raw);
    }
    default:
        return {};
    }
}

QList<CadEntity *> CadEntity::linkedColumns() const {
    QList<CadEntity *> columns;
    if (m_kind != Kind::MText || !isAlive())
        return columns;
    const DxfFile &file = m_document->file();
    const auto &pairs = m_chunk->pairs;
    bool inList = false;
    for (const DxfPair &pair : pairs) {
        if (pair.code == 1000) {
            const QByteArrayView value = file.trimmedValue(pair);
            if (value == "ACAD_MTEXT_COLUMNS_BEGIN")
                inList = true;
            else if (value == "ACAD_MTEXT_COLUMNS_END" && inList)
                break;
        } else if (inList && pair.code == 1005) {
            CadEntity *column =
                m_document->entityByHandle(QString::fromLatin1(file.trimmedValue(pair).toByteArray()));
            if (column && column != this && column->m_kind == Kind::MText && !columns.contains(column))
                columns.append(column);
        }
    }
    return columns;
}

bool CadEntity::isLinkedColumn() const {
    return m_kind == Kind::MText && isAlive() && m_document->isLinkedColumn(this);
}

// Writes a multiline string over the pairs [from, one]: 3 chunks of at most 250 bytes in the file's
// encoding, cut only between tokens, then the last chunk in group 1 at `one`.
static void writeChunkedText(CadDocument *document, DxfChunk *chunk, int from, int one, const QString &text) {
    DxfFile &file = document->file();
    QList<QByteArray> chunks;
    QByteArray current;
    QString flat = text;
    flat.replace(QLatin1String("\r\n"), QLatin1String("\\P"))
        .replace(QLatin1Char('\n'), QLatin1String("\\P"))
        .replace(QLatin1Char('\r'), QLatin1String("\\P"));
    for (qsizetype i = 0; i < flat.size();) {
        const qsizetype length = mtextToken(flat, i);
        const QByteArray bytes = document->encode(flat.mid(i, length));
        if (!current.isEmpty() && current.size() + bytes.size() > 250) {
            chunks.append(current);
            current.clear();
        }
        current.append(bytes);
        i += length;
    }
    chunks.append(current);
    int removed = 0;
    for (int i = one - 1; i >= from; --i)
        if (chunk->pairs[i].code == 3) {
            file.removePairs(chunk, i, 1);
            ++removed;
        }
    const int oneAt = one - removed;
    file.setValue(chunk, oneAt, chunks.back());
    for (int k = int(chunks.size()) - 2; k >= 0; --k)
        file.insertPair(chunk, oneAt, 3, chunks[k]);
}

// The multiline text embedded in a multi-line attribute (after "101 Embedded Object"): the positions of
// its first 3 chunk and of its group 1; false when there is none.
static bool embeddedText(const DxfChunk &chunk, int *from, int *one) {
    const int n = int(chunk.pairs.size());
    int marker = -1;
    for (int i = 1; i < n; ++i)
        if (chunk.pairs[i].code == 101) {
            marker = i;
            break;
        }
    if (marker < 0)
        return false;
    int end = n;
    for (int i = marker + 1; i < n; ++i)
        if (chunk.pairs[i].code == 1001 || chunk.pairs[i].code == 101) {
            end = i;
            break;
        }
    *one = DxfFile::find(chunk, 1, marker + 1, end);
    if (*one < 0)
        return false;
    const int three = DxfFile::find(chunk, 3, marker + 1, *one);
    *from = three >= 0 ? three : *one;
    return true;
}

void CadEntity::setTextString(const QString &text) {
    if (!isAlive())
        return;
    DxfFile &file = m_document->file();
    if (isSingleLine(m_kind)) {
        int from, to;
        const int one = textRange(&from, &to);
        const QString old = one >= 0 ? TextString() : QString();
        const QByteArray bytes = singleLineBytes(m_document, text);
        const QString single = m_document->decode(bytes);
        if (one >= 0) {
            file.setValue(m_chunk, one, bytes);
        } else {
            // A text written without its string: group 1 follows the height.
            const int height = DxfFile::find(*m_chunk, 40, 1, ownLimit(file, *m_chunk));
            if (height < 0)
                return;
            file.insertPair(m_chunk, height + 1, 1, bytes);
        }
        // A multi-line attribute shows its embedded multiline text: the new string replaces the line the
        // single-line value held (its first), the other lines stay.
        int embeddedFrom, embeddedOne;
        if ((m_kind == Kind::Attribute || m_kind == Kind::AttributeDefinition) &&
            embeddedText(*m_chunk, &embeddedFrom, &embeddedOne)) {
            QByteArray raw;
            for (int i = embeddedFrom; i <= embeddedOne; ++i)
                if (m_chunk->pairs[i].code == 3 || m_chunk->pairs[i].code == 1)
                    raw.append(file.value(m_chunk->pairs[i]));
            const QString content = m_document->decode(raw);
            const QString rest =
                content.startsWith(old + QLatin1String("\\P")) ? content.mid(old.size()) : QString();
            writeChunkedText(m_document, m_chunk, embeddedFrom, embeddedOne, single + rest);
        }
        m_document->markStringModified(this);
        return;
    }
    if (m_kind != Kind::MText)
        return;
    int from, to;
    int one = textRange(&from, &to);
    if (one < 0) {
        // A multiline text written without its string: group 1 follows the size and attachment codes.
        const int limit = ownLimit(file, *m_chunk);
        int after = -1;
        for (int code : {40, 41, 46, 71, 72})
            after = qMax(after, DxfFile::find(*m_chunk, code, 1, limit));
        if (after < 0)
            return;
        file.insertPair(m_chunk, after + 1, 1, QByteArrayView());
        one = textRange(&from, &to);
    }
    writeChunkedText(m_document, m_chunk, from, one, text);
    m_document->markStringModified(this);
}

double CadEntity::ScaleFactor() const {
    if (!isSingleLine(m_kind))
        return 1.0;
    return realValue(41, 1.0);
}

void CadEntity::setRealValue(int code, double value, const QList<int> &after) {
    DxfFile &file = m_document->file();
    const int limit = ownLimit(file, *m_chunk);
    const int at = DxfFile::find(*m_chunk, code, 1, limit);
    if (at >= 0) {
        file.setValue(m_chunk, at, formatReal(value));
    } else {
        int last = -1;
        for (int c : after)
            last = qMax(last, DxfFile::find(*m_chunk, c, 1, limit));
        if (last < 0)
            return;
        file.insertPair(m_chunk, last + 1, code, formatReal(value));
    }
    m_document->markModified(this);
}

void CadEntity::setScaleFactor(double factor) {
    if (!isSingleLine(m_kind) || !isAlive() || !std::isfinite(factor) || factor <= 0)
        return;
    setRealValue(41, factor, {1, 40, 50});
}

bool CadEntity::GetBoundingBox(CadPoint *lowerLeft, CadPoint *upperRight) const {
    if (!isAlive())
        return false;
    const double height = Height() > 0 ? Height() : 2.5;
    double width = 0, top = 0, bottom = 0;
    double ox = 0, oy = 0; // the text's box relative to its anchor, before rotation
    CadPoint anchor = InsertionPoint();
    if (isSingleLine(m_kind)) {
        const TextExtent e = measureText(TextString(), height, ScaleFactor());
        width = e.width;
        top = e.ascent;
        bottom = -e.descent;
        const int h = horizontalAlignment();
        const int v = verticalAlignment();
        if ((h != 0 || v != 0) && hasAlignmentPoint()) {
            if (h == 3 || h == 5) { // aligned, fit: between the two points
                const CadPoint a = InsertionPoint(), b = alignmentPoint();
                width = std::hypot(b.x - a.x, b.y - a.y);
            } else {
                anchor = alignmentPoint();
                ox = h == 1 || h == 4 ? -width / 2 : (h == 2 ? -width : 0);
            }
            if (h == 4)
                oy = -height / 2;
            else if (v == 1)
                oy = -bottom;
            else if (v == 2)
                oy = -height / 2;
            else if (v == 3)
                oy = -height;
        }
    } else if (m_kind == Kind::MText) {
        const QStringList lines = plainMTextLines(TextString());
        // Lines longer than the reference width wrap: each takes as many rows as it needs.
        const double wrap = referenceWidth();
        qsizetype rows = 0;
        for (const QString &line : lines) {
            const double w = measureText(line, height, 1.0).width;
            if (wrap > 0 && w > wrap) {
                rows += qsizetype(std::ceil(w / wrap));
                width = qMax(width, wrap);
            } else {
                rows += 1;
                width = qMax(width, w);
            }
        }
        const double total = height * (1 + (qMax<qsizetype>(1, rows) - 1) * 5.0 / 3.0);
        const int a = qBound(1, attachmentPoint(), 9);
        const int column = (a - 1) % 3, row = (a - 1) / 3;
        ox = -width * column / 2.0;
        top = 0;
        bottom = -total;
        oy = row == 0 ? 0 : (row == 1 ? total / 2 : total);
    } else {
        return false;
    }
    const double angle = (m_kind == Kind::MText && !qFuzzyIsNull(alignmentPoint().x + alignmentPoint().y) &&
                          hasAlignmentPoint())
                             ? std::atan2(alignmentPoint().y, alignmentPoint().x)
                             : Rotation() * M_PI / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (double x : {ox, ox + width})
        for (double y : {oy + bottom, oy + top}) {
            const double rx = anchor.x + x * c - y * s;
            const double ry = anchor.y + x * s + y * c;
            minX = qMin(minX, rx);
            maxX = qMax(maxX, rx);
            minY = qMin(minY, ry);
            maxY = qMax(maxY, ry);
        }
    if (lowerLeft)
        *lowerLeft = {minX, minY, anchor.z};
    if (upperRight)
        *upperRight = {maxX, maxY, anchor.z};
    return true;
}

void CadEntity::Update() {
    if (isAlive())
        m_document->notifyChanged();
}

QString CadEntity::TagString() const {
    if (m_kind != Kind::Attribute && m_kind != Kind::AttributeDefinition)
        return {};
    return stringValue(2);
}

void CadEntity::setTagString(const QString &tag) {
    if ((m_kind != Kind::Attribute && m_kind != Kind::AttributeDefinition) || !isAlive())
        return;
    const int at = DxfFile::find(*m_chunk, 2, 1, ownLimit(m_document->file(), *m_chunk));
    if (at < 0)
        return;
    m_document->file().setValue(m_chunk, at, singleLineBytes(m_document, tag));
    m_document->markModified(this);
}

QString CadEntity::PromptString() const {
    if (m_kind != Kind::AttributeDefinition)
        return {};
    return stringValue(3);
}

void CadEntity::setPromptString(const QString &prompt) {
    if (m_kind != Kind::AttributeDefinition || !isAlive())
        return;
    const int limit = ownLimit(m_document->file(), *m_chunk);
    const int at = DxfFile::find(*m_chunk, 3, 1, limit);
    const QByteArray bytes = singleLineBytes(m_document, prompt);
    if (at >= 0) {
        m_document->file().setValue(m_chunk, at, bytes);
    } else {
        const int tag = DxfFile::find(*m_chunk, 2, 1, limit);
        if (tag < 0)
            return;
        m_document->file().insertPair(m_chunk, tag, 3, bytes);
    }
    m_document->markModified(this);
}

bool CadEntity::HasAttributes() const {
    return m_kind == Kind::BlockReference && isAlive() && m_extras && !m_extras->attributes.isEmpty();
}

QList<CadEntity *> CadEntity::GetAttributes() const {
    return HasAttributes() ? m_extras->attributes : QList<CadEntity *>();
}

TableCells &CadEntity::table() const {
    Extras &x = extras();
    if (!x.table)
        x.table = std::make_unique<TableCells>(TableCells::read(m_document->file(), *m_chunk));
    return *x.table;
}

int CadEntity::Rows() const {
    return m_kind == Kind::Table && isAlive() ? table().rows : 0;
}
int CadEntity::Columns() const {
    return m_kind == Kind::Table && isAlive() ? table().columns : 0;
}

QList<double> CadEntity::rowHeights() const {
    return m_kind == Kind::Table && isAlive() ? table().rowHeights : QList<double>();
}

QList<double> CadEntity::columnWidths() const {
    return m_kind == Kind::Table && isAlive() ? table().columnWidths : QList<double>();
}

QString CadEntity::GetText(int row, int column) const {
    if (m_kind != Kind::Table || !isAlive())
        return {};
    int from, to;
    table().textRange(row, column, &from, &to);
    if (from < 0)
        return {};
    const DxfFile &file = m_document->file();
    // The value's string: 2 and 3 continuation chunks, then 1; 302 (the formatted string) as a fallback.
    QByteArray raw;
    int formatted = -1;
    bool sawOne = false;
    for (int i = from; i < to; ++i) {
        const int code = m_chunk->pairs[i].code;
        if ((code == 2 || code == 3) && !sawOne)
            raw.append(file.value(m_chunk->pairs[i]));
        else if (code == 1 && !sawOne) {
            raw.append(file.value(m_chunk->pairs[i]));
            sawOne = true;
        } else if (code == 302 && formatted < 0)
            formatted = i;
    }
    if (!sawOne && formatted >= 0)
        raw = file.value(m_chunk->pairs[formatted]).toByteArray();
    return m_document->decode(raw);
}

QString CadEntity::GetCellTextStyle(int row, int column) const {
    if (m_kind != Kind::Table || !isAlive())
        return {};
    const TableCell *cell = table().cell(row, column);
    if (!cell)
        return {};
    const DxfFile &file = m_document->file();
    for (int i = cell->begin; i < cell->end; ++i) {
        if (i >= cell->valueBegin && i < cell->valueEnd)
            continue;
        if (m_chunk->pairs[i].code == 7)
            return m_document->decode(file.value(m_chunk->pairs[i]));
    }
    const QString own = stringValue(7);
    return own.isEmpty() ? QStringLiteral("Standard") : own;
}

int CadEntity::GetCellContentColor(int row, int column) const {
    if (m_kind != Kind::Table || !isAlive())
        return CadColor::ByBlock;
    const TableCell *cell = table().cell(row, column);
    if (!cell)
        return CadColor::ByBlock;
    const DxfFile &file = m_document->file();
    for (int i = cell->begin; i < cell->end; ++i) {
        if (i >= cell->valueBegin && i < cell->valueEnd)
            continue;
        if (m_chunk->pairs[i].code == 64)
            return file.trimmedValue(m_chunk->pairs[i]).toByteArray().toInt();
    }
    return CadColor::ByBlock; // the table style's usual text colour
}

CadPoint CadEntity::InsertionPoint() const {
    return {realValue(10, 0), realValue(20, 0), realValue(30, 0)};
}

CadPoint CadEntity::alignmentPoint() const {
    return {realValue(11, 0), realValue(21, 0), realValue(31, 0)};
}

bool CadEntity::hasAlignmentPoint() const {
    return isAlive() && DxfFile::find(*m_chunk, 11, 1, ownLimit(m_document->file(), *m_chunk)) >= 0;
}

double CadEntity::Height() const {
    return realValue(40, 0);
}
double CadEntity::Rotation() const {
    return m_kind == Kind::Arc ? 0 : realValue(50, 0);
}
int CadEntity::horizontalAlignment() const {
    return intValue(72, 0);
}
int CadEntity::verticalAlignment() const {
    return intValue(m_kind == Kind::Text ? 73 : 74, 0);
}
int CadEntity::attachmentPoint() const {
    return m_kind == Kind::MText ? intValue(71, 1) : 0;
}
double CadEntity::referenceWidth() const {
    return m_kind == Kind::MText ? realValue(41, 0) : 0;
}
CadPoint CadEntity::StartPoint() const {
    return InsertionPoint();
}
CadPoint CadEntity::EndPoint() const {
    return alignmentPoint();
}
CadPoint CadEntity::Center() const {
    return InsertionPoint();
}
double CadEntity::Radius() const {
    return realValue(40, 0);
}
double CadEntity::StartAngle() const {
    return realValue(50, 0);
}
double CadEntity::EndAngle() const {
    return realValue(51, 360);
}
double CadEntity::XScaleFactor() const {
    return m_kind == Kind::BlockReference ? realValue(41, 1) : 1;
}
double CadEntity::YScaleFactor() const {
    return m_kind == Kind::BlockReference ? realValue(42, 1) : 1;
}
double CadEntity::ZScaleFactor() const {
    return m_kind == Kind::BlockReference ? realValue(43, 1) : 1;
}

bool CadEntity::isClosed() const {
    return (m_kind == Kind::LwPolyline || m_kind == Kind::Polyline) && (intValue(70, 0) & 1);
}

QList<CadVertex> CadEntity::vertices() const {
    QList<CadVertex> out;
    if (!isAlive())
        return out;
    const DxfFile &file = m_document->file();
    if (m_kind == Kind::LwPolyline) {
        const int limit = ownLimit(file, *m_chunk);
        for (int i = 1; i < limit; ++i) {
            const DxfPair &p = m_chunk->pairs[i];
            if (p.code == 10)
                out.append({toReal(file.trimmedValue(p), 0), 0, 0});
            else if (p.code == 20 && !out.isEmpty())
                out.back().y = toReal(file.trimmedValue(p), 0);
            else if (p.code == 42 && !out.isEmpty())
                out.back().bulge = toReal(file.trimmedValue(p), 0);
        }
    } else if (m_kind == Kind::Polyline) {
        for (const DxfChunk *vertex : extras().vertices) {
            CadVertex v;
            for (const DxfPair &p : vertex->pairs) {
                if (p.code == 10)
                    v.x = toReal(file.trimmedValue(p), 0);
                else if (p.code == 20)
                    v.y = toReal(file.trimmedValue(p), 0);
                else if (p.code == 42)
                    v.bulge = toReal(file.trimmedValue(p), 0);
            }
            out.append(v);
        }
    }
    return out;
}

bool CadEntity::hasSubclass(const QString &marker) const {
    if (!isAlive())
        return false;
    const DxfFile &file = m_document->file();
    const QByteArray wanted = marker.toLatin1();
    for (const DxfPair &p : m_chunk->pairs)
        if (p.code == 100 && file.trimmedValue(p).compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace tavlo::drawing
