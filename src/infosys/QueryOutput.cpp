#include "QueryOutput.h"

#include "platform/text/TextCodec.h"

#include <QFile>
#include <QFileInfo>

namespace QueryOutput {

QString SummaryLine(const QDateTime &when, int count) {
    return when.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" - ") +
           when.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" 查到以上 ") + QString::number(count) +
           QStringLiteral(" 条。");
}

QStringList ResultLines(const QStringList &rowTexts, const RecordSchema &schema, const QString &summary) {
    QStringList lines{QString()};
    for (const QString &row : rowTexts) {
        const QStringList fields = row.split(u'|');
        for (int k = 0; k < fields.size(); ++k) {
            const QString caption = k < RecordSchema::kAttributeCount ? schema.attributes[k] : QString();
            lines << caption + QStringLiteral("： ") + fields[k];
        }
        lines << QString();
    }
    lines << QString() << summary;
    return lines;
}

int AppendToQueryFile(const QString &path, const QStringList &lines) {
    QFileInfo info(path);
    if (info.exists() && info.size() >= kRestartSize)
        QFile::remove(path);

    QFile file(path);
    QByteArray existing;
    if (file.open(QIODevice::ReadOnly)) {
        existing = file.readAll();
        file.close();
    }
    tavlo::text::Encoding encoding = tavlo::text::Encoding::Utf8;
    const QString oldText = tavlo::text::decodeFileText(existing, &encoding);
    const QString lineEnd = existing.contains("\r\n") ? QStringLiteral("\r\n") : QStringLiteral("\n");

    QString added;
    for (const QString &line : lines)
        added += line + lineEnd;
    // A BOM belongs at the start of the file only.
    const auto appendEncoding =
        encoding == tavlo::text::Encoding::Utf8Bom ? tavlo::text::Encoding::Utf8 : encoding;
    if (!file.open(QIODevice::Append))
        return 0;
    const QByteArray bytes = tavlo::text::encodeFileText(added, appendEncoding);
    if (file.write(bytes) != bytes.size())
        return 0;
    file.close();
    return static_cast<int>((oldText + added).count(lineEnd));
}

} // namespace QueryOutput
