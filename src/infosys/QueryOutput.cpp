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

int AppendToQueryFile(const QString &path, const QStringList &lines, QString *error) {
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
    const QString lineEnd =
        oldText.contains(QStringLiteral("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");

    QString added;
    for (const QString &line : lines)
        added += line + lineEnd;
    if (!file.open(QIODevice::Append)) {
        if (error)
            *error = file.errorString();
        return 0;
    }
    // A byte order mark belongs at the start of the file only.
    const QByteArray bytes = existing.isEmpty() ? tavlo::text::encodeFileText(added, encoding)
                                                : tavlo::text::encodeWithoutBom(added, encoding);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A full disk may have taken part of the text: the file goes back to what it held.
        if (error)
            *error = file.errorString();
        file.resize(existing.size());
        return 0;
    }
    file.close();
    return static_cast<int>((oldText + added).count(lineEnd));
}

} // namespace QueryOutput
