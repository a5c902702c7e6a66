#pragma once

#include <QString>

namespace tavlo::drawing {

// Text extents without the CAD program's SHX fonts: every style is measured with one substituted
// outline font (a sans-serif, CJK-capable family chosen once), scaled so that a capital letter is the
// text height tall, times the width factor. The figures are not the CAD program's, but they are
// consistent: the same text in the same style always measures the same, and widths scale linearly with
// height and width factor, so ratios of widths are meaningful.
struct TextExtent {
    double width = 0;
    double ascent = 0;  // above the baseline
    double descent = 0; // below the baseline
};

// `text` is plain text (multiline format codes stripped by the caller; %%c-like codes count as one char).
TextExtent measureText(const QString &text, double height, double widthFactor);
// A multiline text's plain lines: format codes removed, \P breaks lines.
QStringList plainMTextLines(const QString &text);
// The length of the multiline-text token at text[i]: a whole \ code with its argument, a \U+ or \M+
// escape, a surrogate pair, or one character. Chunks are cut and letters changed only between tokens.
qsizetype mtextToken(const QString &text, qsizetype i);

} // namespace tavlo::drawing
