#include "Layout.h"

#include "Document.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tavlo::document {

namespace {

constexpr auto kSerifCjk = "Noto Serif CJK SC";
constexpr auto kSansCjk = "Noto Sans CJK SC";

// Font names documents commonly carry, by the look they stand for.
const QHash<QString, QString> &substitutionTable() {
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const char *serif :
             {"宋体", "新宋体", "仿宋", "仿宋_GB2312", "楷体", "楷体_GB2312", "华文宋体", "华文中宋",
              "SimSun", "NSimSun", "FangSong", "KaiTi", "STSong", "Times New Roman"})
            t.insert(QString::fromUtf8(serif).toLower(), QLatin1String(kSerifCjk));
        for (const char *sans : {"黑体", "微软雅黑", "等线", "华文细黑", "SimHei", "Microsoft YaHei",
                                 "DengXian", "Arial", "Calibri"})
            t.insert(QString::fromUtf8(sans).toLower(), QLatin1String(kSansCjk));
        return t;
    }();
    return table;
}

bool installed(const QString &family) {
    static QHash<QString, bool> known;
    auto it = known.find(family);
    if (it == known.end())
        it = known.insert(family, QFontDatabase::hasFamily(family));
    return *it;
}

struct FontEntry {
    QFont font;
    double lineHeight = 0;
    double ascent = 0;
    QFontMetricsF metrics{QFont()};
};

QString formatKey(const CharFormat &f) {
    return f.fontName + QLatin1Char('|') + QString::number(f.size) +
           (f.bold ? QLatin1String("|b") : QLatin1String(""));
}

const FontEntry &fontEntry(const CharFormat &format) {
    static QHash<QString, FontEntry> cache;
    const QString key = formatKey(format);
    auto it = cache.find(key);
    if (it == cache.end()) {
        FontEntry e;
        e.font = layoutFont(format);
        e.metrics = QFontMetricsF(e.font, pointDevice());
        e.lineHeight = e.metrics.lineSpacing();
        e.ascent = e.metrics.ascent();
        it = cache.insert(key, e);
    }
    return *it;
}

// Lines of one paragraph of a text starting at `offset`.
void breakParagraph(const QString &text, int offset, int length, const FontEntry &font, double width,
                    QList<std::pair<int, int>> &ranges) {
    if (length == 0) {
        ranges.append({offset, 0});
        return;
    }
    const QString paragraph = text.mid(offset, length);
    if (font.metrics.horizontalAdvance(paragraph) <= width) {
        ranges.append({offset, length});
        return;
    }
    QTextLayout layout(paragraph, font.font, pointDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1.0, width));
        ranges.append({offset + line.textStart(), line.textLength()});
    }
    layout.endLayout();
}

} // namespace

QString substituteFamily(const QString &fontName) {
    if (!fontName.isEmpty() && installed(fontName))
        return fontName;
    const QString mapped = substitutionTable().value(fontName.toLower(), QLatin1String(kSerifCjk));
    if (installed(mapped))
        return mapped;
    return installed(QLatin1String(kSansCjk)) ? QLatin1String(kSansCjk) : QFont().defaultFamily();
}

const QPaintDevice *pointDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.setDotsPerMeterX(2835); // 72.009 dpi: one unit is one point
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

QFont layoutFont(const CharFormat &format) {
    QFont font(substituteFamily(format.fontName));
    font.setPointSizeF(std::max(1.0, format.size));
    font.setBold(format.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

QFont paintFont(const CharFormat &format, const QPaintDevice *device) {
    static QHash<QString, QFont> cache;
    const int dpi = std::max(1, device ? device->logicalDpiY() : 72);
    const QString key = formatKey(format) + QLatin1Char('@') + QString::number(dpi);
    auto it = cache.find(key);
    if (it == cache.end()) {
        QFont font = layoutFont(format);
        font.setPointSizeF(std::max(0.01, format.size) * 72.0 / dpi);
        it = cache.insert(key, font);
    }
    return *it;
}

double textAdvance(const QString &text, const CharFormat &format) {
    return fontEntry(format).metrics.horizontalAdvance(text);
}

Measure::Lines breakLines(const QString &text, const CharFormat &format, double width) {
    const FontEntry &font = fontEntry(format);
    Measure::Lines lines;
    lines.lineHeight = font.lineHeight;
    lines.ascent = font.ascent;
    int start = 0;
    while (true) {
        const int end = int(text.indexOf(QLatin1Char('\r'), start));
        const int stop = end < 0 ? int(text.size()) : end;
        breakParagraph(text, start, stop - start, font, width, lines.ranges);
        if (end < 0)
            break;
        start = end + 1;
    }
    return lines;
}

double preferredCellWidth(const Cell &cell) {
    double widest = 0;
    for (const QString &paragraph : cell.text.split(QLatin1Char('\r')))
        widest = std::max(widest, textAdvance(paragraph, cell.format));
    return std::ceil(widest) + 2 * kCellPadding;
}

double narrowestCellWidth(const Cell &cell) {
    double widest = 0;
    for (const QString &paragraph : cell.text.split(QLatin1Char('\r'))) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, paragraph);
        qsizetype start = 0;
        while (start < paragraph.size()) {
            qsizetype next = finder.toNextBoundary();
            if (next <= start)
                next = paragraph.size();
            widest = std::max(widest, textAdvance(paragraph.mid(start, next - start).trimmed(), cell.format));
            start = next;
        }
    }
    return std::ceil(widest) + 2 * kCellPadding;
}

