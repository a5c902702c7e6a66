#include "XlsxReader.h"

#include "CellAddress.h"
#include "NumberText.h"

#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <zip.h>

#include <memory>

namespace tavlo::sheet::xlsx {

namespace {

const QString kMainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRelNs = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

// The bytes of one zip entry, decompressed while the XML parser asks for them, within a budget that all
// entries of the package share.
class ZipEntryDevice : public QIODevice {
public:
    ZipEntryDevice(zip_file_t *file, qint64 *budget)
        : m_file(file)
        , m_budget(budget) {}
    ~ZipEntryDevice() override {
        if (m_file)
            zip_fclose(m_file);
    }
    bool isSequential() const override { return true; }
    bool overBudget() const { return m_overBudget; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override {
        if (m_overBudget || m_failed)
            return -1;
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        if (n < 0) {
            m_failed = true;
            return -1;
        }
        *m_budget -= n;
        if (*m_budget < 0) {
            m_overBudget = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 *m_budget;
    bool m_overBudget = false;
    bool m_failed = false;
};

class Package {
public:
    ~Package() {
        if (m_zip)
            zip_discard(m_zip);
    }

    bool open(const QByteArray &file, qint64 inflatedBudget, QString *error) {
        m_budget = inflatedBudget;
        zip_error_t zerr;
        zip_error_init(&zerr);
        zip_source_t *source =
            zip_source_buffer_create(file.constData(), zip_uint64_t(file.size()), 0, &zerr);
        if (!source) {
            zip_error_fini(&zerr);
            return fail(error, QStringLiteral("内存不足"));
        }
        m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &zerr);
        if (!m_zip) {
            zip_source_free(source);
            const int code = zip_error_code_zip(&zerr);
            zip_error_fini(&zerr);
            if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
                return fail(error, QStringLiteral("压缩包已损坏或不完整"));
            return fail(error, QStringLiteral("无法打开压缩包（错误 %1）").arg(code));
        }
        zip_error_fini(&zerr);
        return true;
    }

    bool has(const QString &name) const { return locate(name) >= 0; }

    // nullptr when the entry is missing or cannot be decompressed.
    std::unique_ptr<ZipEntryDevice> openEntry(const QString &name) {
        const zip_int64_t index = locate(name);
        if (index < 0)
            return nullptr;
        zip_file_t *file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
        if (!file)
            return nullptr;
        auto device = std::make_unique<ZipEntryDevice>(file, &m_budget);
        device->open(QIODevice::ReadOnly);
        return device;
    }

private:
    zip_int64_t locate(const QString &name) const {
        const QByteArray utf8 = name.toUtf8();
        zip_int64_t index = zip_name_locate(m_zip, utf8.constData(), 0);
        if (index < 0)
            index = zip_name_locate(m_zip, utf8.constData(), ZIP_FL_NOCASE);
        return index;
    }

    zip_t *m_zip = nullptr;
    qint64 m_budget = 0;
};

// Runs one XML part through a handler, with the checks every part needs.
class PartReader {
public:
    PartReader(Package &package, QString *error)
        : m_package(package)
        , m_error(error) {}

    // `handle` is called for every start element; it may consume the element's content.
    template <typename Handler> bool parse(const QString &part, bool required, Handler &&handle) {
        std::unique_ptr<ZipEntryDevice> device = m_package.openEntry(part);
        if (!device) {
            if (!required && !m_package.has(part))
                return true;
            return fail(m_error, QStringLiteral("缺少或无法解压“%1”").arg(part));
        }
        QXmlStreamReader xml(device.get());
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::DTD)
                return fail(m_error, QStringLiteral("“%1”含有文档类型声明，拒绝读取").arg(part));
            if (token == QXmlStreamReader::StartElement && !handle(xml))
                return false;
        }
        if (device->overBudget())
            return fail(m_error, QStringLiteral("解压后的数据超过上限（可能是压缩炸弹）"));
        if (device->failed())
            return fail(m_error, QStringLiteral("“%1”解压失败，文件已损坏").arg(part));
        if (xml.hasError())
            return fail(m_error, QStringLiteral("“%1”的 XML 有误（第 %2 行）：%3")
                                     .arg(part)
                                     .arg(xml.lineNumber())
                                     .arg(xml.errorString()));
        return true;
    }

