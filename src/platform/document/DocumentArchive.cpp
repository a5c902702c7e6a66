#include "DocumentArchive.h"

#include "Document.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>

namespace tavlo::document {

namespace {

constexpr char kMagic[8] = {'T', 'A', 'V', 'L', 'O', 'D', 'O', 'C'};
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_4;

void put(QDataStream &out, const CharFormat &format) {
    out << format.fontName << format.size << format.bold;
}

void put(QDataStream &out, const Cell &cell) {
    out << cell.text << cell.width;
    put(out, cell.format);
    out << qint32(cell.alignment);
    for (bool border : cell.borders)
        out << border;
}

void put(QDataStream &out, const Paragraph &paragraph) {
    out << paragraph.text;
    put(out, paragraph.format);
    out << qint32(paragraph.alignment);
}

void put(QDataStream &out, const Section &section) {
    const PageSetup &p = section.pageSetup;
    out << p.paperWidth << p.paperHeight << qint32(p.orientation) << p.topMargin << p.bottomMargin
        << p.leftMargin << p.rightMargin << p.headerDistance << p.footerDistance;
    out << quint32(section.footer.size());
    for (const FooterPart &part : section.footer)
        out << part.text << part.field;
    out << qint32(section.footerAlignment);
    put(out, section.footerFormat);
    out << section.headerBottomBorder;
}

// Reads with every count checked against what is left, so a damaged archive never makes a huge
// allocation; the first failure sticks.
class Reader {
public:
    explicit Reader(const QByteArray &bytes)
        : m_size(bytes.size())
        , m_in(bytes) {
        m_in.setVersion(kStreamVersion);
    }

    bool ok() const { return m_ok && m_in.status() == QDataStream::Ok; }
    bool atEnd() const { return m_in.atEnd(); }
    QString error() const { return m_error; }
    bool fail(const QString &why) {
        if (m_ok)
            m_error = why;
        m_ok = false;
        return false;
    }
    QDataStream &in() { return m_in; }

    // A count of items each at least `minBytes` long.
    quint32 count(qint64 minBytes) {
        quint32 n = 0;
        m_in >> n;
        if (!ok() || qint64(n) * minBytes > m_size - m_in.device()->pos()) {
            fail(QStringLiteral("条目数超出文件长度"));
            return 0;
        }
        return n;
    }
    template <typename E> E enumValue(int last) {
        qint32 v = 0;
        m_in >> v;
        if (v < 0 || v > last)
            fail(QStringLiteral("无效的取值 %1").arg(v));
        return E(std::clamp(v, 0, last));
    }

    void get(CharFormat &format) { m_in >> format.fontName >> format.size >> format.bold; }
    void get(Cell &cell) {
        m_in >> cell.text >> cell.width;
        get(cell.format);
        cell.alignment = enumValue<Alignment>(2);
        for (bool &border : cell.borders)
            m_in >> border;
    }
    void get(Paragraph &paragraph) {
        m_in >> paragraph.text;
        get(paragraph.format);
        paragraph.alignment = enumValue<Alignment>(2);
    }
    void get(Section &section) {
        PageSetup &p = section.pageSetup;
        m_in >> p.paperWidth >> p.paperHeight;
        p.orientation = enumValue<PageSetup::Orientation>(1);
        m_in >> p.topMargin >> p.bottomMargin >> p.leftMargin >> p.rightMargin >> p.headerDistance >>
            p.footerDistance;
        const quint32 parts = count(5);
        for (quint32 i = 0; i < parts && ok(); ++i) {
            FooterPart part;
            m_in >> part.text >> part.field;
            section.footer.append(part);
        }
        section.footerAlignment = enumValue<Alignment>(2);
        get(section.footerFormat);
        m_in >> section.headerBottomBorder;
    }

private:
    qint64 m_size;
    QDataStream m_in;
    bool m_ok = true;
    QString m_error;
};

} // namespace

QByteArray DocumentArchive::write(const Document &document) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.writeRawData(kMagic, sizeof kMagic);
    out << kVersion;
    out.setVersion(kStreamVersion);
    out << document.m_name << document.m_fullName;
    put(out, document.m_section);
    out << quint32(document.m_blocks.size());
    for (const Block &block : document.m_blocks) {
        out << qint32(block.kind);
        switch (block.kind) {
        case Block::ParagraphBlock:
            put(out, block.paragraph);
            break;
        case Block::TableBlock: {
            const Table &table = *block.table;
            out << qint32(table.m_fit) << quint32(table.m_rows.size());
            for (const Row &row : table.m_rows) {
                out << row.height << quint32(row.cells.size());
                for (const Cell &cell : row.cells)
                    put(out, cell);
            }
            break;
        }
        case Block::PageBreakBlock:
            break;
        }
    }
    return bytes;
}

bool DocumentArchive::read(const QByteArray &bytes, Document *document, QString *error) {
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!document || !document->isAlive())
        return refuse(QStringLiteral("文档已关闭"));
    if (bytes.size() > kMaxBytes)
        return refuse(QStringLiteral("文件过大"));
    if (!bytes.startsWith(QByteArray::fromRawData(kMagic, sizeof kMagic)))
        return refuse(QStringLiteral("不是 Tavlo 文档副本"));
    Reader r(bytes);
    r.in().skipRawData(sizeof kMagic);
    quint32 version = 0;
    r.in() >> version;
    if (!r.ok() || version != kVersion)
        return refuse(QStringLiteral("不支持的文档副本版本 %1").arg(version));

    QString name;
    QString fullName;
    Section section;
    r.in() >> name >> fullName;
    r.get(section);
    std::vector<Block> blocks;
    const quint32 blockCount = r.count(4);
    for (quint32 i = 0; i < blockCount && r.ok(); ++i) {
        Block block;
        block.kind = r.enumValue<Block::Kind>(2);
        if (block.kind == Block::ParagraphBlock) {
            r.get(block.paragraph);
        } else if (block.kind == Block::TableBlock) {
            block.table = std::make_unique<Table>(document);
            Table &table = *block.table;
            table.m_fit = r.enumValue<AutoFit>(2);
            const quint32 rows = r.count(12);
            if (rows == 0)
                r.fail(QStringLiteral("表格没有行"));
            for (quint32 k = 0; k < rows && r.ok(); ++k) {
                Row row;
                r.in() >> row.height;
                const quint32 cells = r.count(30);
                if (cells == 0)
                    r.fail(QStringLiteral("表格行没有单元格"));
                for (quint32 c = 0; c < cells && r.ok(); ++c) {
                    Cell cell;
                    r.get(cell);
                    row.cells.push_back(std::move(cell));
                }
                table.m_rows.push_back(std::move(row));
            }
        }
        blocks.push_back(std::move(block));
    }
    if (r.ok() && (blocks.empty() || blocks.back().kind != Block::ParagraphBlock))
        r.fail(QStringLiteral("文档不以段落结束"));
    if (r.ok() && !r.atEnd())
        r.fail(QStringLiteral("文件末尾有多余的数据"));
    if (!r.ok())
        return refuse(QStringLiteral("文档副本已损坏（%1）")
                          .arg(r.error().isEmpty() ? QStringLiteral("数据不完整") : r.error()));

    document->m_blocks = std::move(blocks);
    document->m_section = section;
    document->m_selection.EndKey();
    document->m_name = name;
    document->m_fullName = fullName;
    document->contentChanged();
    emit document->nameChanged(name);
    return true;
}

} // namespace tavlo::document
