#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo::text {

// How a text file was (or is to be) stored on disk.
enum class Encoding { Utf8, Utf8Bom, Gb18030 };

bool isValidUtf8(const QByteArray &bytes);

// Decodes a file's bytes: UTF-8 when they are valid UTF-8 (with or without BOM), otherwise GB18030,
// which also reads every GBK file as Chinese Windows wrote it.
QString decodeFileText(const QByteArray &bytes, Encoding *detected = nullptr);
QByteArray encodeFileText(const QString &text, Encoding encoding);

// The session's wire encoding: GB18030, byte-compatible with GBK for every GBK character.
QByteArray toWire(const QString &text);
QString fromWire(const QByteArray &bytes);

// GBK/GB18030 bytes of a single character; empty when it cannot be encoded.
QByteArray toGb18030(const QString &text);

} // namespace tavlo::text
