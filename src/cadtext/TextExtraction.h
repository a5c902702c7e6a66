#pragma once

#include "TextWalk.h"

namespace tavlo::sheet {
class Worksheet;
} // namespace tavlo::sheet

// Copies the texts of a selection into a worksheet, one text per row: the drawing's name, the handle of
// the entity that holds the text and the text; column 4 is left for the translation.
namespace TextExtraction {

struct Options {
    TextWalk::Options walk;
    bool noDuplicate = false; // chkNoDuplicate: a text already in column 3 is not written again
    bool chineseOnly = false; // chkChineseOnly
};

// Writes the texts below `baseRow` (text n of this run on row baseRow + n) and returns how many were
// written. Columns 1 to 3 must already be formatted "@". Tables give each cell's cleaned text with the
// table's handle; multiline texts their cleaned text (always, once per entity); single-line texts,
// attributes (tag, then text) and attribute definitions (tag, prompt, text) their raw strings.
int ExtractTexts(const QList<tavlo::drawing::CadEntity *> &selection, const QString &drawingName,
                 tavlo::sheet::Worksheet &sheet, int baseRow, const Options &options,
                 const TextWalk::StepCallback &beforeEach = {});

} // namespace TextExtraction
