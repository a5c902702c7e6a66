#include "CadFilter.h"

#include <array>

namespace modAutoCAD {

namespace {

struct ColorRow {
    const char *name;
    int index;
};

constexpr std::array<ColorRow, 12> kColors{{
    {"By Block", 0},
    {"Red", 1},
    {"Yellow", 2},
    {"Green", 3},
    {"Cyan", 4},
    {"Blue", 5},
    {"Magenta", 6},
    {"White/Black", 7},
    {"Dark Grey", 8},
    {"Light Gray", 9},
    {"By Layer", 256},
    {"All Colors", kAllColors},
}};

void add(SelectionFilter &filter, qint16 code, const QVariant &value) {
    filter.filterTypes.append(code);
    filter.filterData.append(value);
}

} // namespace

QStringList colorNames() {
    QStringList names;
    for (const ColorRow &row : kColors)
        names.append(QLatin1String(row.name));
    return names;
}

int ColorNameToIndex(const QString &name) {
    for (const ColorRow &row : kColors) {
        if (name == QLatin1String(row.name))
            return row.index;
    }
    return 0;
}

QString ColorIndexToName(int i) {
    if (i < 0 || i >= int(kColors.size()))
        return {};
    return QLatin1String(kColors[i].name);
}

int ProgressBlocks(qint64 done, qint64 total) {
    if (total < 1 || total < done || done < 0)
        return kProgressWidth;
    // Exact integer rounding, halves to even.
    const qint64 scaled = done * kProgressWidth;
    qint64 blocks = scaled / total;
    const qint64 twiceRest = 2 * (scaled % total);
    if (twiceRest > total || (twiceRest == total && blocks % 2 == 1))
        ++blocks;
    return int(blocks);
}

SelectionFilter BuildSelectionFilter(const FilterChoice &choice) {
    const QString orOpen = QStringLiteral("<OR");
    const QString orClose = QStringLiteral("OR>");
    SelectionFilter filter;
    add(filter, -4, orOpen);
    add(filter, -4, QStringLiteral("<AND"));
    if (choice.form.isEmpty()) {
        add(filter, -4, orOpen);
        add(filter, 0, QStringLiteral("Text"));
        add(filter, 0, QStringLiteral("MText"));
        add(filter, -4, orClose);
    } else {
        add(filter, 0, choice.form);
    }
    if (!choice.layer.isEmpty())
        add(filter, 8, choice.layer);
    if (!choice.style.isEmpty())
        add(filter, 7, choice.style);
    if (!choice.color.isEmpty())
        add(filter, 62, ColorNameToIndex(choice.color));
    add(filter, -4, QStringLiteral("AND>"));
    if (choice.containers)
        add(filter, 100, QStringLiteral("SubClass"));
    add(filter, -4, orClose);
    return filter;
}

} // namespace modAutoCAD
