#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo::text {

// How a text file was (or is to be) stored on disk.
enum class Encoding { Utf8, Utf8Bom, Gb18030, Utf16Le, Utf16Be };

bool isValidUtf8(const QByteArray &bytes);

// The encoding a byte order mark at the start of the bytes names (UTF-8, UTF-16 LE or BE); Utf8 when
// there is none.
Encoding encodingOfBom(const QByteArray &bytes);
// The byte order mark an encoding starts a file with (empty for UTF-8 without BOM and GB18030).
QByteArray bomOf(Encoding encoding);
int bomLength(Encoding encoding);
// Text in an encoding without any byte order mark: for a piece of a file, or for appending to one.
QByteArray encodeWithoutBom(const QString &text, Encoding encoding);
QString decodeWithoutBom(const QByteArray &bytes, Encoding encoding);

// Decodes a file's bytes: UTF-16 after its byte order mark, UTF-8 when they are valid UTF-8 (with or
// without BOM), otherwise GB18030, which also reads every GBK file as Chinese Windows wrote it.
QString decodeFileText(const QByteArray &bytes, Encoding *detected = nullptr);
QByteArray encodeFileText(const QString &text, Encoding encoding);

// The session's wire encoding: GB18030, byte-compatible with GBK for every GBK character.
QByteArray toWire(const QString &text);
QString fromWire(const QByteArray &bytes);

// GBK/GB18030 bytes of a single character; empty when it cannot be encoded.
QByteArray toGb18030(const QString &text);

} // namespace tavlo::text
