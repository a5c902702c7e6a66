#include "PagePainter.h"

#include "Document.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <tuple>

namespace tavlo::document {

namespace {

constexpr double kBorderWidth = 0.5;

void drawLines(QPainter &painter, const QString &text, const CharFormat &format, Alignment alignment,
               const Measure::Lines &lines, int first, int count, QPointF origin, double width) {
    painter.setFont(paintFont(format, painter.device()));
    for (int i = 0; i < count && first + i < lines.ranges.size(); ++i) {
        const auto [start, length] = lines.ranges[first + i];
        const QString line = text.mid(start, length);
        const QString shown = alignment == Alignment::Left ? line : line.trimmed();
        const double x = alignedX(alignment, width, textAdvance(shown, format));
        painter.drawText(QPointF(origin.x() + x, origin.y() + i * lines.lineHeight + lines.ascent), shown);
    }
}

// One table row, or the piece of it that `fragment` places on this page.
void drawRow(QPainter &painter, const Table &table, const Fragment &fragment, QPointF origin) {
    const Row &r = table.row(fragment.row);
    if (!r.measure)
        return;
    const double height = fragment.height;
    double x = origin.x();
    for (size_t c = 0; c < r.cells.size(); ++c) {
        const Cell &cell = r.cells[c];
        const QRectF box(x, origin.y(), cell.width, height);
        if (c < size_t(r.measure->cells.size())) {
            const Measure::Lines &lines = r.measure->cells[qsizetype(c)];
            int first = 0;
            int count = int(lines.ranges.size());
            if (c < size_t(fragment.cellLines.size()))
                std::tie(first, count) = fragment.cellLines[qsizetype(c)];
            drawLines(painter, cell.text, cell.format, cell.alignment, lines, first, count,
                      QPointF(box.left() + kCellPadding, box.top()), cell.width - 2 * kCellPadding);
        }
        if (cell.border(Border::Top))
            painter.drawLine(box.topLeft(), box.topRight());
        if (cell.border(Border::Bottom))
            painter.drawLine(box.bottomLeft(), box.bottomRight());
        if (cell.border(Border::Left))
            painter.drawLine(box.topLeft(), box.bottomLeft());
        if (cell.border(Border::Right))
            painter.drawLine(box.topRight(), box.bottomRight());
        if (cell.border(Border::DiagonalDown))
            painter.drawLine(box.topLeft(), box.bottomRight());
        if (cell.border(Border::DiagonalUp))
            painter.drawLine(box.bottomLeft(), box.topRight());
        x += cell.width;
    }
}

void drawFooter(QPainter &painter, const Document &document, int page, int pageCount) {
    const Section &section = document.section();
    if (section.footer.isEmpty())
        return;
    QString text;
    for (const FooterPart &part : section.footer)
        text += part.field ? fieldResult(part.text, page, pageCount) : part.text;
    const PageSetup &setup = section.pageSetup;
    const Measure::Lines lines = breakLines(text, section.footerFormat, setup.textWidth());
    const double top =
        setup.pageHeight() - setup.footerDistance - lines.lineHeight * double(lines.ranges.size());
    drawLines(painter, text, section.footerFormat, section.footerAlignment, lines, 0,
              int(lines.ranges.size()), QPointF(setup.leftMargin, top), setup.textWidth());
}

} // namespace

void paintPage(QPainter &painter, const Document &document, int page) {
    const Layout &layout = document.layout();
    if (page < 1 || page > layout.pages.size())
        return;
    const PageSetup &setup = document.pageSetup();
    painter.save();
    QPen pen(Qt::black);
    pen.setWidthF(kBorderWidth);
    painter.setPen(pen);
    const QPointF origin(setup.leftMargin, setup.topMargin);
    for (const Fragment &f : layout.pages[page - 1].fragments) {
        const Block &b = document.block(f.block);
        if (b.kind == Block::ParagraphBlock && b.measure) {
            drawLines(painter, b.paragraph.text, b.paragraph.format, b.paragraph.alignment,
                      b.measure->cells.front(), f.firstLine, f.lineCount, origin + QPointF(0, f.y),
                      setup.textWidth());
        } else if (b.kind == Block::TableBlock) {
            drawRow(painter, *b.table, f, origin + QPointF(-kCellPadding, f.y));
        }
    }
    drawFooter(painter, document, page, layout.pageCount());
    painter.restore();
}

namespace {

QPageLayout pageLayoutOf(const Document &document) {
    const PageSetup &setup = document.pageSetup();
    const QPageSize size(QSizeF(setup.paperWidth, setup.paperHeight), QPageSize::Point, QString(),
                         QPageSize::FuzzyOrientationMatch);
    return QPageLayout(
        size, setup.orientation == PageSetup::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

} // namespace

bool paintDocument(QPagedPaintDevice *device, const Document &document, double resolution) {
    device->setPageLayout(pageLayoutOf(document));
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const double scale = resolution / 72.0;
    const int pages = document.layout().pageCount();
    for (int page = 1; page <= pages; ++page) {
        if (page > 1)
            device->newPage();
        painter.save();
        painter.scale(scale, scale);
        paintPage(painter, document, page);
        painter.restore();
    }
    return painter.end();
}

QByteArray writePdf(const Document &document, QString *error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Tavlo"));
        writer.setTitle(document.Name());
        writer.setResolution(720);
        if (!paintDocument(&writer, document, writer.resolution())) {
            if (error)
                *error = QStringLiteral("无法生成 PDF");
            return {};
        }
    }
    return buffer.data();
}

} // namespace tavlo::document
