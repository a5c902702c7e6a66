#include "modAutoCAD.h"

#include "platform/drawing/DrawingWindow.h"

using namespace tavlo::drawing;

CadSlot *CadSlots::slot(int owner) {
    return owner == kExtraction || owner == kReplacement ? &m_slots[owner - kExtraction] : nullptr;
}

const CadSlot *CadSlots::slot(int owner) const {
    return owner == kExtraction || owner == kReplacement ? &m_slots[owner - kExtraction] : nullptr;
}

QString CadSlots::selectionSetName(int owner) {
    return owner == kExtraction ? QStringLiteral("EXTRACTSET") : QStringLiteral("REPLACESET");
}

void CadSlots::AttachCad(int owner, bool visible) {
    CadSlot *s = slot(owner);
    if (!s)
        return;
    CadApplication *application = CadApplication::running();
    if (!application)
        application = CadApplication::create();
    s->application = application;
    if (!application)
        return;
    DrawingWindows::install(application);
    application->setVisible(visible);
}

void CadSlots::ReleaseCad(int owner) {
    if (CadSlot *s = slot(owner))
        *s = CadSlot();
}

bool CadSlots::AutoCAdBound(int owner) const {
    const CadSlot *s = slot(owner);
    if (!s || !s->application || !s->document || !s->application->isAlive())
        return false;
    CadApplication *application = s->application;
    return application->Documents().Count() != 0 && s->document->isAlive() &&
           application->documentList().contains(s->document.data());
}

bool CadSlots::SelectionSetExists(int owner, const QString &name) const {
    const CadSlot *s = slot(owner);
    if (!s || !s->application || !s->document || !s->document->isAlive())
        return false;
    CadSelectionSets sets = s->document->SelectionSets();
    for (int i = 0; i < sets.Count(); ++i) {
        if (CadSelectionSet *set = sets.Item(i); set && set->Name() == name)
            return true;
    }
    return false;
}

CadSelectionSet *CadSlots::selectionSet(int owner) const {
    const CadSlot *s = slot(owner);
    if (!s || !s->selectionSet || !s->document || !s->document->isAlive())
        return nullptr;
    CadSelectionSets sets = s->document->SelectionSets();
    for (int i = 0; i < sets.Count(); ++i) {
        if (sets.Item(i) == s->selectionSet)
            return s->selectionSet;
    }
    return nullptr;
}
