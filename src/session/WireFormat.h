#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QtGlobal>

#include <optional>

// How the session's lines travel: cut from the bytes a connection delivers (LineFramer), as GB18030 text
// in the layout "[tag]payload" with fixed-width number fields inside payloads, and the number readings.
namespace WireFormat {

// The text of one received line (GB18030). Bytes that are not GB18030 each become "?", so the text
// never takes more bytes on the wire than the line did: relayed, it stays within the cap every peer
// enforces (the decoder's U+FFFD would take four bytes for each).
QString DecodeLine(const QByteArray &bytes);

// Width of a number field inside a payload.
inline constexpr int kFieldWidth = 10;
// The line terminator added when a line is handed to a socket.
inline constexpr char kLineEnd[] = "\r\n";

// The value rounded to a whole number (halves away from zero) in ten zero-padded digits
// ("0000000003"); a negative value as a minus sign and nine digits ("-000000001"). Values beyond
// nine (negative) or ten (positive) digits come out wider.
QString FormatNumberField(double value);
// Field k (from 1) of a payload: characters (k-1)*10+1 .. k*10, or whatever remains of them.
QString FieldAt(const QString &payload, int k);
// Everything from the start of field k to the end of the payload.
QString FieldsFrom(const QString &payload, int k);

// A line split at its first "]": the tag with its brackets, and the payload after it. A line without
// "]" has an empty tag and the whole line as payload.
struct Line {
    QString tag;
    QString payload;
};
Line SplitLine(const QString &line);

// Number readings of payload text: blanks around the number are allowed, then an optional sign and
// digits only. Empty when the text is no such number or the value does not fit.
std::optional<qint16> ToInt16(const QString &text);
std::optional<qint32> ToInt32(const QString &text);
// A coordinate: any decimal number (with an optional fraction) that fits a single-precision float.
std::optional<float> ToSingle(const QString &text);

} // namespace WireFormat

// Cuts the bytes one connection delivers into complete lines ending in CR LF. Whatever follows the last
// CR LF of an arrival is kept for the next one, so a line split across arrivals is put back together.
// A line longer than the cap marks the connection as misbehaving: the peer is to be dropped.
class LineFramer {
public:
    // Long enough for any line the program itself builds (the text boxes that feed a line are single
    // lines), short enough that a peer cannot make us hoard memory.
    static constexpr qsizetype kDefaultMaxLineBytes = 64 * 1024;

    explicit LineFramer(qsizetype maxLineBytes = kDefaultMaxLineBytes);

    // Takes the bytes of one arrival and returns the lines it completed, in order, without their CR LF.
    // When a line (complete or still growing) exceeds the cap, `overflow` is set, the lines before the
    // offending one are still returned, and everything else is thrown away.
    QByteArrayList feed(const QByteArray &bytes, bool *overflow);

    void clear();
    // Bytes held back waiting for their CR LF.
    qsizetype pending() const { return m_pending.size(); }

private:
    qsizetype m_maxLineBytes;
    QByteArray m_pending;
};