    QString *error() const { return m_error; }

private:
    Package &m_package;
    QString *m_error;
};

// Concatenated text of the <t> elements below the current element (phonetic runs left out).
QString richText(QXmlStreamReader &xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"rPh") {
                xml.skipCurrentElement();
            } else if (xml.name() == u"t") {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return decodeEscapes(text);
}

struct Relationship {
    QString type;
    QString target;
};

bool readRelationships(PartReader &reader, const QString &sourcePart, QHash<QString, Relationship> *rels) {
    const qsizetype slash = sourcePart.lastIndexOf(u'/');
    const QString relsPart = sourcePart.left(slash + 1) + QStringLiteral("_rels/") +
                             sourcePart.mid(slash + 1) + QStringLiteral(".rels");
    return reader.parse(relsPart, false, [&](QXmlStreamReader &xml) {
        if (xml.name() == u"Relationship") {
            const auto a = xml.attributes();
            if (a.value(QLatin1String("TargetMode")) != u"External")
                rels->insert(a.value(QLatin1String("Id")).toString(),
                             {a.value(QLatin1String("Type")).toString(),
                              resolvePartName(sourcePart, a.value(QLatin1String("Target")).toString())});
        }
        return true;
    });
}

struct Styles {
    QHash<int, QString> customFormats;
    QList<int> cellFormatIds; // by cell XF index

    QString formatOfStyle(int xfIndex) const {
        if (xfIndex < 0 || xfIndex >= cellFormatIds.size())
            return {};
        const int id = cellFormatIds[xfIndex];
        const auto it = customFormats.constFind(id);
        return it != customFormats.constEnd() ? it.value() : builtinNumberFormat(id);
    }
};

bool readStyles(PartReader &reader, const QString &part, Styles *styles) {
    bool inCellXfs = false;
    return reader.parse(part, false, [&](QXmlStreamReader &xml) {
        const QStringView name = xml.name();
        if (name == u"numFmt") {
            const auto a = xml.attributes();
            styles->customFormats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                                         a.value(QLatin1String("formatCode")).toString().left(255));
        } else if (name == u"cellXfs") {
            inCellXfs = true;
        } else if (name == u"cellStyleXfs" || name == u"dxfs" || name == u"cellStyles") {
            inCellXfs = false;
        } else if (name == u"xf" && inCellXfs) {
            if (styles->cellFormatIds.size() > 65535)
                return fail(reader.error(), QStringLiteral("样式表过大"));
            styles->cellFormatIds.append(xml.attributes().value(QLatin1String("numFmtId")).toInt());
        }
        return true;
    });
}

class SheetParser {
public:
    SheetParser(SheetData *sheet, const QStringList &sharedStrings, const Styles &styles, bool date1904,
                const ReadLimits &limits, qsizetype slotsBefore, qint64 *chars, QString *error)
        : m_sheet(sheet)
        , m_strings(sharedStrings)
        , m_styles(styles)
        , m_date1904(date1904)
        , m_limits(limits)
        , m_slotsBefore(slotsBefore)
        , m_chars(chars)
        , m_error(error) {}

    bool element(QXmlStreamReader &xml) {
        const QStringView name = xml.name();
        if (name == u"row")
            return row(xml);
        if (name == u"c")
            return cell(xml);
        if (name == u"col")
            return column(xml);
        if (name == u"mergeCell")
            return merge(xml);
        return true;
    }

    // Clears every cell of a merged area but its top-left one.
    bool applyMerges() {
        qint64 work = 0;
        for (const auto &m : std::as_const(m_merges)) {
            for (int r = m.top; r <= m.bottom; ++r) {
                if (r > m_sheet->lastRow())
                    break;
                for (int c = m.left; c <= std::min(m.right, m_sheet->lastColumn()); ++c) {
                    if ((r != m.top || c != m.left) && m_sheet->cell(r, c))
                        m_sheet->clearCell(r, c);
                    if (++work > 50'000'000)
                        return fail(m_error, QStringLiteral("合并单元格过多"));
                }
            }
        }
        return true;
    }

private:
    struct Merge {
        int top, left, bottom, right;
    };

