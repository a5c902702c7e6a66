#include "UnitInference.h"

#include <array>

namespace {

struct LastCharacterUnit {
    const char16_t *characters;
    const char16_t *unit;
};

constexpr std::array<LastCharacterUnit, 6> kByLastCharacter{{
    {u"器机柜箱泵", u"台"},
    {u"具组房仪室", u"套"},
    {u"剂泥油末粉", u"kg"},
    {u"线缆绳管带排", u"m"},
    {u"塔", u"基"},
    {u"杆棒", u"根"},
}};

struct EndingUnit {
    const char16_t *ending;
    const char16_t *unit;
};

// Tested in this order; a later match overrides an earlier one.
constexpr std::array<EndingUnit, 8> kByEnding{{
    {u"装置", u"套"},
    {u"挠性管", u"个"},
    {u"连接管", u"个"},
    {u"编制带", u"条"},
    {u"胶带", u"盘"},
    {u"SCADA", u"套"},
    {u"PMS", u"套"},
    {u"EPS", u"套"},
}};

} // namespace

QString InferUnit(const QString &name) {
    const QString text = name.trimmed();
    QString unit = QStringLiteral("个");
    if (!text.isEmpty()) {
        const QChar last = text.back();
        for (const LastCharacterUnit &row : kByLastCharacter) {
            if (QStringView(row.characters).contains(last)) {
                unit = QString::fromUtf16(row.unit);
                break;
            }
        }
    }
    for (const EndingUnit &row : kByEnding)
        if (text.endsWith(QStringView(row.ending), Qt::CaseSensitive))
            unit = QString::fromUtf16(row.unit);
    return unit;
}
