#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// The pure parts of the CAD connection: colour names, the progress bar's length and the selection filter
// built from the frame's lists, all free of windows and drawings.
namespace modAutoCAD {

// Number of "■" in a full progress bar.
constexpr int kProgressWidth = 56;
// The colour index that stands for "All Colors" (no restriction).
constexpr int kAllColors = -1;

// The twelve colour texts in list order, ending with "All Colors".
QStringList colorNames();
// The colour index of a list text; a text not in the table gives 0.
int ColorNameToIndex(const QString &name);
// The list text of row i + 1 of the colour table (i from 0 to 11); empty for any other i.
QString ColorIndexToName(int i);

// The count of "■" to show when `done` of `total` entities are handled: done / total × 56 rounded to
// the nearest integer, halves to even, when total ≥ 1 and total ≥ done; otherwise the full bar.
int ProgressBlocks(qint64 done, qint64 total);

// What the frame's filter lists and boxes say. An empty text means the list is on its last entry
// ("All Texts", "All Layers", "All Text Styles", "All Colors"): no restriction.
struct FilterChoice {
    QString form; // "Text" or "MText"
    QString layer;
    QString style;
    QString color; // a text of the colour table
    // One of chkInsert, chkTable, chkAttributeDefinition is checked: the containers are admitted too.
    bool containers = false;
};

// A selection filter as the selection sets take it: DXF group codes and their values, pair by pair.
struct SelectionFilter {
    QList<qint16> filterTypes;
    QVariantList filterData;
    int size() const { return int(filterTypes.size()); }
    bool operator==(const SelectionFilter &) const = default;
};

// The texts that meet every active restriction, or-ed with every container entity when asked for:
// (-4 "<OR") (-4 "<AND") form [layer] [style] [colour] (-4 "AND>") [(100 "SubClass")] (-4 "OR>").
SelectionFilter BuildSelectionFilter(const FilterChoice &choice);

} // namespace modAutoCAD
