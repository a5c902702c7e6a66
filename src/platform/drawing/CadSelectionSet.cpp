#include "CadSelectionSet.h"

#include "CadDocument.h"

#include <QSet>

namespace tavlo::drawing {

void CadSelectionSet::Delete() {
    m_document->retireSelectionSet(this);
}

int CadSelectionSet::Count() const {
    return m_deleted || !m_document->isAlive() ? 0 : int(m_items.size());
}

QList<CadEntity *> CadSelectionSet::items() const {
    return m_deleted || !m_document->isAlive() ? QList<CadEntity *>() : m_items;
}

bool CadSelectionSet::Select(int mode, const QList<qint16> &types, const QList<QVariant> &data) {
    if (m_deleted || !m_document->isAlive() || mode != acSelectionSetAll)
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
    if (m_deleted || !m_document->isAlive())
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
    if (m_deleted)
        return;
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
    if (index < 0 || index >= Count())
        return nullptr;
    return m_items[index];
}

} // namespace tavlo::drawing