    quint16 styleFormat(const QXmlStreamAttributes &a, QString *code) {
        if (!a.hasAttribute(QLatin1String("s")))
            return 0;
        *code = m_styles.formatOfStyle(a.value(QLatin1String("s")).toInt());
        return m_sheet->internFormat(*code);
    }

    bool row(QXmlStreamReader &xml) {
        const auto a = xml.attributes();
        if (a.hasAttribute(QLatin1String("r"))) {
            bool ok = false;
            const int r = a.value(QLatin1String("r")).toInt(&ok);
            if (!ok || r < 1 || r > kMaxRows)
                return fail(m_error, QStringLiteral("工作表的行号无效：%1")
                                         .arg(a.value(QLatin1String("r")).toString().left(20)));
            m_row = r;
        } else {
            ++m_row;
        }
        m_column = 0;
        return true;
    }

    bool cell(QXmlStreamReader &xml) {
        const auto a = xml.attributes();
        if (a.hasAttribute(QLatin1String("r"))) {
            int r = 0;
            int c = 0;
            if (!parseCellAddress(a.value(QLatin1String("r")), &r, &c))
                return fail(m_error, QStringLiteral("单元格地址无效：%1")
                                         .arg(a.value(QLatin1String("r")).toString().left(20)));
            m_row = r;
            m_column = c;
        } else {
            ++m_column;
        }
        if (m_row < 1 || m_column < 1 || m_column > kMaxColumns)
            return fail(m_error, QStringLiteral("单元格位置无效"));
        const QString type = a.value(QLatin1String("t")).toString();
        QString code;
        const quint16 format = styleFormat(a, &code);

        QString value;
        bool hasValue = false;
        bool hasInline = false;
        bool isFormula = false;
        QString formulaText;
        QString inlineText;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::EndElement && xml.name() == u"c")
                break;
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"v") {
                value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                hasValue = true;
            } else if (xml.name() == u"f") {
                // Shared and array formulas are kept by their results; a plain formula by its text too.
                const QStringView kind = xml.attributes().value(QLatin1String("t"));
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                isFormula = true;
                if ((kind.isEmpty() || kind == u"normal") && text.size() <= 8192)
                    formulaText = text;
            } else if (xml.name() == u"is") {
                inlineText = richText(xml);
                hasInline = true;
            } else {
                xml.skipCurrentElement();
            }
        }
        if (xml.hasError())
            return true; // reported by the part reader

        Cell cell;
        if (type == u"inlineStr") {
            if (hasInline && !inlineText.isEmpty())
                cell = Cell::fromText(inlineText, format);
        } else if (type == u"s") {
            if (hasValue) {
                bool ok = false;
                const qint64 index = value.trimmed().toLongLong(&ok);
                if (!ok || index < 0 || index >= m_strings.size())
                    return fail(m_error, QStringLiteral("共享字符串索引无效：%1").arg(value.left(20)));
                if (!m_strings[index].isEmpty())
                    cell = Cell::fromText(m_strings[index], format);
            }
        } else if (type == u"b") {
            if (hasValue)
                cell = Cell::fromBoolean(value.trimmed() == u"1" || value.trimmed() == u"true", format);
        } else if (type == u"e") {
            quint8 code = 0;
            if (hasValue && parseErrorText(value, &code))
                cell = Cell::fromError(code, format);
            else if (hasValue && !value.isEmpty())
                cell = Cell::fromText(decodeEscapes(value), format);
        } else if (type == u"str" && isFormula) {
            quint8 code = 0;
            if (hasValue && formulaText.trimmed() == value.trimmed() && parseErrorText(value, &code)) {
                cell = Cell::fromError(code, format); // a bare error value, as our writer stores it
                isFormula = false;
            } else {
                cell = Cell::fromText(hasValue ? decodeEscapes(value) : QString(), format);
            }
        } else if (type == u"str" || type == u"d") {
            if (hasValue && !value.isEmpty())
                cell = Cell::fromText(decodeEscapes(value), format);
        } else if (hasValue && !value.trimmed().isEmpty()) {
            bool ok = false;
            double number = value.trimmed().toDouble(&ok);
            if (ok && std::isfinite(number)) {
                if (m_date1904 && isDateTimeFormat(code))
                    number += 1462; // the 1904 date system starts 1462 days later
                cell = Cell::fromNumber(number, format);
            } else {
                cell = Cell::fromText(value, format);
            }
        }
        if (isFormula && cell.kind == CellKind::Empty)
            cell = Cell::fromText(QString(), format); // a formula not yet calculated: no result so far
        if (cell.kind == CellKind::Empty) {
            // A value-less cell matters only when it carries a number format, such as text ("@").
            if (format == 0)
                return true;
            cell.format = format;
        }
        *m_chars += cell.text.size();
        if (*m_chars > m_limits.maxTextChars)
            return fail(m_error, QStringLiteral("工作簿中的文字超过读取上限"));
        if (!m_sheet->setCell(m_row, m_column, cell, m_limits.maxCellSlots - m_slotsBefore))
            return fail(m_error,
                        QStringLiteral("工作簿的单元格超过读取上限（%1 个）").arg(m_limits.maxCellSlots));
        if (isFormula && cell.kind != CellKind::Empty)
            m_sheet->setFormula(m_row, m_column, Formula{{}, formulaText});
        return true;
    }

    bool column(QXmlStreamReader &xml) {
        const auto a = xml.attributes();
        const int first = a.value(QLatin1String("min")).toInt();
        const int last = std::min(a.value(QLatin1String("max")).toInt(), kMaxColumns);
        if (first < 1 || first > last)
            return true;
        QString code;
        const quint16 format =
            a.hasAttribute(QLatin1String("style"))
                ? m_sheet->internFormat(m_styles.formatOfStyle(a.value(QLatin1String("style")).toInt()))
                : 0;
        const bool customWidth = a.hasAttribute(QLatin1String("width"));
        const double width = a.value(QLatin1String("width")).toDouble();
        for (int c = first; c <= last; ++c) {
            if (customWidth && width >= 0)
                m_sheet->setColumnWidth(c, userColumnWidth(width));
            if (format != 0)
                m_sheet->setColumnFormat(c, format);
        }
        return true;
    }

    bool merge(QXmlStreamReader &xml) {
        const QString ref = xml.attributes().value(QLatin1String("ref")).toString();
        const qsizetype colon = ref.indexOf(u':');
        Merge m{};
        if (colon < 0 || !parseCellAddress(QStringView(ref).left(colon), &m.top, &m.left) ||
            !parseCellAddress(QStringView(ref).mid(colon + 1), &m.bottom, &m.right))
            return true;
        if (m.top > m.bottom)
            std::swap(m.top, m.bottom);
        if (m.left > m.right)
            std::swap(m.left, m.right);
        if (m_merges.size() >= 100'000)
            return fail(m_error, QStringLiteral("合并单元格过多"));
        m_merges.append(m);
        return true;
    }

    SheetData *m_sheet;
    const QStringList &m_strings;
    const Styles &m_styles;
    bool m_date1904;
    const ReadLimits &m_limits;
    qsizetype m_slotsBefore;
    qint64 *m_chars;
    QString *m_error;
    int m_row = 0;
    int m_column = 0;
    QList<Merge> m_merges;
};

} // namespace

