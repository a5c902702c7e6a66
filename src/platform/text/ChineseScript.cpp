#include "ChineseScript.h"

#include <Config.hpp>
#include <ConversionChain.hpp>
#include <Converter.hpp>
#include <Segmentation.hpp>
#include <Segments.hpp>

#include <QDebug>

#include <exception>
#include <string>

#ifndef TAVLO_OPENCC_DATA_DIR
#define TAVLO_OPENCC_DATA_DIR "/usr/share/opencc"
#endif

namespace tavlo::text {

namespace {

struct Loaded {
    opencc::ConverterPtr converter;
    QString error;
};

// OpenCC's own configurations: mmseg segmentation over the phrase table, then the phrase table and the
// character table as one group (longest match first).
Loaded load(const char *configuration) {
    Loaded loaded;
    const std::string inDataDir = std::string(TAVLO_OPENCC_DATA_DIR) + "/" + configuration;
    for (const std::string &path : {inDataDir, std::string(configuration)}) {
        try {
            opencc::Config config;
            loaded.converter = config.NewFromFile(path);
            if (loaded.converter) {
                loaded.error.clear();
                return loaded;
            }
        } catch (const std::exception &e) {
            loaded.error = QString::fromLocal8Bit(e.what());
        } catch (...) {
            loaded.error = QStringLiteral("unknown error");
        }
    }
    loaded.error = QStringLiteral("无法载入简繁转换表 %1 (OpenCC: %2)")
                       .arg(QString::fromUtf8(inDataDir.c_str()), loaded.error);
    qWarning().noquote() << loaded.error;
    return loaded;
}

// Loaded once per direction and kept for the program's life: reading the tables costs far more than
// converting a text.
const Loaded &loaded(Script target) {
    if (target == Script::Simplified) {
        static const Loaded toSimplified = load("t2s.json");
        return toSimplified;
    }
    static const Loaded toTraditional = load("s2t.json");
    return toTraditional;
}

bool isIdeograph(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

// The code point at text[i] and its length in UTF-16 units.
char32_t codePointAt(QStringView text, qsizetype i, int *length) {
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    *length = 1;
    return c.unicode();
}

QList<QStringView> codePoints(QStringView text) {
    QList<QStringView> points;
    for (qsizetype i = 0; i < text.size();) {
        int length = 1;
        codePointAt(text, i, &length);
        points.append(text.sliced(i, length));
        i += length;
    }
    return points;
}

bool allFit(QStringView text, const CharacterFits &fits) {
    for (QStringView c : codePoints(text))
        if (!fits(c))
            return false;
    return true;
}

// One converted segment, the original characters kept where the converted ones do not fit.
void appendSegment(QString &out, const QString &from, const QString &to, const CharacterFits &fits) {
    if (from == to || !fits || allFit(to, fits)) {
        out += to;
        return;
    }
    const QList<QStringView> original = codePoints(from);
    const QList<QStringView> converted = codePoints(to);
    if (original.size() != converted.size()) {
        // A phrase whose length changed cannot be matched character by character: all or nothing.
        out += allFit(from, fits) ? from : to;
        return;
    }
    for (qsizetype k = 0; k < original.size(); ++k)
        out += (!fits(converted[k]) && fits(original[k])) ? original[k] : converted[k];
}

// A run of ideographs through the segmentation and the conversion chain, segment by segment.
void convertRun(QString &out, QStringView run, const opencc::Converter &converter,
                const CharacterFits &fits) {
    const std::string utf8 = run.toUtf8().toStdString();
    const opencc::SegmentsPtr input = converter.GetSegmentation()->Segment(utf8);
    const opencc::SegmentsPtr output = converter.GetConversionChain()->Convert(input);
    if (!input || !output || input->Length() != output->Length()) {
        out += run;
        return;
    }
    for (size_t k = 0; k < input->Length(); ++k)
        appendSegment(out, QString::fromUtf8(input->At(k)), QString::fromUtf8(output->At(k)), fits);
}

} // namespace

QString convertChineseText(const QString &text, Script target, const CharacterFits &fits) {
    // Only runs of ideographs go to the tables, so nothing else in the text can change (and a text
    // without ideographs costs one scan).
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < text.size();) {
        int length = 1;
        if (!isIdeograph(codePointAt(text, i, &length))) {
            i += length;
            continue;
        }
        qsizetype end = i + length;
        while (end < text.size() && isIdeograph(codePointAt(text, end, &length)))
            end += length;
        const Loaded &tables = loaded(target);
        if (!tables.converter)
            return text;
        if (out.isEmpty())
            out.reserve(text.size() + 8);
        out += QStringView(text).sliced(copied, i - copied);
        try {
            convertRun(out, QStringView(text).sliced(i, end - i), *tables.converter, fits);
        } catch (...) {
            out += QStringView(text).sliced(i, end - i);
        }
        copied = i = end;
    }
    if (copied == 0)
        return text;
    out += QStringView(text).sliced(copied);
    return out;
}

QString chineseScriptError() {
    const QString toSimplified = loaded(Script::Simplified).error;
    return toSimplified.isEmpty() ? loaded(Script::Traditional).error : toSimplified;
}

QChar mapChineseCharacter(QChar c, Script target) {
    const QString converted = convertChineseText(QString(c), target);
    return converted.size() == 1 ? converted[0] : c;
}

} // namespace tavlo::text
