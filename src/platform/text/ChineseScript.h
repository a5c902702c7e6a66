#pragma once

#include <QString>
#include <QStringView>

#include <functional>

namespace tavlo::text {

enum class Script { Simplified, Traditional };

// Whether a converted character (one code point, possibly a surrogate pair) may replace the original.
using CharacterFits = std::function<bool(QStringView character)>;

// Converts a text to the other script with OpenCC's tables, as its s2t and t2s configurations do: the
// text is cut into the longest known phrases, each phrase is looked up in the phrase table, then
// character by character. Only ideographs change; letters, digits, punctuation and format codes stay.
// Where `fits` is given and refuses a converted character, the original character stays (as long as
// the original itself fits; otherwise the converted one is taken). Without OpenCC's data the text
// comes back unchanged and chineseScriptError() says why.
QString convertChineseText(const QString &text, Script target, const CharacterFits &fits = {});

// Empty when the conversion tables of both directions could be loaded; otherwise the reason.
QString chineseScriptError();

// One character converted alone; characters without a single-character counterpart come back unchanged.
QChar mapChineseCharacter(QChar c, Script target);

} // namespace tavlo::text
