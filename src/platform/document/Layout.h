#pragma once

#include "DocumentModel.h"

#include <QFont>
#include <QList>
#include <QString>

class QPaintDevice;

namespace tavlo::document {

// Space between a cell's border and its text, left and right (points).
constexpr double kCellPadding = 5.4;
// The narrowest column a fit to content makes.
constexpr double kMinimumFitWidth = 18;

// The installed family that shows a font name: the name itself when installed, else the family its entry
// in the substitution table names (serif Chinese faces -> Noto Serif CJK SC, sans ones -> Noto Sans CJK SC),
// else the CJK serif font.
QString substituteFamily(const QString &fontName);
// The font a format is measured with, its size in points on a 72-dpi device (one unit = one point).
QFont layoutFont(const CharFormat &format);
// The same font for painting on `device`, whose painter is scaled so that one unit is one point.
QFont paintFont(const CharFormat &format, const QPaintDevice *device);
// The device layout measures with: 72 dots per inch.
const QPaintDevice *pointDevice();

// Lines of a text broken to `width` points; "\r" separates paragraphs.
Measure::Lines breakLines(const QString &text, const CharFormat &format, double width);
// The width a cell needs to show its longest paragraph on one line, padding included.
double preferredCellWidth(const Cell &cell);
// The width a cell needs so that no word or code of it breaks (line breaks only where the text allows
// one: between Chinese characters, at blanks and after punctuation), padding included.
double narrowestCellWidth(const Cell &cell);
// The advance of a text in the format's font (points).
double textAdvance(const QString &text, const CharFormat &format);

// One piece of a page: a run of lines of a paragraph, or a table row or the part of it on this page.
struct Fragment {
    int block = 0;     // 0-based block index
    int row = 0;       // 1-based table row, 0 for a paragraph
    int firstLine = 0; // paragraph lines on this page
    int lineCount = 0;
    double y = 0; // from the top of the text area, points
    double height = 0;
    // A table row broken across pages: per cell, its first line and the count of lines shown here. Empty
    // when the whole row lies on this page.
    QList<std::pair<int, int>> cellLines;
};

struct LaidPage {
    QList<Fragment> fragments;
};

// The pages of a document. Rows and paragraphs keep their measure between layouts, so laying out again
// after a change costs a walk over the blocks plus the measuring of what changed.
struct Layout {
    QList<LaidPage> pages;
    // Per block: the page (1-based) of its first piece; per table block the page where each row starts
    // and the page where it ends (index row-1): they differ for a row broken across pages.
    QList<int> blockPage;
    QList<QList<int>> rowPage;
    QList<QList<int>> rowEndPage;

    int pageCount() const { return int(std::max<qsizetype>(1, pages.size())); }
};

class Document;
Layout paginate(const Document &document);

// The x where a line of `advance` points starts in a box of `width` points.
double alignedX(Alignment alignment, double width, double advance);

} // namespace tavlo::document