QString decodeEscapes(const QString &text) {
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = QStringView(text).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString resolvePartName(const QString &sourcePart, const QString &target) {
    QString path;
    if (target.startsWith(u'/'))
        path = target.mid(1);
    else
        path = sourcePart.left(sourcePart.lastIndexOf(u'/') + 1) + target;
    QStringList segments;
    for (const QString &segment : path.split(u'/')) {
        if (segment.isEmpty() || segment == u".")
            continue;
        if (segment == u"..") {
            if (!segments.isEmpty())
                segments.removeLast();
            continue;
        }
        segments.append(segment);
    }
    return segments.join(u'/');
}

bool read(const QByteArray &file, const ReadLimits &limits, BookContent *book, QString *error) {
    Package package;
    if (!package.open(file, limits.maxInflatedBytes, error))
        return false;
    PartReader reader(package, error);

    // The package relationships name the workbook part.
    QHash<QString, Relationship> packageRels;
    if (!readRelationships(reader, QString(), &packageRels))
        return false;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const Relationship &rel : std::as_const(packageRels))
        if (rel.type.endsWith(QLatin1String("/officeDocument")))
            workbookPart = rel.target;
    if (!package.has(workbookPart))
        return fail(error, QStringLiteral("压缩包中没有工作簿（不是 .xlsx 文件）"));

    struct SheetEntry {
        QString name;
        QString relId;
    };
    QList<SheetEntry> sheetEntries;
    bool date1904 = false;
    int activeTab = 0;
    if (!reader.parse(workbookPart, true, [&](QXmlStreamReader &xml) {
            const auto a = xml.attributes();
            if (xml.name() == u"sheet") {
                if (sheetEntries.size() >= 4096)
                    return fail(error, QStringLiteral("工作表过多"));
                QString relId = a.value(kRelNs, QLatin1String("id")).toString();
                if (relId.isEmpty())
                    relId = a.value(QLatin1String("r:id")).toString();
                sheetEntries.append({a.value(QLatin1String("name")).toString(), relId});
            } else if (xml.name() == u"workbookPr") {
                date1904 = a.value(QLatin1String("date1904")) == u"1" ||
                           a.value(QLatin1String("date1904")) == u"true";
            } else if (xml.name() == u"workbookView") {
                activeTab = a.value(QLatin1String("activeTab")).toInt();
            }
            return true;
        }))
        return false;

    QHash<QString, Relationship> workbookRels;
    if (!readRelationships(reader, workbookPart, &workbookRels))
        return false;
    QString stringsPart;
    QString stylesPart;
    for (const Relationship &rel : std::as_const(workbookRels)) {
        if (rel.type.endsWith(QLatin1String("/sharedStrings")))
            stringsPart = rel.target;
        else if (rel.type.endsWith(QLatin1String("/styles")))
            stylesPart = rel.target;
    }

    QStringList sharedStrings;
    qint64 chars = 0;
    if (!stringsPart.isEmpty() && !reader.parse(stringsPart, false, [&](QXmlStreamReader &xml) {
            if (xml.name() == u"si") {
                const QString text = richText(xml);
                chars += text.size();
                if (chars > limits.maxTextChars || sharedStrings.size() >= limits.maxCellSlots)
                    return fail(error, QStringLiteral("共享字符串超过读取上限"));
                sharedStrings.append(text);
            }
            return true;
        }))
        return false;

    Styles styles;
    if (!stylesPart.isEmpty() && !readStyles(reader, stylesPart, &styles))
        return false;

    BookContent content;
    qsizetype slotsBefore = 0;
    for (int i = 0; i < sheetEntries.size(); ++i) {
        const auto rel = workbookRels.constFind(sheetEntries[i].relId);
        if (rel == workbookRels.constEnd() || !rel->type.endsWith(QLatin1String("/worksheet"))) {
            if (i == activeTab)
                activeTab = 0;
            continue; // chart sheets and dialog sheets hold no cells
        }
        SheetData sheet(sheetEntries[i].name);
        SheetParser parser(&sheet, sharedStrings, styles, date1904, limits, slotsBefore, &chars, error);
        if (!reader.parse(rel->target, true, [&](QXmlStreamReader &xml) { return parser.element(xml); }) ||
            !parser.applyMerges())
            return false;
        if (i == activeTab)
            content.activeSheet = int(content.sheets.size());
        slotsBefore += sheet.cellSlots();
        content.sheets.push_back(std::move(sheet));
    }
    if (content.sheets.empty())
        return fail(error, QStringLiteral("工作簿中没有工作表"));
    *book = std::move(content);
    return true;
}

} // namespace tavlo::sheet::xlsx
