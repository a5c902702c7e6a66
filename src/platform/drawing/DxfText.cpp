#include "DxfText.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>

namespace tavlo::drawing {

namespace {

bool isAscii(QByteArrayView raw) {
    for (char c : raw)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Parses `count` hex digits at text[at]; -1 when they are not all hex.
long hexRun(const QString &text, qsizetype at, int count) {
    if (at + count > text.size())
        return -1;
    long value = 0;
    for (int i = 0; i < count; ++i) {
        const int h = hexValue(text[at + i]);
        if (h < 0)
            return -1;
        value = value * 16 + h;
    }
    return value;
}

// Decoders are costly to open; one per codec name is kept for the thread's lifetime.
QString decodeWith(const QByteArray &codec, QByteArrayView bytes) {
    thread_local QHash<QByteArray, std::shared_ptr<QStringDecoder>> decoders;
    auto &decoder = decoders[codec];
    if (!decoder)
        decoder = std::make_shared<QStringDecoder>(codec.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder->isValid())
        return QString::fromLatin1(bytes.data(), bytes.size());
    return decoder->decode(bytes);
}

QByteArray encodeWith(const QByteArray &codec, const QString &text, bool *ok) {
    thread_local QHash<QByteArray, std::shared_ptr<QStringEncoder>> encoders;
    auto &encoder = encoders[codec];
    if (!encoder)
        encoder = std::make_shared<QStringEncoder>(codec.constData(), QStringEncoder::Flag::Stateless);
    if (!encoder->isValid()) {
        *ok = false;
        return {};
    }
    QByteArray bytes = encoder->encode(text);
    // The error flag of an encoder is sticky, and some codecs substitute silently: only a faithful round
    // trip counts.
    *ok = decodeWith(codec, bytes) == text;
    return bytes;
}

QByteArray unicodeEscape(char16_t unit) {
    return QByteArray("\\U+") + QByteArray::number(unit, 16).toUpper().rightJustified(4, '0');
}

} // namespace

bool looksLikeUtf8(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    bool multi = false;
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        multi = true;
        i += extra + 1;
    }
    return multi;
}

QByteArray codecForCodePage(QByteArrayView codePage) {
    const QByteArray cp = codePage.toByteArray().trimmed().toUpper();
    static const QHash<QByteArray, QByteArray> known = {
        {"ANSI_936", "GBK"},
        {"ANSI_950", "Big5"},
        {"ANSI_932", "Shift_JIS"},
        {"ANSI_949", "windows-949"},
        {"ANSI_1361", "ibm-1363"},
        {"ANSI_874", "windows-874"},
        {"ANSI_1250", "windows-1250"},
        {"ANSI_1251", "windows-1251"},
        {"ANSI_1252", "windows-1252"},
        {"ANSI_1253", "windows-1253"},
        {"ANSI_1254", "windows-1254"},
        {"ANSI_1255", "windows-1255"},
        {"ANSI_1256", "windows-1256"},
        {"ANSI_1257", "windows-1257"},
        {"ANSI_1258", "windows-1258"},
        {"DOS437", "IBM437"},
        {"DOS850", "IBM850"},
        {"DOS852", "IBM852"},
        {"DOS855", "IBM855"},
        {"DOS857", "IBM857"},
        {"DOS860", "IBM860"},
        {"DOS861", "IBM861"},
        {"DOS863", "IBM863"},
        {"DOS864", "IBM864"},
        {"DOS865", "IBM865"},
        {"DOS866", "IBM866"},
        {"DOS869", "IBM869"},
        {"DOS932", "Shift_JIS"},
        {"GB2312", "GBK"},
        {"BIG5", "Big5"},
    };
    return known.value(cp);
}

DxfTextCodec DxfTextCodec::forFile(QByteArrayView acadVersion, QByteArrayView codePage, bool bytesAreUtf8) {
    DxfTextCodec codec;
    const QByteArray version = acadVersion.toByteArray().trimmed().toUpper();
    const bool unicodeRelease = version.startsWith("AC") && version.mid(2).toInt() >= 1021;
    if (unicodeRelease || bytesAreUtf8)
        return codec;
    codec.m_codecName = codecForCodePage(codePage);
    if (codec.m_codecName.isEmpty())
        codec.m_codecName = "windows-1252"; // the CAD program's default ANSI page
    return codec;
}

QString DxfTextCodec::decode(QByteArrayView raw) const {
    QString text;
    if (isAscii(raw))
        text = QString::fromLatin1(raw.data(), raw.size());
    else if (isUtf8())
        text = QString::fromUtf8(raw.data(), raw.size());
    else
        text = decodeWith(m_codecName, raw);
    if (text.contains(QLatin1String("\\U+")) || text.contains(QLatin1String("\\M+")))
        return decodeDxfEscapes(text);
    return text;
}

QByteArray DxfTextCodec::encode(const QString &text) const {
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    if (isUtf8())
        return text.toUtf8();
    bool ok = false;
    QByteArray whole = encodeWith(m_codecName, text, &ok);
    if (ok)
        return whole;
    // Character by character: what the code page lacks becomes \U+XXXX (both halves of a surrogate pair).
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(unicodeEscape(c.unicode())).append(unicodeEscape(text[i + 1].unicode()));
            ++i;
            continue;
        }
        const QByteArray one = encodeWith(m_codecName, QString(c), &ok);
        out.append(ok ? one : unicodeEscape(c.unicode()));
    }
    return out;
}

bool DxfTextCodec::canHold(QStringView character) const {
    if (isUtf8() || (character.size() == 1 && character[0].unicode() < 0x80))
        return true;
    bool ok = false;
    encodeWith(m_codecName, character.toString(), &ok);
    return ok;
}

QString decodeDxfEscapes(const QString &text) {
    static const char *const mifCodecs[] = {"", "Shift_JIS", "Big5", "windows-949", "ibm-1363", "GBK"};
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 2 < text.size() && text[i + 2] == QLatin1Char('+')) {
            if (text[i + 1] == QLatin1Char('U')) {
                // Some writers use 8 digits beyond the BMP ("\U+0001F600"); 4 digits otherwise.
                const long wide = hexRun(text, i + 3, 8);
                if (wide >= 0x10000 && wide <= 0x10FFFF) {
                    const char32_t cp = char32_t(wide);
                    out.append(QString::fromUcs4(&cp, 1));
                    i += 10;
                    continue;
                }
                const long narrow = hexRun(text, i + 3, 4);
                if (narrow >= 0) {
                    out.append(QChar(char16_t(narrow)));
                    i += 6;
                    continue;
                }
            } else if (text[i + 1] == QLatin1Char('M') && i + 3 < text.size()) {
                const int page = text[i + 3].unicode() - '0';
                const long code = hexRun(text, i + 4, 4);
                if (page >= 1 && page <= 5 && code >= 0) {
                    const char bytes[2] = {char(code >> 8), char(code & 0xff)};
                    const QString decoded = decodeWith(mifCodecs[page], QByteArrayView(bytes, 2));
                    if (decoded.size() == 1 && decoded[0] != QChar(0xFFFD)) {
                        out.append(decoded);
                        i += 7;
                        continue;
                    }
                }
            }
        }
        out.append(c);
    }
    return out;
}

} // namespace tavlo::drawing