namespace {

const Measure &measureParagraph(const Block &b, double width) {
    if (!b.measure) {
        Measure m;
        m.cells.append(breakLines(b.paragraph.text, b.paragraph.format, width));
        m.height = m.cells.front().lineHeight * m.cells.front().ranges.size();
        b.measure = std::move(m);
    }
    return *b.measure;
}

const Measure &measureRow(const Row &row) {
    if (!row.measure) {
        Measure m;
        double content = 0;
        for (const Cell &c : row.cells) {
            Measure::Lines lines = breakLines(c.text, c.format, std::max(1.0, c.width - 2 * kCellPadding));
            content = std::max(content, lines.lineHeight * lines.ranges.size());
            m.cells.append(std::move(lines));
        }
        m.height = std::max(row.height, content);
        row.measure = std::move(m);
    }
    return *row.measure;
}

// Whether a row that does not fit in `space` starts there, broken at a line: it does when the first line
// of every cell fits and some cell's text goes on past the page. A row whose text fits but whose minimum
// height does not moves to the next page whole, as does one whose first line does not fit.
bool startsOnThisPage(const Measure &m, double space) {
    bool textGoesOn = false;
    for (const Measure::Lines &lines : m.cells) {
        if (lines.lineHeight > space + 1e-9)
            return false;
        textGoesOn = textGoesOn || lines.lineHeight * lines.ranges.size() > space + 1e-9;
    }
    return textGoesOn;
}

} // namespace

Layout paginate(const Document &document) {
    const PageSetup &setup = document.pageSetup();
    const double available = std::max(1.0, setup.textHeight());
    const double width = std::max(1.0, setup.textWidth());
    Layout layout;
    layout.pages.append(LaidPage{});
    double y = 0;
    auto newPage = [&] {
        layout.pages.append(LaidPage{});
        y = 0;
    };
    layout.blockPage.resize(document.blockCount());
    layout.rowPage.resize(document.blockCount());
    layout.rowEndPage.resize(document.blockCount());
    for (int i = 0; i < document.blockCount(); ++i) {
        const Block &b = document.block(i);
        switch (b.kind) {
        case Block::PageBreakBlock:
            layout.blockPage[i] = int(layout.pages.size());
            newPage();
            break;
        case Block::ParagraphBlock: {
            const Measure &m = measureParagraph(b, width);
            const double lineHeight = m.cells.front().lineHeight;
            const int lines = int(m.cells.front().ranges.size());
            int done = 0;
            layout.blockPage[i] = 0;
            while (done < lines) {
                int fit = int(std::floor((available - y) / lineHeight + 1e-9));
                if (fit <= 0 && y > 0) {
                    newPage();
                    continue;
                }
                fit = std::clamp(fit, 1, lines - done);
                if (layout.blockPage[i] == 0)
                    layout.blockPage[i] = int(layout.pages.size());
                layout.pages.back().fragments.append(Fragment{i, 0, done, fit, y, fit * lineHeight, {}});
                y += fit * lineHeight;
                done += fit;
            }
            break;
        }
        case Block::TableBlock: {
            const Table &t = *b.table;
            QList<int> &pages = layout.rowPage[i];
            QList<int> &ends = layout.rowEndPage[i];
            pages.reserve(t.RowsCount());
            ends.reserve(t.RowsCount());
            for (int r = 1; r <= t.RowsCount(); ++r) {
                const Row &row = t.row(r);
                const Measure &m = measureRow(row);
                if (y + m.height > available + 1e-9 && y > 0 && !startsOnThisPage(m, available - y))
                    newPage();
                pages.append(int(layout.pages.size()));
                if (y + m.height <= available + 1e-9) {
                    layout.pages.back().fragments.append(Fragment{i, r, 0, 0, y, m.height, {}});
                    y += m.height;
                } else {
                    // Broken across pages at line boundaries, each cell going on with its own lines.
                    QList<int> next(m.cells.size(), 0);
                    double done = 0;
                    while (true) {
                        double rest = std::max(0.0, row.height - done);
                        for (qsizetype c = 0; c < m.cells.size(); ++c)
                            rest =
                                std::max(rest, m.cells[c].lineHeight * (m.cells[c].ranges.size() - next[c]));
                        const double space = available - y;
                        Fragment piece{i, r, 0, 0, y, 0, {}};
                        if (rest <= space + 1e-9) {
                            for (qsizetype c = 0; c < m.cells.size(); ++c)
                                piece.cellLines.append({next[c], int(m.cells[c].ranges.size()) - next[c]});
                            piece.height = rest;
                            layout.pages.back().fragments.append(piece);
                            y += rest;
                            break;
                        }
                        for (qsizetype c = 0; c < m.cells.size(); ++c) {
                            const Measure::Lines &lines = m.cells[c];
                            const int left = int(lines.ranges.size()) - next[c];
                            int fit = lines.lineHeight > 0 ? int(std::floor(space / lines.lineHeight + 1e-9))
                                                           : left;
                            // A line taller than the page still goes somewhere.
                            if (y == 0 && fit < 1)
                                fit = 1;
                            fit = std::clamp(fit, 0, left);
                            piece.cellLines.append({next[c], fit});
                            next[c] += fit;
                        }
                        piece.height = space;
                        layout.pages.back().fragments.append(piece);
                        done += space;
                        newPage();
                    }
                }
                ends.append(int(layout.pages.size()));
            }
            layout.blockPage[i] = pages.isEmpty() ? int(layout.pages.size()) : pages.front();
            break;
        }
        }
    }
    return layout;
}

double alignedX(Alignment alignment, double width, double advance) {
    switch (alignment) {
    case Alignment::Center:
        return (width - advance) / 2;
    case Alignment::Right:
        return width - advance;
    case Alignment::Left:
        break;
    }
    return 0;
}

} // namespace tavlo::document
