#pragma once

#include "DocumentModel.h"
#include "Layout.h"
#include "platform/office/OfficeFile.h"

#include <QObject>

#include <vector>

namespace tavlo::document {

class Application;
class Document;

// `Selection`: where the next insertion happens. Either the end of the document or one table row.
class Selection {
public:
    explicit Selection(Document *document)
        : m_document(document) {}

    // `EndKey` with unit 6: to the end of the document.
    void EndKey();
    // `Rows(row).Select`.
    void selectRow(Table *table, int row);
    // `InsertRowsBelow count` under the selected row; the selection moves to the last new row.
    void InsertRowsBelow(int count);
    // `InsertBreak 7` at the end of the document: a page break, after which a new empty paragraph with the
    // last paragraph's format starts the next page.
    void InsertBreak();
    // `Information(3)`: the page the selection is on.
    int pageNumber() const;

private:
    Document *m_document;
    Table *m_table = nullptr;
    int m_row = 0;
};

// A document of the embedded word processor: one section (page setup, footer, header border) and a
// sequence of blocks, always ending with a paragraph. `Close` ends it: its window goes and every later
// call does nothing; the object is deleted later by the event loop. Name is "文档1" for a document never
// saved, else the file name.
class Document : public office::OfficeFile {
    Q_OBJECT

public:
    ~Document() override;

    Application *application() const;

    // Blocks (0-based).
    int blockCount() const { return int(m_blocks.size()); }
    const Block &block(int index) const { return m_blocks[size_t(index)]; }

    // `Paragraphs.Count`: paragraphs outside tables.
    int ParagraphsCount() const;
    const Paragraph &lastParagraph() const;
    // `Paragraphs(Paragraphs.Count).Range.Text`: the last paragraph's text and its mark ("\r").
    QString lastParagraphRangeText() const;
    // Sets the last paragraph's `Range.Text`: "\r", "\n" or "\r\n" start a new paragraph with the same
    // format, and the document's final paragraph mark always stays, so a text ending with a break leaves an
    // empty paragraph after it.
    void setLastParagraphText(const QString &text);
    void setLastParagraphFont(const QString &fontName, double size, bool bold);
    void setLastParagraphAlignment(Alignment alignment);
    // `Paragraphs(Paragraphs.Count).Range.Delete`: removes the last paragraph (the first one stays, emptied).
    void deleteLastParagraph();

    // The text the user edits outside tables: a paragraph's text (block 0-based), a paragraph split in two
    // at `offset` (the second part keeps the format) and a paragraph joined with the next one.
    void setParagraphText(int block, const QString &text);
    void splitParagraph(int block, int offset);
    void joinWithNextParagraph(int block);

    // `Tables.Count`, `Tables(index)` (1-based); nullptr outside the range.
    int TablesCount() const;
    Table *Tables(int index) const;
    // `Tables.Add` on the document's final paragraph mark: a table of `rows` x `columns` cells sharing the
    // text width, in the last paragraph's format, with single borders; an empty paragraph follows it.
    Table *addTableAtEnd(int rows, int columns);

    Selection &selection() { return m_selection; }
    void appendPageBreak();

    // `PageSetup`; changing the orientation swaps the page's sides.
    const PageSetup &pageSetup() const { return m_section.pageSetup; }
    void setOrientation(PageSetup::Orientation orientation);
    void setMargins(double top, double bottom, double left, double right);
    const Section &section() const { return m_section; }
    // The footer of section 1: `InsertAfter` text, `Fields.Add` a field by its code, the alignment.
    void footerInsertAfter(const QString &text);
    void footerAddField(const QString &code);
    void setFooterAlignment(Alignment alignment);
    void clearFooter();
    // `Headers(1).Range.Borders(-3).Visible`.
    void setHeaderBottomBorder(bool visible);

    // `Repaginate` + the built-in page-count property: pages of the current layout.
    int pageCount() const;
    const Layout &layout() const;
    // The page (1-based) where row `row` of `table` starts; 0 for a row the document does not hold.
    int pageOfRow(const Table *table, int row) const;
    // True when `Tables(index)` does not lie on one page: its last row ends on a page after the one where its
    // first row starts.
    bool tableSpansPages(int index) const;
    // Changes since the document was made; a window repaints when it grows.
    quint64 revision() const { return m_revision; }

    // Writes .docx or .pdf by the extension; a failure leaves an existing file as it was.
    bool SaveAs(const QString &path);
    QString lastError() const { return m_lastError; }

    // Called by tables when their content changes.
    void contentChanged();

signals:
    void changed();

private:
    friend class Application;
    friend class Selection;
    friend class DocumentList;
    friend class DocumentArchive;
    Document(Application *application, const QString &name);
    int lastParagraphBlock() const;
    int blockOfTable(const Table *table) const;
    Paragraph &lastParagraphForEdit();
    void dropMeasures();

    std::vector<Block> m_blocks;
    Section m_section;
    Selection m_selection{this};
    QString m_lastError;
    quint64 m_revision = 0;
    mutable quint64 m_layoutRevision = ~quint64(0);
    mutable Layout m_layout;
};

} // namespace tavlo::document
