#include "WorkbookFile.h"

#include "Biff8Writer.h"
#include "CompoundFile.h"
#include "CsvFormat.h"
#include "XlsReader.h"
#include "XlsxReader.h"
#include "XlsxWriter.h"
#include "platform/text/AtomicFile.h"
#include "platform/text/TextCodec.h"

#include <QFile>
#include <QFileInfo>

namespace tavlo::sheet {

namespace {

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

bool hasExcelExtension(const QString &path) {
    static const QStringList excel{QStringLiteral("xls"),  QStringLiteral("xlsx"), QStringLiteral("xlsm"),
                                   QStringLiteral("xlsb"), QStringLiteral("xlt"),  QStringLiteral("xltx"),
                                   QStringLiteral("xltm")};
    return excel.contains(QFileInfo(path).suffix().toLower());
}

} // namespace

FileFormat formatForSaving(const QString &path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx")
        return FileFormat::Xlsx;
    if (suffix == u"xls")
        return FileFormat::Xls;
    if (suffix == u"csv")
        return FileFormat::Csv;
    return FileFormat::Unknown;
}

FileFormat formatOfContent(const QByteArray &bytes) {
    if (bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06"))
        return FileFormat::Xlsx;
    if (bytes.startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
        return FileFormat::Xls;
    if (!bytes.left(4096).contains('\0'))
        return FileFormat::Csv;
    return FileFormat::Unknown;
}

QString sheetNameFrom(const QString &text) {
    QString name = text;
    for (QChar &c : name)
        if (QStringLiteral("[]:*?/\\").contains(c) || c.unicode() < 0x20)
            c = u'_';
    name = name.left(31);
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    return name.trimmed().isEmpty() ? QStringLiteral("Sheet1") : name;
}

qsizetype formulasNotKept(const BookView &book, FileFormat format) {
    if (format != FileFormat::Xls && format != FileFormat::Xlsx)
        return 0;
    qsizetype lost = 0;
    for (const SheetData *sheet : book.sheets)
        sheet->forEachFormula([&](int, int, const Formula &formula) {
            if (format == FileFormat::Xls ? formula.tokens.isEmpty() : formula.text.isEmpty())
                ++lost;
        });
    return lost;
}

bool readWorkbookFile(const QString &path, BookContent *book, QString *error, const ReadLimits &limits) {
    QFile file(path);
    if (!file.exists())
        return fail(error, QStringLiteral("找不到文件“%1”").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("无法读取文件“%1”：%2").arg(path, file.errorString()));
    if (file.size() > limits.maxFileBytes)
        return fail(error,
                    QStringLiteral("文件“%1”过大（超过 %2 MB）").arg(path).arg(limits.maxFileBytes >> 20));
    // Read only what the file holds: a buffer sized by the limit would cost its whole size on every open.
    const QByteArray bytes = file.readAll();
    if (bytes.size() > limits.maxFileBytes)
        return fail(error,
                    QStringLiteral("文件“%1”过大（超过 %2 MB）").arg(path).arg(limits.maxFileBytes >> 20));
    file.close();

    QString reason;
    bool ok = false;
    FileFormat format = formatOfContent(bytes);
    if (format == FileFormat::Csv && (bytes.isEmpty() || hasExcelExtension(path)))
        format = FileFormat::Unknown;
    switch (format) {
    case FileFormat::Xlsx:
        ok = xlsx::read(bytes, limits, book, &reason);
        break;
    case FileFormat::Xls:
        ok = xls::read(bytes, limits, book, &reason);
        break;
    case FileFormat::Csv: {
        BookContent content;
        content.sheets.emplace_back(sheetNameFrom(QFileInfo(path).completeBaseName()));
        ok = csv::parse(text::decodeFileText(bytes), &content.sheets.front(), limits, &reason);
        if (ok)
            *book = std::move(content);
        break;
    }
    case FileFormat::Unknown:
        reason = bytes.isEmpty() ? QStringLiteral("文件是空的")
                                 : QStringLiteral("不是可识别的工作簿（.xlsx、.xls 或 .csv），或文件已损坏");
        break;
    }
    if (!ok)
        return fail(error, QStringLiteral("无法打开“%1”：%2").arg(QFileInfo(path).fileName(), reason));
    return true;
}

bool writeWorkbookFile(const QString &path, const BookView &book, QString *error) {
    QByteArray bytes;
    QString reason;
    bool ok = false;
    switch (formatForSaving(path)) {
    case FileFormat::Xlsx:
        ok = xlsx::write(book, &bytes, &reason);
        break;
    case FileFormat::Xls: {
        QByteArray stream;
        ok = biff8::buildWorkbookStream(book, &stream, &reason);
        if (ok)
            bytes = cfb::build(QStringLiteral("Workbook"), stream);
        break;
    }
    case FileFormat::Csv: {
        if (book.sheets.isEmpty()) {
            reason = QStringLiteral("工作簿中没有工作表");
            break;
        }
        const int active = std::clamp(book.activeSheet, 0, int(book.sheets.size()) - 1);
        bytes = csv::writeUtf8(*book.sheets[active]);
        ok = true;
        break;
    }
    case FileFormat::Unknown:
        reason = QStringLiteral("只能保存为 .xlsx、.xls 或 .csv 文件");
        break;
    }
    if (ok && !text::writeFileAtomically(path, bytes, &reason))
        ok = false;
    if (!ok)
        return fail(error, QStringLiteral("无法保存“%1”：%2").arg(QFileInfo(path).fileName(), reason));
    return true;
}

} // namespace tavlo::sheet
