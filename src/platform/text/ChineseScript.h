#pragma once

#include <QString>

namespace tavlo::text {

enum class Script { Simplified, Traditional };

// Maps one character to the other script. Characters without a single-character counterpart come
// back unchanged, so a text converted character by character keeps its length.
QChar mapChineseCharacter(QChar c, Script target);

} // namespace tavlo::text
