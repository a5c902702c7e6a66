#pragma once

#include "CadFilter.h"

#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadDocument.h"

#include <QPointer>
#include <QString>

#include <array>
#include <optional>

// One owner's references into the CAD program: the application, the drawing and what a run works with.
struct CadSlot {
    QPointer<tavlo::drawing::CadApplication> application;
    QPointer<tavlo::drawing::CadDocument> document;
    // The selection set of the current run; read it through CadSlots::selectionSet(), which checks
    // that it still belongs to the drawing.
    tavlo::drawing::CadSelectionSet *selectionSet = nullptr;
    std::optional<tavlo::drawing::CadBlocks> blocks;
    tavlo::drawing::CadTextStyle *textStyle = nullptr;
    tavlo::drawing::CadEntity *pickedEntity = nullptr;
    tavlo::drawing::CadBlock *currentBlock = nullptr;
    tavlo::drawing::CadEntity *currentBlockEntity = nullptr;
};

// The CAD slots of the two text frames: owner 6 the extraction frame (control index 0), owner 7 the
// replacement frame (control index 1). No operation raises or reports an error.
class CadSlots {
public:
    static constexpr int kExtraction = 6;
    static constexpr int kReplacement = 7;
    static int ownerOf(int controlIndex) { return controlIndex + kExtraction; }

    // Owner 6 or 7; nullptr for any other number.
    CadSlot *slot(int owner);
    const CadSlot *slot(int owner) const;

    // Takes the running CAD program, or starts one when none runs, gives it its drawing windows and
    // sets `Visible`. The application slot stays empty when neither works.
    void AttachCad(int owner, bool visible);
    // Empties all eight references of the owner. The program and its drawings stay open.
    void ReleaseCad(int owner);
    // The application and the drawing are set, the program has drawings open and this drawing is still
    // one of them (a drawing the user closed is gone, as a reference to it would fail).
    bool AutoCAdBound(int owner) const;
    // One of the drawing's selection sets is named `name`; false without an application or drawing.
    bool SelectionSetExists(int owner, const QString &name) const;
    // The owner's selection set while it still belongs to its drawing; nullptr otherwise.
    tavlo::drawing::CadSelectionSet *selectionSet(int owner) const;

    // The selection set name of each owner's runs.
    static QString selectionSetName(int owner);

private:
    std::array<CadSlot, 2> m_slots;
};
