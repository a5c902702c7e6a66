#include "UnitInference.h"

#include <array>

namespace {

struct UnitRule {
    enum Kind { LastCharacter, Ending };
    Kind kind;
    const char16_t *pattern; // LastCharacter: any of these characters; Ending: this text
    const char16_t *unit;
};

// Tested in this order; a later match overrides an earlier one. The last-character sets share no
// character, so among them at most one matches.
constexpr std::array<UnitRule, 14> kRules{{
    {UnitRule::LastCharacter, u"器机柜箱泵", u"台"},
    {UnitRule::LastCharacter, u"具组房仪室", u"套"},
    {UnitRule::LastCharacter, u"剂泥油末粉", u"kg"},
    {UnitRule::LastCharacter, u"线缆绳管带排", u"m"},
    {UnitRule::LastCharacter, u"塔", u"基"},
    {UnitRule::LastCharacter, u"杆棒", u"根"},
    {UnitRule::Ending, u"装置", u"套"},
    {UnitRule::Ending, u"挠性管", u"个"},
    {UnitRule::Ending, u"连接管", u"个"},
    {UnitRule::Ending, u"编制带", u"条"},
    {UnitRule::Ending, u"胶带", u"盘"},
    {UnitRule::Ending, u"SCADA", u"套"},
    {UnitRule::Ending, u"PMS", u"套"},
    {UnitRule::Ending, u"EPS", u"套"},
}};

bool matches(const UnitRule &rule, const QString &text) {
    if (rule.kind == UnitRule::Ending)
        return text.endsWith(QStringView(rule.pattern), Qt::CaseSensitive);
    return !text.isEmpty() && QStringView(rule.pattern).contains(text.back());
}

} // namespace

QString InferUnit(const QString &name) {
    const QString text = name.trimmed();
    QString unit = QStringLiteral("个");
    for (const UnitRule &rule : kRules)
        if (matches(rule, text))
            unit = QString::fromUtf16(rule.unit);
    return unit;
}
