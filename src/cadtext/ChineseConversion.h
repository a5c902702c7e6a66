#pragma once

#include "TextWalk.h"

namespace tavlo::drawing {
class CadDocument;
} // namespace tavlo::drawing

// Converts the texts of a selection between simplified and traditional Chinese in place.
namespace ChineseConversion {

// Mode 0: traditional to simplified; mode 1: simplified to traditional.
struct Options {
    TextWalk::Options walk;
    int mode = 0;
    bool convertFont = false; // chkConvertFont: converted texts take the style "SHIFT_STYLE"
};

inline constexpr const char *kShiftStyle = "SHIFT_STYLE";

// Adds "SHIFT_STYLE" (or finds it) with "fszf.shx" and the big font "hzfs.shx" (mode 0) or
// "gbcbig.shx" (mode 1).
void prepareShiftStyle(tavlo::drawing::CadDocument &document, int mode);

// Converts every candidate string as it stands (format codes survive: only Chinese characters change)
// and regenerates the drawing. Returns the number of strings visited, changed or not.
int ConvertChinese(const QList<tavlo::drawing::CadEntity *> &selection, tavlo::drawing::CadDocument &document,
                   const Options &options, const TextWalk::StepCallback &beforeEach = {});

} // namespace ChineseConversion
