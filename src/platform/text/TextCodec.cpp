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

QString decodeFileText(const QByteArray &bytes, Encoding *detected) {
    if (bytes.startsWith(kUtf8Bom) && isValidUtf8(bytes.mid(3))) {
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
    switch (encoding) {
    case Encoding::Utf8Bom:
        return kUtf8Bom + text.toUtf8();
    case Encoding::Gb18030:
        return toWire(text);
    case Encoding::Utf8:
        break;
    }
    return text.toUtf8();
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
