#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUndoStack>

namespace tavlo::document {

class Document;

// A place in the text of a document: a paragraph (row 0) or a table cell, and an offset in its text.
struct TextPosition {
    int block = 0;  // 0-based block
    int row = 0;    // 1-based table row; 0 in a paragraph
    int cell = 0;   // 1-based cell of the row; 0 in a paragraph
    int offset = 0; // in the paragraph's or the cell's text ("\r" between a cell's paragraphs)

    bool inTable() const { return row > 0; }
    // Same paragraph or same cell.
    bool sameText(const TextPosition &other) const {
        return block == other.block && row == other.row && cell == other.cell;
    }
    bool operator==(const TextPosition &) const = default;
};

// Whether a position names a paragraph or a cell the document holds (the offset may be out of range).
bool holdsText(const Document &document, const TextPosition &position);
// The text of the paragraph or cell at `position`.
QString textAt(const Document &document, const TextPosition &position);
// Where the caret at `position` stands in the current layout: its page (1-based) and the line's box in
// page points (width 0). False when the position is not laid out.
bool caretBox(const Document &document, const TextPosition &position, int *page, QRectF *box);
// The boxes (page, rectangle in page points) that show the characters [from, to) of the paragraph or cell
// at `position`, one per line.
QList<std::pair<int, QRectF>> selectionBoxes(const Document &document, const TextPosition &position, int from,
                                             int to);
// The text position nearest to `point` (page points) on page `page`.
TextPosition positionAt(const Document &document, int page, QPointF point);
// The first place where text can be typed: the first paragraph or cell.
TextPosition firstPosition(const Document &document);

// Plain-text editing of a document as a user does it: a caret and a selection inside one paragraph or
// cell, typing, deleting, new paragraphs, moving between cells, inserting and deleting table rows, with
// every change on an undo stack. All changes go through the document's own operations, so the document
// reports each one. A change made by anyone else (a program filling the form) clears the undo history,
// since its steps would no longer fit the text.
class Editor : public QObject {
    Q_OBJECT

public:
    explicit Editor(Document *document, QObject *parent = nullptr);

    QUndoStack *undoStack() { return &m_undo; }
    TextPosition caret() const { return m_caret; }
    TextPosition anchor() const { return m_anchor; }
    bool hasSelection() const { return m_anchor.offset != m_caret.offset && m_anchor.sameText(m_caret); }
    QString selectedText() const;
    // Places the caret; with `keepAnchor` the selection runs from the anchor (same paragraph or cell only).
    void setCaret(const TextPosition &position, bool keepAnchor = false);

    // Types `text` over the selection. A line break starts a new paragraph; in a cell, a new paragraph of
    // the cell.
    void insertText(const QString &text);
    void newParagraph();
    void backspace();
    void deleteForward();
    void selectAllOfText();

    void moveLeft(bool keepAnchor);
    void moveRight(bool keepAnchor);
    void moveHome(bool keepAnchor);
    void moveEnd(bool keepAnchor);
    void moveUp(bool keepAnchor);
    void moveDown(bool keepAnchor);
    // Tab and Shift+Tab: the next and the previous cell of the table, the cell's text selected.
    void nextCell();
    void previousCell();

    // Rows of the table the caret is in; false when the caret is not in a table (or on its only row).
    bool insertRowAbove();
    bool insertRowBelow();
    bool deleteRow();

signals:
    void caretMoved();

private:
    friend class EditCommand;
    void apply(const std::function<void()> &change);
    void documentChanged();
    void clampCaret();
    void keepCaretInText();
    void replaceText(const TextPosition &at, int from, int length, const QString &with, bool typing);
    void deleteSelection();
    // Joins paragraph `block` with the next one (the join point `joint` in its text), as one undo step.
    void joinParagraphs(int block, int joint, const TextPosition &after);
    bool moveVertically(int direction, bool keepAnchor);
    bool insertRow(bool below);

    QPointer<Document> m_document;
    QUndoStack m_undo;
    TextPosition m_caret;
    TextPosition m_anchor;
    bool m_applying = false;
};

} // namespace tavlo::document
