#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tavlo::drawing {

// How the strings of one DXF file are stored: UTF-8 from AC1021 (R2007) on, else the ANSI code page that
// $DWGCODEPAGE names, except that a file whose bytes are valid UTF-8 is read as UTF-8 whatever its header
// says (programs that write UTF-8 into old versions exist).
class DxfTextCodec {
public:
    DxfTextCodec() = default;
    static DxfTextCodec forFile(QByteArrayView acadVersion, QByteArrayView codePage, bool bytesAreUtf8);

    bool isUtf8() const { return m_codecName.isEmpty(); }
    // "UTF-8" or the codec's name ("GBK", "Big5", "windows-1252"...).
    QString name() const { return isUtf8() ? QStringLiteral("UTF-8") : QString::fromLatin1(m_codecName); }

    // Bytes of a value to text, with \U+XXXX and \M+nXXXX decoded.
    QString decode(QByteArrayView raw) const;
    // Text to bytes in this encoding; a character it cannot carry is written as \U+XXXX.
    QByteArray encode(const QString &text) const;
    // True when the code page holds the character (one code point) without a \U+ escape.
    bool canHold(QStringView character) const;

private:
    QByteArray m_codecName; // empty: UTF-8
};

// True when the bytes are valid UTF-8 and hold at least one multi-byte character.
bool looksLikeUtf8(QByteArrayView bytes);

// \U+XXXX (and the 8-digit form some writers use beyond the BMP) and \M+nXXXX to characters.
QString decodeDxfEscapes(const QString &text);
// The name of the codec for a $DWGCODEPAGE value ("ANSI_936" -> "GBK"); empty when unknown.
QByteArray codecForCodePage(QByteArrayView codePage);

} // namespace tavlo::drawing
