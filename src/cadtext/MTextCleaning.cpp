#include "MTextCleaning.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <array>

namespace MTextCleaning {

namespace {

bool hasSpan(const QString &text, const QString &startCode, const QString &endCode) {
    const qsizetype start = text.indexOf(startCode, 0, Qt::CaseSensitive);
    return start >= 0 && text.indexOf(endCode, start + startCode.size(), Qt::CaseSensitive) >= 0;
}

// The alignment codes of paragraphs, long forms with their short forms (without the leading "\p").
struct AlignmentCode {
    QString code;
    QString shortForm;
};

QList<AlignmentCode> alignmentCodes(const char *const (&codes)[4]) {
    QList<AlignmentCode> list;
    for (const char *code : codes) {
        const QString full = QString::fromLatin1(code);
        list.append({full, full.mid(2)});
    }
    return list;
}

// Steps 2 and 3 of the cleaning for one set of alignment codes.
QString removeAlignment(QString text, const QList<AlignmentCode> &codes) {
    const QString closing = QStringLiteral("\\pq*;");
    const QString shortClosing = QStringLiteral("q*;");
    for (const AlignmentCode &a : codes) {
        text = RemoveCodeSpan(text, a.code, closing);
        text = RemoveCodeSpan(text, a.shortForm, shortClosing);
    }
    for (const AlignmentCode &a : codes) {
        text.remove(a.code, Qt::CaseInsensitive);
        text.remove(a.shortForm, Qt::CaseInsensitive);
    }
    return text;
}

struct Replacement {
    QRegularExpression pattern;
    QString with;
};

// The regular-expression replacements, in order, case-insensitive and global. Escaped braces are parked
// on control characters while grouping braces go, then come back as literal braces.
const std::array<Replacement, 11> &replacements() {
    static const auto ci = QRegularExpression::CaseInsensitiveOption;
    static const std::array<Replacement, 11> table{{
        {QRegularExpression(QStringLiteral("\\\\{"), ci), QString(QChar(2))},
        {QRegularExpression(QStringLiteral("\\\\}"), ci), QString(QChar(3))},
        {QRegularExpression(QStringLiteral("\\\\pi(.[^;]*);"), ci), QString()},
        {QRegularExpression(QStringLiteral("\\\\pt(.[^;]*);"), ci), QString()},
        {QRegularExpression(QStringLiteral("\\\\sTemp(.[^;]*)(\\^|#|\\\\)(.[^;]*);"), ci),
         QStringLiteral("\\1\\3")},
        {QRegularExpression(QStringLiteral("(\\\\F|\\\\C|\\\\H|\\\\T|\\\\Q|\\\\W|\\\\A)(.[^;]*;)"), ci),
         QString()},
        {QRegularExpression(QStringLiteral("\\\\~"), ci), QString()},
        {QRegularExpression(QStringLiteral("\\\\P"), ci), QString()},
        {QRegularExpression(QStringLiteral("(\\\\L|\\\\K)"), ci), QString()},
        {QRegularExpression(QStringLiteral("\\n"), ci), QString()},
        {QRegularExpression(QStringLiteral("(\\{|\\})"), ci), QString()},
    }};
    return table;
}

} // namespace

QString RemoveCodeSpan(const QString &text, const QString &startCode, const QString &endCode) {
    if (startCode.isEmpty() || endCode.isEmpty())
        return text;
    QString result = text;
    while (hasSpan(result, startCode, endCode)) {
        QStringList pieces = result.split(startCode, Qt::KeepEmptyParts, Qt::CaseSensitive);
        QString joined = pieces.front();
        for (qsizetype i = 1; i < pieces.size(); ++i) {
            QString &piece = pieces[i];
            const qsizetype at = piece.indexOf(endCode, 0, Qt::CaseInsensitive);
            if (at >= 0) {
                piece.remove(at, endCode.size());
                joined += piece;
            } else {
                joined += startCode + piece;
            }
        }
        // Every round removes at least one closing code; stop should a text ever not shrink.
        if (joined.size() >= result.size())
            break;
        result = joined;
    }
    return result;
}

QString CleanMText(const QString &text) {
    QString result = RemoveCodeSpan(text, QStringLiteral("\\S^"), QStringLiteral(";"));
    result = RemoveCodeSpan(result, QStringLiteral("\\S"), QStringLiteral("^;"));

    static const char *const longCodes[4] = {"\\pxqd;", "\\pxqj;", "\\pxqc;", "\\pxql;"};
    static const char *const plainCodes[4] = {"\\pqd;", "\\pqj;", "\\pqc;", "\\pql;"};
    static const QList<AlignmentCode> longAlignment = alignmentCodes(longCodes);
    static const QList<AlignmentCode> plainAlignment = alignmentCodes(plainCodes);
    result = removeAlignment(result, longAlignment);
    result = removeAlignment(result, plainAlignment);

    for (const Replacement &r : replacements())
        result.replace(r.pattern, r.with);
    result.replace(QChar(1), QLatin1Char('\\'));
    result.replace(QChar(2), QLatin1Char('{'));
    result.replace(QChar(3), QLatin1Char('}'));
    return result;
}

} // namespace MTextCleaning
