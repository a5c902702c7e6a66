#pragma once

#include "CadFilter.h"

#include <QList>

#include <functional>

namespace tavlo::drawing {
class CadEntity;
} // namespace tavlo::drawing

// The walk that extraction, replacement and conversion share: which strings of a selected entity are
// candidates, through tables cell by cell, block references through their block definitions and their
// attributes, and attribute definitions.
namespace TextWalk {

using tavlo::drawing::CadEntity;

// What the frame's lists and boxes say. In `lists` an empty text means "no restriction" (the list is
// on its last entry); `lists.containers` plays no part here.
struct Options {
    modAutoCAD::FilterChoice lists;
    bool insert = false;              // chkInsert: texts inside blocks
    bool attribute = false;           // chkAttribute: the attributes of block references
    bool table = false;               // chkTable: texts in tables
    bool attributeDefinition = false; // chkAttributeDefinition
};

// Receives each candidate. For attributes and attribute definitions the visitor takes the strings in
// order itself (tag then text; tag, prompt, text).
class Visitor {
public:
    virtual ~Visitor() = default;
    virtual void tableCell(CadEntity &table, int row, int column) = 0;
    virtual void multilineText(CadEntity &text) = 0;
    virtual void singleLineText(CadEntity &text) = 0;
    virtual void attribute(CadEntity &attribute) = 0;
    virtual void attributeDefinition(CadEntity &definition) = 0;
};

// The list tests: an empty restriction admits anything; names compare exactly.
bool layerPasses(const Options &options, const QString &layer);
bool stylePasses(const Options &options, const QString &style);
bool colorPasses(const Options &options, int color);

// One entity of the selection: a table (with chkTable) cell by cell where the table's layer, the
// cell's style and the cell's colour pass; a block reference (with chkInsert) through the entities of
// its block definition that pass the inner kind, layer and colour tests (inner block references are
// not descended into), then (with chkAttribute) its attributes whose layer, style and colour pass; an
// attribute definition (with chkAttributeDefinition); every multiline and single-line text.
void visitEntity(CadEntity *entity, const Options &options, Visitor &visitor);

// The whole string of a multiline text: the text of its linked columns follows its own (a column's
// closing column break dropped), as a CAD program treats them as one text.
QString multilineContent(const CadEntity &text);
// Writes a multiline text whole: all of it into the first column, the further columns emptied.
void setMultilineContent(CadEntity &text, const QString &content);

// Called before entity `done` of `total`; returning false ends the walk (its drawing has gone).
using StepCallback = std::function<bool(int done, int total)>;

// Visits every entity of the selection in order. Returns the number of entities visited.
int visitSelection(const QList<CadEntity *> &selection, const Options &options, Visitor &visitor,
                   const StepCallback &beforeEach = {});

} // namespace TextWalk
