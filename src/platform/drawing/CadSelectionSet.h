#pragma once

#include "CadTypes.h"
#include "SelectionFilter.h"

#include <QList>
#include <QString>

namespace tavlo::drawing {

class CadDocument;
class CadEntity;

// A named selection set of a document.
class CadSelectionSet {
public:
    CadSelectionSet(CadDocument *document, const QString &name)
        : m_document(document)
        , m_name(name) {}

    QString Name() const { return m_name; }
    CadDocument *document() const { return m_document; }
    // Removes the set from its document's SelectionSets. The object stays valid (a walk in progress may
    // still hold it) but is empty from then on, as it is once its drawing was closed.
    void Delete();
    bool isDeleted() const { return m_deleted; }

    // Mode 5 (all): every entity of model space and paper space that passes the filter. Other modes are
    // not offered (they need a point or a window) and select nothing. False when nothing could be done.
    bool Select(int mode, const QList<qint16> &types = {}, const QList<QVariant> &data = {});
    // The user picks entities in the drawing's window (the application's screen picker); the picked
    // entities that pass the filter join the set. False without a picker or when the user cancelled.
    bool SelectOnScreen(const QList<qint16> &types = {}, const QList<QVariant> &data = {});
    // Adds entities of this document that are not yet in the set.
    void AddItems(const QList<CadEntity *> &entities);
    void Clear();

    int Count() const;
    CadEntity *Item(int index) const; // 0-based; nullptr outside
    QList<CadEntity *> items() const;

    enum { acSelectionSetAll = 5 };

private:
    CadDocument *m_document;
    QString m_name;
    QList<CadEntity *> m_items;
    bool m_deleted = false;
    friend class CadDocument;
};

} // namespace tavlo::drawing
