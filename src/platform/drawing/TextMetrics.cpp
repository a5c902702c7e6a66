#include "TextMetrics.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRegularExpression>

#include <optional>

namespace tavlo::drawing {

namespace {

// The font every text style is measured with, chosen once. SHX fonts and the styles' TrueType files are
// not used: a sans-serif family that carries CJK stands in for all of them.
const QFont &substituteFont() {
    static const QFont font = [] {
        QString family;
        const QStringList families = QFontDatabase::families();
        for (const char *wanted : {"Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Micro Hei",
                                   "Noto Sans Mono CJK SC", "Droid Sans Fallback", "DejaVu Sans"}) {
            if (families.contains(QLatin1String(wanted))) {
                family = QLatin1String(wanted);
                break;
            }
        }
        QFont f(family);
        if (family.isEmpty())
            f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(100);
        f.setKerning(false);
        return f;
    }();
    return font;
}

// The special codes of single-line texts: %%c diameter, %%d degree, %%p plus-minus, %%nnn a character;
// %%u and %%o switch under- and overline and take no room.
QString expandPercentCodes(const QString &text) {
    if (!text.contains(QLatin1String("%%")))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('%') && i + 2 < text.size() && text[i + 1] == QLatin1Char('%')) {
            const QChar code = text[i + 2].toLower();
            if (code == QLatin1Char('c')) {
                out += QChar(0x2300);
            } else if (code == QLatin1Char('d')) {
                out += QChar(0x00B0);
            } else if (code == QLatin1Char('p')) {
                out += QChar(0x00B1);
            } else if (code == QLatin1Char('u') || code == QLatin1Char('o')) {
            } else if (code == QLatin1Char('%')) {
                out += QLatin1Char('%');
            } else if (code.isDigit() && i + 4 < text.size()) {
                out += QChar(text.mid(i + 2, 3).toInt());
                i += 2;
            } else {
                out += text.mid(i, 3);
            }
            i += 2;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace

TextExtent measureText(const QString &text, double height, double widthFactor) {
    TextExtent extent;
    if (height <= 0)
        return extent;
    if (widthFactor <= 0)
        widthFactor = 1;
    const QString shown = expandPercentCodes(text);
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const QFontMetricsF metrics(substituteFont());
        const double capital = metrics.capHeight() > 0 ? metrics.capHeight() : metrics.ascent() * 0.7;
        const double scale = height / capital;
        extent.width = metrics.horizontalAdvance(shown) * scale * widthFactor;
        extent.ascent = metrics.ascent() * scale;
        extent.descent = metrics.descent() * scale;
        return extent;
    }
    // Without a graphical application (command-line tools): a full-width character is one text height
    // wide and any other one 0.6 of it, which keeps widths proportional in the same way.
    double units = 0;
    for (QChar c : shown)
        units += (c.unicode() >= 0x2E80 && !c.isSurrogate()) ? 1.0 : (c.isLowSurrogate() ? 0 : 0.6);
    extent.width = units * height * widthFactor;
    extent.ascent = height * 1.2;
    extent.descent = height * 0.3;
    return extent;
}

QStringList plainMTextLines(const QString &text) {
    QString s = text;
    s.replace(QLatin1String("\\\\"), QString(QChar(1)));
    s.replace(QLatin1String("\\{"), QString(QChar(2)));
    s.replace(QLatin1String("\\}"), QString(QChar(3)));
    static const QRegularExpression stacked(QStringLiteral("\\\\S([^;]*)[\\^/#]([^;]*);"));
    s.replace(stacked, QStringLiteral("\\1/\\2"));
    static const QRegularExpression withArgument(QStringLiteral("\\\\[ACcFfHQTWp][^;]*;"));
    s.remove(withArgument);
    static const QRegularExpression simple(QStringLiteral("\\\\[LlOoKkNX~]"));
    s.replace(simple, QString());
    s.replace(QLatin1String("\\P"), QLatin1String("\n"));
    s.replace(QLatin1String("^I"), QLatin1String("    "));
    s.replace(QLatin1String("^J"), QLatin1String("\n"));
    s.remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    s.replace(QChar(1), QLatin1Char('\\'))
        .replace(QChar(2), QLatin1Char('{'))
        .replace(QChar(3), QLatin1Char('}'));
    return s.split(QLatin1Char('\n'));
}

} // namespace tavlo::drawing
