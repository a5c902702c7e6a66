#pragma once

#include <QByteArray>
#include <QString>

namespace tavlo::document {

class Document;

// A document's whole content in a compact binary form of our own: its name and file, the section
// (page setup, footer, header border) and every block with all its formats, table widths, heights,
// merged and split cells and borders. What write() gives, read() restores exactly, so a document can be
// kept aside (a recovery copy) and opened again as it was. Versioned; a damaged or foreign file is
// refused as a whole.
class DocumentArchive {
public:
    static constexpr quint32 kVersion = 1;
    // Larger archives are refused before they are read.
    static constexpr qint64 kMaxBytes = 256 * 1024 * 1024;

    static QByteArray write(const Document &document);
    // Replaces the content, name and file name of `document` with the archived ones; the document
    // counts as changed (not saved). On failure `document` is left as it was and `error` says why.
    static bool read(const QByteArray &bytes, Document *document, QString *error = nullptr);
};

} // namespace tavlo::document
