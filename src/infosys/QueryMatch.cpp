#include "QueryMatch.h"

#include "common/modCommon.h"
#include "platform/text/TextCodec.h"

namespace QueryMatch {

namespace {

QString flag(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool isSpaceOrControl(QChar c) {
    return c.unicode() >= 1 && c.unicode() <= 32;
}

// Punctuation as the Chinese code page sees it: ASCII punctuation except "|" and "_", and the
// double-byte multiplication sign A1C1.
bool isPunctuation(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= 33 && u <= 47) || (u >= 58 && u <= 64) || (u >= 91 && u <= 94) || u == 96 || u == 123 ||
        u == 125 || u == 126)
        return true;
    return u >= 128 && tavlo::text::toGb18030(QString(c)) == QByteArray("\xA1\xC1");
}

bool isDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

} // namespace

QString BuildQueryText(const Query &query) {
    QStringList fields;
    for (int i = 0; i < kKeywordCount; ++i)
        fields << (i < query.keywords.size() ? query.keywords[i].trimmed() : QString());
    fields << flag(query.andMode) << flag(query.matchCase) << flag(query.wholeWord);
    return fields.join(u'|');
}

std::optional<Query> ParseQueryText(const QString &text) {
    const QStringList fields = text.split(u'|');
    if (fields.size() != kKeywordCount + 3)
        return std::nullopt;
    Query query;
    query.keywords = fields.mid(0, kKeywordCount);
    query.andMode = fields[6] == QLatin1String("True");
    query.matchCase = fields[7] == QLatin1String("True");
    query.wholeWord = fields[8] == QLatin1String("True");
    return query;
}

bool IsBoundary(QChar n, QChar edge, bool keywordIsNumber) {
    if (keywordIsNumber)
        return !isDigit(n);
    if (isSpaceOrControl(n) || n == u'|' || n.unicode() == 127)
        return true;
    if (n == u'_')
        return false;
    if (isPunctuation(n))
        return !isPunctuation(edge);
    return isSpaceOrControl(edge) || isPunctuation(edge) || edge == u'|' || edge.unicode() == 127;
}

bool KeywordMatches(const QString &rowText, const QString &keyword, bool matchCase, bool wholeWord) {
    if (rowText.isEmpty())
        return false;
    if (keyword.isEmpty())
        return true;
    const qsizetype at = rowText.indexOf(keyword, 0, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (at < 0)
        return false;
    if (!wholeWord)
        return true;
    const bool number = modCommon::IsNumeric(keyword);
    const qsizetype end = at + keyword.size();
    const bool startOk = at == 0 || IsBoundary(rowText[at - 1], keyword.front(), number);
    const bool endOk = end >= rowText.size() || IsBoundary(rowText[end], keyword.back(), number);
    return startOk && endOk;
}

bool RowMatches(const QString &rowText, const Query &query) {
    if (query.andMode) {
        for (const QString &keyword : query.keywords) {
            if (!KeywordMatches(rowText, keyword, query.matchCase, query.wholeWord))
                return false;
        }
        return true;
    }
    for (const QString &keyword : query.keywords) {
        if (!keyword.isEmpty() && KeywordMatches(rowText, keyword, query.matchCase, query.wholeWord))
            return true;
    }
    return false;
}

RowMatcher::RowMatcher(const Query &query)
    : m_query(query) {
    for (const QString &keyword : query.keywords) {
        m_keywords.push_back(Keyword{
            keyword, QStringMatcher(keyword, query.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive),
            !keyword.isEmpty() && modCommon::IsNumeric(keyword)});
    }
}

bool RowMatcher::keywordMatches(const QString &rowText, const Keyword &keyword) const {
    if (rowText.isEmpty())
        return false;
    if (keyword.text.isEmpty())
        return true;
    const qsizetype at = keyword.matcher.indexIn(rowText);
    if (at < 0)
        return false;
    if (!m_query.wholeWord)
        return true;
    const qsizetype end = at + keyword.text.size();
    const bool startOk = at == 0 || IsBoundary(rowText[at - 1], keyword.text.front(), keyword.number);
    const bool endOk = end >= rowText.size() || IsBoundary(rowText[end], keyword.text.back(), keyword.number);
    return startOk && endOk;
}

bool RowMatcher::matches(const QString &rowText) const {
    if (m_query.andMode) {
        for (const Keyword &keyword : m_keywords) {
            if (!keywordMatches(rowText, keyword))
                return false;
        }
        return true;
    }
    for (const Keyword &keyword : m_keywords) {
        if (!keyword.text.isEmpty() && keywordMatches(rowText, keyword))
            return true;
    }
    return false;
}

} // namespace QueryMatch
