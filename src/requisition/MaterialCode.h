#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The material code and the texts made from the lists of the code builder. Pure functions of texts.
//
// A list item starts with its code (4 characters for a category, 2 for a name or a parameter value),
// optionally followed by "-" and the readable text: "0101-泵类", "01-离心泵", "02PN25".
namespace MaterialCode {

inline constexpr int kParameterCount = 5;
inline constexpr int kCategoryCodeWidth = 4;
inline constexpr int kItemCodeWidth = 2;
inline constexpr int kCodeLength = kCategoryCodeWidth + kItemCodeWidth * (1 + kParameterCount);
// A parameter value with this code stands for "no value".
inline constexpr char16_t kNoValueCode[] = u"00";

using ParameterTexts = std::array<QString, kParameterCount>;
using ParameterLists = std::array<QStringList, kParameterCount>;

// First 4 characters of the category, first 2 of the name and of each parameter, no separators.
QString ComposeCode(const QString &category, const QString &name, const ParameterTexts &parameters);
// Exactly 16 characters, each an ASCII letter or digit.
bool CodeValid(const QString &code);
// Every list has items, and every item's code (its first 4 or 2 characters) is letters and digits only.
bool DataSourceValid(const QStringList &categories, const QStringList &names,
                     const ParameterLists &parameters);

// The text without its code of `codeWidth` characters and a "-" right after it; a text no longer than
// the code strips to the empty text. "01-离心泵" -> "离心泵", "0101泵类" (width 4) -> "泵类".
QString WithoutCode(const QString &text, int codeWidth);
// The readable part of a name item: WithoutCode(name, 2).
QString NameWithoutCode(const QString &name);
// The key a parameter-sheet header is compared by: WithoutCode with the category's or the name's width.
QString StripCategoryKey(const QString &text);
QString StripNameKey(const QString &text);
// A parameter sheet is keyed by category when its first header has a whole number in its first four
// characters and "-" as its fifth; otherwise it is keyed by name.
bool IsCategoryKeyed(const QString &firstHeader);

// The column of the names sheet holding a category's names: characters 3 and 4 of its text as a whole
// number ("0107-..." -> 7). 0 when they are not one.
int CategoryColumn(const QString &category);
// The one name of a category whose names column holds only its header: "01" and the header after its
// 4-character code ("0203-电缆" -> "01-电缆").
QString SynthesizedName(const QString &categoryHeader);

// Parameters 1 to 5 in order: a value coded "00" adds nothing, any other adds its text without its code
// and one blank. {"01-a", "00-无", "02-b"} -> "a b ".
QString MaterialSpecText(const ParameterTexts &parameters);

} // namespace MaterialCode
