#include "CadSelectionSet.h"

#include "CadDocument.h"

#include <QSet>

namespace tavlo::drawing {

void CadSelectionSet::Delete() {
    auto &sets = m_document->selectionSetList();
    for (auto it = sets.begin(); it != sets.end(); ++it)
        if (it->get() == this) {
            sets.erase(it); // deletes this object: nothing may touch members after here
            return;
        }
}

bool CadSelectionSet::Select(int mode, const QList<qint16> &types, const QList<QVariant> &data) {
    if (!m_document->isAlive() || mode != acSelectionSetAll)
        return false;
    const SelectionFilter filter = SelectionFilter::fromArrays(types, data);
    if (!filter.isValid())
        return false;
    QList<CadEntity *> chosen;
    for (CadEntity *entity : m_document->entities())
        if (filter.matches(*entity))
            chosen.append(entity);
    AddItems(chosen);
    return true;
}

bool CadSelectionSet::SelectOnScreen(const QList<qint16> &types, const QList<QVariant> &data) {
    if (!m_document->isAlive())
        return false;
    const SelectionFilter filter = SelectionFilter::fromArrays(types, data);
    if (!filter.isValid())
        return false;
    bool accepted = false;
    QList<CadEntity *> picked = m_document->pickOnScreen(filter, &accepted);
    if (!accepted)
        return false;
    QList<CadEntity *> chosen;
    for (CadEntity *entity : picked)
        if (entity && filter.matches(*entity))
            chosen.append(entity);
    AddItems(chosen);
    return true;
}

void CadSelectionSet::AddItems(const QList<CadEntity *> &entities) {
    if (m_items.isEmpty()) {
        for (CadEntity *e : entities)
            if (e && e->document() == m_document)
                m_items.append(e);
        // A list may name an entity twice; keep the first.
        QSet<CadEntity *> seen;
        QList<CadEntity *> unique;
        for (CadEntity *e : m_items)
            if (!seen.contains(e)) {
                seen.insert(e);
                unique.append(e);
            }
        m_items = unique;
        return;
    }
    QSet<CadEntity *> present(m_items.begin(), m_items.end());
    for (CadEntity *e : entities)
        if (e && e->document() == m_document && !present.contains(e)) {
            present.insert(e);
            m_items.append(e);
        }
}

void CadSelectionSet::Clear() {
    m_items.clear();
}

CadEntity *CadSelectionSet::Item(int index) const {
    if (!m_document->isAlive() || index < 0 || index >= m_items.size())
        return nullptr;
    return m_items[index];
}

} // namespace tavlo::drawing
