#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo::document {

class Document;

// The document as a complete WordprocessingML package (.docx): content types, relationships, the body
// with its tables, styles, settings, a header and a footer whose page fields are real fields, and the
// document properties. Empty with `error` set on failure.
QByteArray writeDocx(const Document &document, QString *error = nullptr);

// Points to twentieths of a point, the unit of widths and heights in the package.
int toTwips(double points);

} // namespace tavlo::document
