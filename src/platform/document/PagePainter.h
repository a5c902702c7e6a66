#pragma once

#include <QByteArray>
#include <QString>

class QPagedPaintDevice;
class QPainter;

namespace tavlo::document {

class Document;

// Paints page `page` (1-based) of the document's layout: the painter's unit is one point and (0, 0) is
// the page's top-left corner. The window, PDF output and printing all paint through this one routine.
void paintPage(QPainter &painter, const Document &document, int page);
// Paints every page of the document on a paged device (a PDF writer, a printer) of `resolution` dots per
// inch, one device page per laid-out page; false when painting on the device could not start.
bool paintDocument(QPagedPaintDevice *device, const Document &document, double resolution);

// The whole document as PDF bytes, one PDF page per laid-out page; empty with `error` set on failure.
QByteArray writePdf(const Document &document, QString *error = nullptr);

} // namespace tavlo::document
