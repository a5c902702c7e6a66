#include "DocxWriter.h"

#include "Document.h"

#include <QDateTime>
#include <QXmlStreamWriter>

#include <zip.h>

#include <cmath>
#include <list>

namespace tavlo::document {

namespace {

constexpr auto kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr auto kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr auto kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr auto kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

class Xml {
public:
    Xml()
        : w(&bytes) {
        w.writeStartDocument(QStringLiteral("1.0"), true);
    }
    QByteArray finish() {
        w.writeEndDocument();
        return bytes;
    }
    void start(const char *name) { w.writeStartElement(QString::fromLatin1(name)); }
    void end() { w.writeEndElement(); }
    void attr(const char *name, const QString &value) { w.writeAttribute(QString::fromLatin1(name), value); }
    void attr(const char *name, const char *value) { attr(name, QString::fromLatin1(value)); }
    void attr(const char *name, int value) { attr(name, QString::number(value)); }
    // An element with only attributes.
    void empty(const char *name, std::initializer_list<std::pair<const char *, QString>> attributes = {}) {
        w.writeEmptyElement(QString::fromLatin1(name));
        for (const auto &[n, v] : attributes)
            attr(n, v);
    }
    void text(const char *name, const QString &value) {
        w.writeTextElement(QString::fromLatin1(name), value);
    }
    QByteArray bytes;
    QXmlStreamWriter w;
};

QString num(int value) {
    return QString::number(value);
}

const char *alignmentValue(Alignment a) {
    switch (a) {
    case Alignment::Center:
        return "center";
    case Alignment::Right:
        return "right";
    case Alignment::Left:
        break;
    }
    return "left";
}

void writeRunFormat(Xml &x, const CharFormat &f) {
    x.start("w:rPr");
    x.empty("w:rFonts", {{"w:ascii", f.fontName}, {"w:hAnsi", f.fontName}, {"w:eastAsia", f.fontName}});
    if (f.bold) {
        x.empty("w:b");
        x.empty("w:bCs");
    }
    const QString half = num(int(std::lround(f.size * 2)));
    x.empty("w:sz", {{"w:val", half}});
    x.empty("w:szCs", {{"w:val", half}});
    x.end();
}

void writeTextRun(Xml &x, const QString &text, const CharFormat &f) {
    x.start("w:r");
    writeRunFormat(x, f);
    x.start("w:t");
    x.attr("xml:space", "preserve");
    x.w.writeCharacters(text);
    x.end();
    x.end();
}

// One paragraph; `pageBreakFirst` puts a page break before its text.
void writeParagraph(Xml &x, const QString &text, const CharFormat &f, Alignment a,
                    bool pageBreakFirst = false) {
    x.start("w:p");
    x.start("w:pPr");
    x.empty("w:jc", {{"w:val", QString::fromLatin1(alignmentValue(a))}});
    writeRunFormat(x, f);
    x.end();
    if (pageBreakFirst) {
        x.start("w:r");
        x.empty("w:br", {{"w:type", QStringLiteral("page")}});
        x.end();
    }
    if (!text.isEmpty())
        writeTextRun(x, text, f);
    x.end();
}

void writeBorder(Xml &x, const char *name, bool on) {
    if (on)
        x.empty(name, {{"w:val", QStringLiteral("single")},
                       {"w:sz", QStringLiteral("4")},
                       {"w:space", QStringLiteral("0")},
                       {"w:color", QStringLiteral("auto")}});
    else
        x.empty(name, {{"w:val", QStringLiteral("nil")}});
}

// Only what differs from the table's own borders (single lines all round, no diagonals).
void writeCellBorders(Xml &x, const Cell &c) {
    const std::pair<const char *, Border> sides[] = {{"w:top", Border::Top},
                                                     {"w:left", Border::Left},
                                                     {"w:bottom", Border::Bottom},
                                                     {"w:right", Border::Right}};
    const std::pair<const char *, Border> diagonals[] = {{"w:tl2br", Border::DiagonalDown},
                                                         {"w:tr2bl", Border::DiagonalUp}};
    bool plain = c.border(Border::DiagonalDown) == false && c.border(Border::DiagonalUp) == false;
    for (const auto &side : sides)
        plain = plain && c.border(side.second);
    if (plain)
        return;
    x.start("w:tcBorders");
    for (const auto &[name, which] : sides)
        if (!c.border(which))
            writeBorder(x, name, false);
    for (const auto &[name, which] : diagonals)
        if (c.border(which))
            writeBorder(x, name, true);
    x.end();
}

void writeTable(Xml &x, const Table &t) {
    // Boundaries in twips, rounded once, so the grid columns and every cell's span add up exactly.
    const QList<double> grid = t.gridBoundaries();
    QList<int> gridTwips;
    for (double b : grid)
        gridTwips.append(toTwips(b));
    auto gridIndex = [&](double x) {
        const int tw = toTwips(x);
        int best = 0;
        for (int i = 0; i < gridTwips.size(); ++i)
            if (std::abs(gridTwips[i] - tw) < std::abs(gridTwips[best] - tw))
                best = i;
        return best;
    };
    x.start("w:tbl");
    x.start("w:tblPr");
    if (t.autoFit() == AutoFit::Window)
        x.empty("w:tblW", {{"w:w", QStringLiteral("5000")}, {"w:type", QStringLiteral("pct")}});
    else
        x.empty("w:tblW", {{"w:w", num(gridTwips.last())}, {"w:type", QStringLiteral("dxa")}});
    x.start("w:tblBorders");
    for (const char *side : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"})
        writeBorder(x, side, true);
    x.end();
    x.empty("w:tblLayout", {{"w:type", t.autoFit() == AutoFit::Fixed ? QStringLiteral("fixed")
                                                                     : QStringLiteral("autofit")}});
    x.start("w:tblCellMar");
    x.empty("w:left", {{"w:w", num(toTwips(kCellPadding))}, {"w:type", QStringLiteral("dxa")}});
    x.empty("w:right", {{"w:w", num(toTwips(kCellPadding))}, {"w:type", QStringLiteral("dxa")}});
    x.end();
    x.empty("w:tblLook", {{"w:val", QStringLiteral("0000")}});
    x.end();
    x.start("w:tblGrid");
    for (int i = 1; i < gridTwips.size(); ++i)
        x.empty("w:gridCol", {{"w:w", num(gridTwips[i] - gridTwips[i - 1])}});
    x.end();
    for (int r = 1; r <= t.RowsCount(); ++r) {
        const Row &row = t.row(r);
        x.start("w:tr");
        x.start("w:trPr");
        if (row.height > 0)
            x.empty("w:trHeight",
                    {{"w:val", num(toTwips(row.height))}, {"w:hRule", QStringLiteral("atLeast")}});
        x.end();
        double left = 0;
        for (const Cell &c : row.cells) {
            const int from = gridIndex(left);
            left += c.width;
            const int to = gridIndex(left);
            x.start("w:tc");
            x.start("w:tcPr");
            x.empty("w:tcW",
                    {{"w:w", num(gridTwips[to] - gridTwips[from])}, {"w:type", QStringLiteral("dxa")}});
            if (to - from > 1)
                x.empty("w:gridSpan", {{"w:val", num(to - from)}});
            writeCellBorders(x, c);
            x.end();
            for (const QString &paragraph : c.text.split(QLatin1Char('\r')))
                writeParagraph(x, paragraph, c.format, c.alignment);
            x.end();
        }
        x.end();
    }
    x.end();
}

void writeSectionProperties(Xml &x, const PageSetup &p) {
    x.start("w:sectPr");
    x.empty("w:headerReference", {{"w:type", QStringLiteral("default")}, {"r:id", QStringLiteral("rId4")}});
    x.empty("w:footerReference", {{"w:type", QStringLiteral("default")}, {"r:id", QStringLiteral("rId5")}});
    if (p.orientation == PageSetup::Landscape)
        x.empty("w:pgSz", {{"w:w", num(toTwips(p.pageWidth()))},
                           {"w:h", num(toTwips(p.pageHeight()))},
                           {"w:orient", QStringLiteral("landscape")}});
    else
        x.empty("w:pgSz", {{"w:w", num(toTwips(p.pageWidth()))}, {"w:h", num(toTwips(p.pageHeight()))}});
    x.empty("w:pgMar", {{"w:top", num(toTwips(p.topMargin))},
                        {"w:right", num(toTwips(p.rightMargin))},
                        {"w:bottom", num(toTwips(p.bottomMargin))},
                        {"w:left", num(toTwips(p.leftMargin))},
                        {"w:header", num(toTwips(p.headerDistance))},
                        {"w:footer", num(toTwips(p.footerDistance))},
                        {"w:gutter", QStringLiteral("0")}});
    x.empty("w:cols", {{"w:space", QStringLiteral("425")}});
    x.end();
}

QByteArray documentXml(const Document &d) {
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.w.writeNamespace(QString::fromLatin1(kR), QStringLiteral("r"));
    x.start("w:document");
    x.start("w:body");
    bool pendingBreak = false;
    for (int i = 0; i < d.blockCount(); ++i) {
        const Block &b = d.block(i);
        switch (b.kind) {
        case Block::PageBreakBlock:
            if (pendingBreak) // two breaks in a row: the first one stands alone
                writeParagraph(x, QString(), d.lastParagraph().format, Alignment::Left, true);
            pendingBreak = true;
            break;
        case Block::ParagraphBlock:
            writeParagraph(x, b.paragraph.text, b.paragraph.format, b.paragraph.alignment, pendingBreak);
            pendingBreak = false;
            break;
        case Block::TableBlock:
            if (pendingBreak)
                writeParagraph(x, QString(), b.table->cell(1, 1).format, Alignment::Left, true);
            pendingBreak = false;
            writeTable(x, *b.table);
            break;
        }
    }
    writeSectionProperties(x, d.pageSetup());
    x.end();
    x.end();
    return x.finish();
}

QByteArray footerXml(const Document &d) {
    const Section &s = d.section();
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.w.writeNamespace(QString::fromLatin1(kR), QStringLiteral("r"));
    x.start("w:ftr");
    x.start("w:p");
    x.start("w:pPr");
    x.empty("w:pStyle", {{"w:val", QStringLiteral("Footer")}});
    x.empty("w:jc", {{"w:val", QString::fromLatin1(alignmentValue(s.footerAlignment))}});
    x.end();
    const int pages = d.pageCount();
    for (const FooterPart &part : s.footer) {
        if (part.field) {
            x.start("w:fldSimple");
            x.attr("w:instr", part.text);
            writeTextRun(x, fieldResult(part.text, 1, pages), s.footerFormat);
            x.end();
        } else {
            writeTextRun(x, part.text, s.footerFormat);
        }
    }
    x.end();
    x.end();
    return x.finish();
}

QByteArray headerXml(const Document &d) {
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.w.writeNamespace(QString::fromLatin1(kR), QStringLiteral("r"));
    x.start("w:hdr");
    x.start("w:p");
    x.start("w:pPr");
    x.empty("w:pStyle", {{"w:val", QStringLiteral("Header")}});
    if (!d.section().headerBottomBorder) {
        x.start("w:pBdr");
        x.empty("w:bottom", {{"w:val", QStringLiteral("nil")}});
        x.end();
    }
    x.end();
    x.end();
    x.end();
    return x.finish();
}

QByteArray stylesXml() {
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.start("w:styles");
    x.start("w:docDefaults");
    x.start("w:rPrDefault");
    x.start("w:rPr");
    x.empty("w:rFonts", {{"w:ascii", QStringLiteral("宋体")},
                         {"w:hAnsi", QStringLiteral("宋体")},
                         {"w:eastAsia", QStringLiteral("宋体")},
                         {"w:cs", QStringLiteral("Times New Roman")}});
    x.empty("w:kern", {{"w:val", QStringLiteral("2")}});
    x.empty("w:sz", {{"w:val", QStringLiteral("21")}});
    x.empty("w:szCs", {{"w:val", QStringLiteral("21")}});
    x.empty("w:lang", {{"w:val", QStringLiteral("en-US")}, {"w:eastAsia", QStringLiteral("zh-CN")}});
    x.end();
    x.end();
    x.start("w:pPrDefault");
    x.start("w:pPr");
    x.empty("w:spacing", {{"w:after", QStringLiteral("0")},
                          {"w:line", QStringLiteral("240")},
                          {"w:lineRule", QStringLiteral("auto")}});
    x.end();
    x.end();
    x.end();
    auto style = [&](const char *type, const char *id, const char *name, bool isDefault, auto body) {
        x.start("w:style");
        x.attr("w:type", type);
        if (isDefault)
            x.attr("w:default", "1");
        x.attr("w:styleId", id);
        x.empty("w:name", {{"w:val", QString::fromLatin1(name)}});
        body();
        x.end();
    };
    style("paragraph", "Normal", "Normal", true, [&] { x.empty("w:qFormat"); });
    style("character", "DefaultParagraphFont", "Default Paragraph Font", true, [&] {
        x.empty("w:uiPriority", {{"w:val", QStringLiteral("1")}});
    });
    style("table", "TableNormal", "Normal Table", true, [&] {
        x.start("w:tblPr");
        x.start("w:tblCellMar");
        x.empty("w:left", {{"w:w", QStringLiteral("108")}, {"w:type", QStringLiteral("dxa")}});
        x.empty("w:right", {{"w:w", QStringLiteral("108")}, {"w:type", QStringLiteral("dxa")}});
        x.end();
        x.end();
    });
    // The header style draws a line under the header, as the word processors' Chinese templates do.
    style("paragraph", "Header", "header", false, [&] {
        x.empty("w:basedOn", {{"w:val", QStringLiteral("Normal")}});
        x.start("w:pPr");
        x.start("w:pBdr");
        x.empty("w:bottom", {{"w:val", QStringLiteral("single")},
                             {"w:sz", QStringLiteral("6")},
                             {"w:space", QStringLiteral("1")},
                             {"w:color", QStringLiteral("auto")}});
        x.end();
        x.empty("w:jc", {{"w:val", QStringLiteral("center")}});
        x.end();
        x.start("w:rPr");
        x.empty("w:sz", {{"w:val", QStringLiteral("18")}});
        x.end();
    });
    style("paragraph", "Footer", "footer", false, [&] {
        x.empty("w:basedOn", {{"w:val", QStringLiteral("Normal")}});
        x.start("w:rPr");
        x.empty("w:sz", {{"w:val", QStringLiteral("18")}});
        x.end();
    });
    x.end();
    return x.finish();
}

QByteArray settingsXml() {
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.start("w:settings");
    x.empty("w:zoom", {{"w:percent", QStringLiteral("100")}});
    x.empty("w:defaultTabStop", {{"w:val", QStringLiteral("420")}});
    x.empty("w:characterSpacingControl", {{"w:val", QStringLiteral("compressPunctuation")}});
    x.start("w:compat");
    x.empty("w:compatSetting", {{"w:name", QStringLiteral("compatibilityMode")},
                                {"w:uri", QStringLiteral("http://schemas.microsoft.com/office/word")},
                                {"w:val", QStringLiteral("15")}});
    x.end();
    x.end();
    return x.finish();
}

QByteArray fontTableXml() {
    Xml x;
    x.w.writeNamespace(QString::fromLatin1(kW), QStringLiteral("w"));
    x.start("w:fonts");
    x.start("w:font");
    x.attr("w:name", QStringLiteral("宋体"));
    x.empty("w:altName", {{"w:val", QStringLiteral("SimSun")}});
    x.empty("w:panose1", {{"w:val", QStringLiteral("02010600030101010101")}});
    x.empty("w:charset", {{"w:val", QStringLiteral("86")}});
    x.empty("w:family", {{"w:val", QStringLiteral("auto")}});
    x.empty("w:pitch", {{"w:val", QStringLiteral("variable")}});
    x.end();
    x.end();
    return x.finish();
}

QByteArray contentTypesXml() {
    Xml x;
    x.w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    x.start("Types");
    x.empty("Default",
            {{"Extension", QStringLiteral("rels")},
             {"ContentType", QStringLiteral("application/vnd.openxmlformats-package.relationships+xml")}});
    x.empty("Default",
            {{"Extension", QStringLiteral("xml")}, {"ContentType", QStringLiteral("application/xml")}});
    const QString wml = QStringLiteral("application/vnd.openxmlformats-officedocument.wordprocessingml.");
    x.empty("Override", {{"PartName", QStringLiteral("/word/document.xml")},
                         {"ContentType", wml + QStringLiteral("document.main+xml")}});
    x.empty("Override", {{"PartName", QStringLiteral("/word/styles.xml")},
                         {"ContentType", wml + QStringLiteral("styles+xml")}});
    x.empty("Override", {{"PartName", QStringLiteral("/word/settings.xml")},
                         {"ContentType", wml + QStringLiteral("settings+xml")}});
    x.empty("Override", {{"PartName", QStringLiteral("/word/fontTable.xml")},
                         {"ContentType", wml + QStringLiteral("fontTable+xml")}});
    x.empty("Override", {{"PartName", QStringLiteral("/word/header1.xml")},
                         {"ContentType", wml + QStringLiteral("header+xml")}});
    x.empty("Override", {{"PartName", QStringLiteral("/word/footer1.xml")},
                         {"ContentType", wml + QStringLiteral("footer+xml")}});
    x.empty("Override",
            {{"PartName", QStringLiteral("/docProps/core.xml")},
             {"ContentType", QStringLiteral("application/vnd.openxmlformats-package.core-properties+xml")}});
    x.empty("Override",
            {{"PartName", QStringLiteral("/docProps/app.xml")},
             {"ContentType",
              QStringLiteral("application/vnd.openxmlformats-officedocument.extended-properties+xml")}});
    x.end();
    return x.finish();
}

QByteArray relationshipsXml(std::initializer_list<std::pair<const char *, QString>> targets) {
    Xml x;
    x.w.writeDefaultNamespace(QString::fromLatin1(kRelsNs));
    x.start("Relationships");
    int id = 0;
    for (const auto &[type, target] : targets) {
        ++id;
        const QString typeUri = QString::fromLatin1(type).startsWith(QLatin1String("http"))
                                    ? QString::fromLatin1(type)
                                    : QString::fromLatin1(kRelBase) + QString::fromLatin1(type);
        x.empty("Relationship",
                {{"Id", QStringLiteral("rId%1").arg(id)}, {"Type", typeUri}, {"Target", target}});
    }
    x.end();
    return x.finish();
}

QByteArray corePropertiesXml(const Document &d) {
    Xml x;
    x.w.writeNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties"),
        QStringLiteral("cp"));
    x.w.writeNamespace(QStringLiteral("http://purl.org/dc/elements/1.1/"), QStringLiteral("dc"));
    x.w.writeNamespace(QStringLiteral("http://purl.org/dc/terms/"), QStringLiteral("dcterms"));
    x.w.writeNamespace(QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"), QStringLiteral("xsi"));
    x.start("cp:coreProperties");
    x.text("dc:title", d.Name());
    x.text("dc:creator", QStringLiteral("Tavlo"));
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    x.start("dcterms:created");
    x.attr("xsi:type", "dcterms:W3CDTF");
    x.w.writeCharacters(now);
    x.end();
    x.start("dcterms:modified");
    x.attr("xsi:type", "dcterms:W3CDTF");
    x.w.writeCharacters(now);
    x.end();
    x.end();
    return x.finish();
}

QByteArray appPropertiesXml(const Document &d) {
    Xml x;
    x.w.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"));
    x.start("Properties");
    x.text("Application", QStringLiteral("Tavlo"));
    x.text("Pages", QString::number(d.pageCount()));
    x.end();
    return x.finish();
}

// Builds a zip archive in memory from named parts.
QByteArray zipParts(const std::list<std::pair<QString, QByteArray>> &parts, QString *error) {
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &zerr);
    if (!buffer) {
        zip_error_fini(&zerr);
        return {};
    }
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &zerr);
    zip_error_fini(&zerr);
    if (!archive) {
        zip_source_free(buffer);
        return {};
    }
    zip_source_keep(buffer);
    bool ok = true;
    for (const auto &[name, bytes] : parts) {
        zip_source_t *part = zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!part || zip_file_add(archive, name.toUtf8().constData(), part, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(part);
            ok = false;
            break;
        }
    }
    if (!ok || zip_close(archive) < 0) {
        if (error)
            *error = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        zip_source_free(buffer);
        return {};
    }
    QByteArray out;
    zip_stat_t st;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
        out.resize(qsizetype(st.size));
        if (zip_source_read(buffer, out.data(), st.size) != zip_int64_t(st.size))
            out.clear();
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return out;
}

} // namespace

