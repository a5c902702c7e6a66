#include "PagePrinter.h"

#include "Document.h"
#include "PagePainter.h"

#include <QPrinter>

namespace tavlo::document {

bool printDocument(const Document &document, QPrinter *printer) {
    if (!document.isAlive() || !printer)
        return false;
    printer->setFullPage(true);
    printer->setDocName(document.Name());
    return paintDocument(printer, document, printer->resolution());
}

} // namespace tavlo::document
