#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringMatcher>

#include <optional>
#include <vector>

// Keyword queries over record rows: the query text that travels to the host, and the matching rules.
namespace QueryMatch {

constexpr int kKeywordCount = 6;

struct Query {
    QStringList keywords; // always kKeywordCount entries, trimmed
    bool andMode = true;
    bool matchCase = false;
    bool wholeWord = false;
};

// Nine fields joined with "|": the six keywords (trimmed), then "True"/"False" for AND, match case
// and whole word.
QString BuildQueryText(const Query &query);
// Empty when the text does not split into exactly nine fields (such a query finds nothing).
std::optional<Query> ParseQueryText(const QString &text);

// Whether `n`, the character next to a keyword occurrence, ends the word. `edge` is the keyword's
// character on that side (its first for the character before, its last for the one after).
bool IsBoundary(QChar n, QChar edge, bool keywordIsNumber);
// The first occurrence of the keyword decides; an empty keyword matches any non-empty row.
bool KeywordMatches(const QString &rowText, const QString &keyword, bool matchCase, bool wholeWord);
bool RowMatches(const QString &rowText, const Query &query);

// RowMatches for many rows: the keywords are prepared once.
class RowMatcher {
public:
    explicit RowMatcher(const Query &query);
    bool matches(const QString &rowText) const;

private:
    struct Keyword {
        QString text;
        QStringMatcher matcher;
        bool number = false;
    };
    bool keywordMatches(const QString &rowText, const Keyword &keyword) const;

    Query m_query;
    std::vector<Keyword> m_keywords;
};

} // namespace QueryMatch
