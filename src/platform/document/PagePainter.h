#pragma once

#include <QByteArray>
#include <QString>

class QPainter;
class QPrinter;

namespace tavlo::document {

class Document;

// Paints page `page` (1-based) of the document's layout: the painter's unit is one point and (0, 0) is
// the page's top-left corner. The window, PDF output and printing all paint through this one routine.
void paintPage(QPainter &painter, const Document &document, int page);

// The whole document as PDF bytes, one PDF page per laid-out page; empty with `error` set on failure.
QByteArray writePdf(const Document &document, QString *error = nullptr);
// Paints every page on the printer; false when printing could not start.
bool printDocument(const Document &document, QPrinter *printer);

} // namespace tavlo::document
