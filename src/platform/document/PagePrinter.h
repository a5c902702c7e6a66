#pragma once

class QPrinter;

namespace tavlo::document {

class Document;

// Paints every page of a live document on the printer; false when the document is closed or printing
// could not start.
bool printDocument(const Document &document, QPrinter *printer);

} // namespace tavlo::document