int toTwips(double points) {
    return int(std::lround(points * 20));
}

QByteArray writeDocx(const Document &document, QString *error) {
    const std::list<std::pair<QString, QByteArray>> parts{
        {QStringLiteral("[Content_Types].xml"), contentTypesXml()},
        {QStringLiteral("_rels/.rels"),
         relationshipsXml(
             {{"officeDocument", QStringLiteral("word/document.xml")},
              {"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
               QStringLiteral("docProps/core.xml")},
              {"extended-properties", QStringLiteral("docProps/app.xml")}})},
        {QStringLiteral("word/document.xml"), documentXml(document)},
        {QStringLiteral("word/_rels/document.xml.rels"),
         relationshipsXml({{"styles", QStringLiteral("styles.xml")},
                           {"settings", QStringLiteral("settings.xml")},
                           {"fontTable", QStringLiteral("fontTable.xml")},
                           {"header", QStringLiteral("header1.xml")},
                           {"footer", QStringLiteral("footer1.xml")}})},
        {QStringLiteral("word/styles.xml"), stylesXml()},
        {QStringLiteral("word/settings.xml"), settingsXml()},
        {QStringLiteral("word/fontTable.xml"), fontTableXml()},
        {QStringLiteral("word/header1.xml"), headerXml(document)},
        {QStringLiteral("word/footer1.xml"), footerXml(document)},
        {QStringLiteral("docProps/core.xml"), corePropertiesXml(document)},
        {QStringLiteral("docProps/app.xml"), appPropertiesXml(document)},
    };
    QByteArray bytes = zipParts(parts, error);
    if (bytes.isEmpty() && error && error->isEmpty())
        *error = QStringLiteral("无法生成 .docx 文件");
    return bytes;
}

} // namespace tavlo::document
