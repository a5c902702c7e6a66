#pragma once

#include <QString>

// Multiline-text format codes taken out of a text, so that the plain words can be written to a workbook
// and compared with a manuscript.
namespace MTextCleaning {

// The text without its multiline format codes: stacking markers, paragraph alignment spans, the codes of
// font, colour, height, tracking, obliquing, width and alignment, paragraph breaks, under- and strike-out
// switches and grouping braces. Literal braces written "\{" and "\}" stay as "{" and "}".
QString CleanMText(const QString &text);

// While the text holds `startCode` followed somewhere later by `endCode` (both literal, case-sensitive):
// split at every startCode; each later piece that holds endCode (any case) loses its first endCode and
// is joined back without its startCode; the other pieces keep theirs. So a span opened by startCode and
// closed by endCode loses both codes; a startCode without a closing code stays.
QString RemoveCodeSpan(const QString &text, const QString &startCode, const QString &endCode);

} // namespace MTextCleaning
