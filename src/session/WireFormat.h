#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The text layout of the session's lines: "[tag]payload", fixed-width number fields inside payloads,
// and the number readings. Pure functions.
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
