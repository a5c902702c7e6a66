#include "WireFormat.h"

#include "platform/text/TextCodec.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace WireFormat {

namespace {

// Optional sign and digits, surrounded by blanks; the value clamped to what fits in 64 bits.
std::optional<qint64> toWhole(const QString &text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value < std::numeric_limits<qint64>::max() / 10)
            value = value * 10 + (c.unicode() - u'0');
    }
    return negative ? -value : value;
}

template <typename T> std::optional<T> inRange(std::optional<qint64> value) {
    if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max())
        return std::nullopt;
    return T(*value);
}

} // namespace

QString DecodeLine(const QByteArray &bytes) {
    QString text = tavlo::text::fromWire(bytes);
    // One replacement character stands for at least one byte that was not understood.
    text.replace(QChar::ReplacementCharacter, u'?');
    return text;
}

QString FormatNumberField(double value) {
    constexpr double kLimit = 1e18; // keeps the rounding defined; real fields are far smaller
    const long long whole = std::isfinite(value) ? std::llround(std::clamp(value, -kLimit, kLimit)) : 0;
    if (whole < 0)
        return u'-' + QString::number(-whole).rightJustified(kFieldWidth - 1, u'0');
    return QString::number(whole).rightJustified(kFieldWidth, u'0');
}

QString FieldAt(const QString &payload, int k) {
    if (k < 1)
        return QString();
    return payload.mid(qsizetype(k - 1) * kFieldWidth, kFieldWidth);
}

QString FieldsFrom(const QString &payload, int k) {
    if (k < 1)
        return payload;
    return payload.mid(qsizetype(k - 1) * kFieldWidth);
}

Line SplitLine(const QString &line) {
    const qsizetype end = line.indexOf(u']');
    if (end < 0)
        return {QString(), line};
    return {line.left(end + 1), line.mid(end + 1)};
}

std::optional<qint16> ToInt16(const QString &text) {
    return inRange<qint16>(toWhole(text));
}

std::optional<qint32> ToInt32(const QString &text) {
    return inRange<qint32>(toWhole(text));
}

std::optional<float> ToSingle(const QString &text) {
    const QString t = text.trimmed();
    for (const QChar c : t) {
        if (!(c.isDigit() || c == u'-' || c == u'+' || c == u'.'))
            return std::nullopt;
    }
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return float(value);
}

} // namespace WireFormat

LineFramer::LineFramer(qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes) {}

QByteArrayList LineFramer::feed(const QByteArray &bytes, bool *overflow) {
    *overflow = false;
    // A CR at the end of the held bytes may pair with an LF at the start of these.
    qsizetype searchFrom = qMax<qsizetype>(0, m_pending.size() - 1);
    m_pending += bytes;

    QByteArrayList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_pending.indexOf("\r\n", qMax(start, searchFrom));
        if (end < 0)
            break;
        if (end - start > m_maxLineBytes) {
            *overflow = true;
            clear();
            return lines;
        }
        lines.append(m_pending.mid(start, end - start));
        start = end + 2;
    }
    m_pending.remove(0, start);
    if (m_pending.size() > m_maxLineBytes + 1) { // + 1: the CR of a full-length line may wait for its LF
        *overflow = true;
        clear();
    }
    return lines;
}

void LineFramer::clear() {
    m_pending.clear();
}
