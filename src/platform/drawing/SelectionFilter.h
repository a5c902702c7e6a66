#pragma once

#include "CadTypes.h"

#include <QString>

#include <memory>
#include <vector>

namespace tavlo::drawing {

class CadEntity;

// A selection filter as DXF group codes and values: 0 entity type ("Text", "MText", comma lists and
// wildcards), 8 layer, 7 text style, 62 colour, 100 subclass marker, grouped by (-4, "<AND") ... "AND>"
// and (-4, "<OR") ... "OR>"; entries outside any group must all hold. Names compare without regard to
// case. The marker (100, "SubClass") admits tables, block references and attribute definitions: the
// containers whose contents a caller walks itself.
class SelectionFilter {
public:
    SelectionFilter(); // admits everything
    ~SelectionFilter();
    SelectionFilter(SelectionFilter &&) noexcept;
    SelectionFilter &operator=(SelectionFilter &&) noexcept;

    // nullptr-free: an unbalanced or unknown operator gives a filter that admits nothing, with the reason.
    static SelectionFilter fromArrays(const CadFilterArrays &arrays, QString *error = nullptr);
    static SelectionFilter fromArrays(const QList<qint16> &types, const QList<QVariant> &data,
                                      QString *error = nullptr);

    bool matches(const CadEntity &entity) const;
    bool isValid() const { return m_valid; }

    struct Node;

private:
    std::unique_ptr<Node> m_root;
    bool m_valid = true;
};

// Wildcard match as selection filters use it: * any run, ? one character, # a digit, @ a letter,
// , separates alternatives, ` escapes; case-insensitive.
bool wildcardMatch(const QString &pattern, const QString &text);

} // namespace tavlo::drawing
