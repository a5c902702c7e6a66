#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tavlo::text {

namespace {
const QByteArray kUtf8Bom("\xEF\xBB\xBF");
constexpr const char *kGb18030 = "GB18030";
} // namespace

bool isValidUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

Encoding encodingOfBom(const QByteArray &bytes) {
    if (bytes.startsWith(kUtf8Bom))
        return Encoding::Utf8Bom;
    if (bytes.startsWith("\xFF\xFE"))
        return Encoding::Utf16Le;
    if (bytes.startsWith("\xFE\xFF"))
        return Encoding::Utf16Be;
    return Encoding::Utf8;
}

QByteArray bomOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8Bom:
        return kUtf8Bom;
    case Encoding::Utf16Le:
        return QByteArray("\xFF\xFE");
    case Encoding::Utf16Be:
        return QByteArray("\xFE\xFF");
    case Encoding::Utf8:
    case Encoding::Gb18030:
        break;
    }
    return {};
}

int bomLength(Encoding encoding) {
    return int(bomOf(encoding).size());
}

QByteArray encodeWithoutBom(const QString &text, Encoding encoding) {
    switch (encoding) {
    case Encoding::Gb18030:
        return toWire(text);
    case Encoding::Utf16Le:
        return QStringEncoder(QStringEncoder::Utf16LE).encode(text);
    case Encoding::Utf16Be:
        return QStringEncoder(QStringEncoder::Utf16BE).encode(text);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        break;
    }
    return text.toUtf8();
}

QString decodeWithoutBom(const QByteArray &bytes, Encoding encoding) {
    switch (encoding) {
    case Encoding::Gb18030:
        return fromWire(bytes);
    case Encoding::Utf16Le:
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    case Encoding::Utf16Be:
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        break;
    }
    return QString::fromUtf8(bytes);
}

QString decodeFileText(const QByteArray &bytes, Encoding *detected) {
    const Encoding bom = encodingOfBom(bytes);
    if (bom == Encoding::Utf16Le || bom == Encoding::Utf16Be) {
        if (detected)
            *detected = bom;
        return decodeWithoutBom(bytes.mid(2), bom);
    }
    if (bom == Encoding::Utf8Bom && isValidUtf8(bytes.mid(3))) {
        if (detected)
            *detected = Encoding::Utf8Bom;
        return QString::fromUtf8(bytes.mid(3));
    }
    if (isValidUtf8(bytes)) {
        if (detected)
            *detected = Encoding::Utf8;
        return QString::fromUtf8(bytes);
    }
    if (detected)
        *detected = Encoding::Gb18030;
    return fromWire(bytes);
}

QByteArray encodeFileText(const QString &text, Encoding encoding) {
    return bomOf(encoding) + encodeWithoutBom(text, encoding);
}

QByteArray toWire(const QString &text) {
    QStringEncoder encoder(kGb18030);
    return encoder.encode(text);
}

QString fromWire(const QByteArray &bytes) {
    QStringDecoder decoder(kGb18030);
    return decoder.decode(bytes);
}

QByteArray toGb18030(const QString &text) {
    return toWire(text);
}

} // namespace tavlo::text
