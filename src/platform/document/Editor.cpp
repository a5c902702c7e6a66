#include "Editor.h"

#include "Document.h"

#include <QUndoCommand>

#include <algorithm>
#include <cmath>
#include <functional>

namespace tavlo::document {

namespace {

const Block *blockAt(const Document &d, int block) {
    return block >= 0 && block < d.blockCount() ? &d.block(block) : nullptr;
}

// What one paragraph or cell shows: its text, format, lines and the box its lines are laid in.
struct TextBox {
    QString text;
    CharFormat format;
    Alignment alignment = Alignment::Left;
    const Measure::Lines *lines = nullptr;
    double left = 0; // x of the text area in page points
    double width = 0;
};

bool textBox(const Document &d, const TextPosition &p, TextBox *box) {
    const Block *b = blockAt(d, p.block);
    if (!b)
        return false;
    const PageSetup &setup = d.pageSetup();
    if (p.row == 0) {
        if (b->kind != Block::ParagraphBlock || !b->measure)
            return false;
        *box = TextBox{b->paragraph.text,          b->paragraph.format, b->paragraph.alignment,
                       &b->measure->cells.front(), setup.leftMargin,    setup.textWidth()};
        return true;
    }
    if (b->kind != Block::TableBlock || !b->table->hasCell(p.row, p.cell))
        return false;
    const Row &row = b->table->row(p.row);
    if (!row.measure || p.cell > row.measure->cells.size())
        return false;
    double x = setup.leftMargin - kCellPadding;
    for (int c = 1; c < p.cell; ++c)
        x += row.cells[size_t(c - 1)].width;
    const Cell &cell = row.cells[size_t(p.cell - 1)];
    *box = TextBox{cell.text,        cell.format,
                   cell.alignment,   &row.measure->cells[p.cell - 1],
                   x + kCellPadding, cell.width - 2 * kCellPadding};
    return true;
}

// The line of `lines` that holds `offset`: at a line's end the caret stays on that line.
int lineOf(const Measure::Lines &lines, int offset) {
    for (int i = 0; i < lines.ranges.size(); ++i) {
        const auto [start, length] = lines.ranges[i];
        const bool last = i + 1 == lines.ranges.size();
        const bool nextStartsHere = !last && lines.ranges[i + 1].first <= offset;
        if (offset >= start && offset <= start + length && !nextStartsHere)
            return i;
    }
    return int(lines.ranges.size()) - 1;
}

// The x of `offset` on line `line` of a box, and the offset nearest to `x`.
double xOfOffset(const TextBox &box, int line, int offset) {
    const auto [start, length] = box.lines->ranges[line];
    const QString shownLine = box.text.mid(start, length);
    // Centred and right-aligned lines are shown without their blanks at either end.
    int lead = 0;
    QString shown = shownLine;
    if (box.alignment != Alignment::Left) {
        shown = shownLine.trimmed();
        while (lead < shownLine.size() && shownLine.at(lead).isSpace())
            ++lead;
    }
    const double origin = box.left + alignedX(box.alignment, box.width, textAdvance(shown, box.format));
    const int into = std::clamp(offset - start - lead, 0, int(shown.size()));
    return origin + textAdvance(shown.left(into), box.format);
}

int offsetAtX(const TextBox &box, int line, double x) {
    const auto [start, length] = box.lines->ranges[line];
    int best = start;
    double bestDistance = std::abs(xOfOffset(box, line, start) - x);
    // A line ends before its break; a paragraph's last line may end at its text's end.
    int end = start + length;
    if (end > start && line + 1 < box.lines->ranges.size() && box.text.at(end - 1).isSpace())
        --end;
    for (int o = start + 1; o <= end; ++o) {
        const double distance = std::abs(xOfOffset(box, line, o) - x);
        if (distance < bestDistance) {
            best = o;
            bestDistance = distance;
        }
    }
    return best;
}

// The fragments of the layout that show block `block` (and row `row` of its table).
QList<std::pair<int, const Fragment *>> fragmentsOf(const Layout &layout, int block, int row) {
    QList<std::pair<int, const Fragment *>> found;
    int first = 1, last = int(layout.pages.size());
    if (row > 0 && block < layout.rowPage.size() && row - 1 < layout.rowPage[block].size()) {
        first = layout.rowPage[block][row - 1];
        last = layout.rowEndPage[block][row - 1];
    } else if (block < layout.blockPage.size() && layout.blockPage[block] > 0) {
        first = layout.blockPage[block];
    }
    for (int page = std::max(1, first); page <= last && page <= layout.pages.size(); ++page) {
        bool any = false;
        for (const Fragment &f : layout.pages[page - 1].fragments)
            if (f.block == block && f.row == row) {
                found.append({page, &f});
                any = true;
            }
        if (!any && !found.isEmpty())
            break;
    }
    return found;
}

// The first line and count of lines a fragment shows of cell `cell` (or of its paragraph).
std::pair<int, int> linesShown(const Fragment &f, int cell, int lineCount) {
    if (f.row == 0)
        return {f.firstLine, f.lineCount};
    if (cell - 1 < f.cellLines.size())
        return f.cellLines[cell - 1];
    return {0, lineCount};
}

} // namespace

bool holdsText(const Document &d, const TextPosition &p) {
    const Block *b = blockAt(d, p.block);
    if (!b)
        return false;
    if (p.row == 0)
        return b->kind == Block::ParagraphBlock;
    return b->kind == Block::TableBlock && b->table->hasCell(p.row, p.cell);
}

QString textAt(const Document &d, const TextPosition &p) {
    if (!holdsText(d, p))
        return {};
    const Block &b = d.block(p.block);
    return p.row == 0 ? b.paragraph.text : b.table->cellText(p.row, p.cell);
}

TextPosition firstPosition(const Document &d) {
    for (int i = 0; i < d.blockCount(); ++i) {
        const Block &b = d.block(i);
        if (b.kind == Block::ParagraphBlock)
            return {i, 0, 0, 0};
        if (b.kind == Block::TableBlock && b.table->RowsCount() > 0)
            return {i, 1, 1, 0};
    }
    return {};
}

bool caretBox(const Document &d, const TextPosition &p, int *page, QRectF *box) {
    const Layout &layout = d.layout();
    TextBox text;
    if (!textBox(d, p, &text) || text.lines->ranges.isEmpty())
        return false;
    const int offset = std::clamp(p.offset, 0, int(text.text.size()));
    const int line = lineOf(*text.lines, offset);
    for (const auto &[onPage, f] : fragmentsOf(layout, p.block, p.row)) {
        const auto [first, count] = linesShown(*f, p.cell, int(text.lines->ranges.size()));
        if (line < first || line >= first + count)
            continue;
        *page = onPage;
        const double top = d.pageSetup().topMargin + f->y + (line - first) * text.lines->lineHeight;
        *box = QRectF(xOfOffset(text, line, offset), top, 0, text.lines->lineHeight);
        return true;
    }
    return false;
}

QList<std::pair<int, QRectF>> selectionBoxes(const Document &d, const TextPosition &p, int from, int to) {
    QList<std::pair<int, QRectF>> boxes;
    const Layout &layout = d.layout();
    TextBox text;
    if (from >= to || !textBox(d, p, &text))
        return boxes;
    const auto &ranges = text.lines->ranges;
    for (const auto &[onPage, f] : fragmentsOf(layout, p.block, p.row)) {
        const auto [first, count] = linesShown(*f, p.cell, int(ranges.size()));
        for (int line = first; line < first + count && line < ranges.size(); ++line) {
            const int start = ranges[line].first;
            const int end = start + ranges[line].second;
            const int a = std::max(from, start);
            const int b = std::min(to, end);
            if (a >= b)
                continue;
            const double top = d.pageSetup().topMargin + f->y + (line - first) * text.lines->lineHeight;
            const double left = xOfOffset(text, line, a);
            boxes.append(
                {onPage, QRectF(left, top, xOfOffset(text, line, b) - left, text.lines->lineHeight)});
        }
    }
    return boxes;
}

TextPosition positionAt(const Document &d, int page, QPointF point) {
    const Layout &layout = d.layout();
    if (page < 1 || page > layout.pages.size() || layout.pages[page - 1].fragments.isEmpty())
        return firstPosition(d);
    const PageSetup &setup = d.pageSetup();
    const double y = point.y() - setup.topMargin;
    const Fragment *nearest = nullptr;
    double nearestDistance = 0;
    for (const Fragment &f : layout.pages[page - 1].fragments) {
        const double distance = y < f.y ? f.y - y : (y > f.y + f.height ? y - f.y - f.height : 0);
        if (!nearest || distance < nearestDistance) {
            nearest = &f;
            nearestDistance = distance;
        }
    }
    TextPosition p{nearest->block, nearest->row, 0, 0};
    if (nearest->row > 0) {
        const Row &row = d.block(nearest->block).table->row(nearest->row);
        double x = setup.leftMargin - kCellPadding;
        p.cell = int(row.cells.size());
        for (size_t c = 0; c < row.cells.size(); ++c) {
            x += row.cells[c].width;
            if (point.x() < x) {
                p.cell = int(c) + 1;
                break;
            }
        }
    }
    TextBox text;
    if (!textBox(d, p, &text) || text.lines->ranges.isEmpty())
        return p;
    const auto [first, count] = linesShown(*nearest, p.cell, int(text.lines->ranges.size()));
    if (count <= 0) {
        p.offset =
            first < text.lines->ranges.size() ? text.lines->ranges[first].first : int(text.text.size());
        return p;
    }
    const int line =
        first +
        std::clamp(int(std::floor((y - nearest->y) / std::max(1.0, text.lines->lineHeight))), 0, count - 1);
    p.offset = offsetAtX(text, line, point.x());
    return p;
}

// One step on the undo stack: what to do and undo, and where the caret stands before and after.
class EditCommand : public QUndoCommand {
public:
    EditCommand(Editor *editor, const QString &name, std::function<void()> redo, std::function<void()> undo,
                TextPosition before, TextPosition after, bool typing)
        : QUndoCommand(name)
        , m_editor(editor)
        , m_redo(std::move(redo))
        , m_undo(std::move(undo))
        , m_before(before)
        , m_after(after)
        , m_typing(typing) {}

    void redo() override {
        m_editor->apply(m_redo);
        m_editor->setCaret(m_after);
    }
    void undo() override {
        m_editor->apply(m_undo);
        m_editor->setCaret(m_before);
    }
    int id() const override { return m_typing ? 1 : -1; }
    // Typing in one paragraph or cell is undone as a whole.
    bool mergeWith(const QUndoCommand *other) override {
        const auto *next = static_cast<const EditCommand *>(other);
        if (!next->m_typing || !m_after.sameText(next->m_before) || m_after.offset != next->m_before.offset)
            return false;
        m_redo = next->m_redo;
        m_after = next->m_after;
        return true;
    }

private:
    Editor *m_editor;
    std::function<void()> m_redo;
    std::function<void()> m_undo;
    TextPosition m_before;
    TextPosition m_after;
    bool m_typing;
};

Editor::Editor(Document *document, QObject *parent)
    : QObject(parent)
    , m_document(document) {
    m_undo.setUndoLimit(1000);
    if (document) {
        m_caret = m_anchor = firstPosition(*document);
        connect(document, &Document::changed, this, &Editor::documentChanged);
    }
}

void Editor::apply(const std::function<void()> &change) {
    m_applying = true;
    change();
    m_applying = false;
}

void Editor::documentChanged() {
    if (m_applying)
        return;
    // Someone else changed the document: the recorded steps may no longer fit it. The change may still be
    // under way (a table reports a change before it alters a cell), so nothing here lays the document
    // out: the caret is only kept inside the text, and the window repaints once the change is done.
    m_undo.clear();
    keepCaretInText();
}

void Editor::keepCaretInText() {
    if (!m_document)
        return;
    for (TextPosition *p : {&m_caret, &m_anchor}) {
        if (!holdsText(*m_document, *p))
            *p = firstPosition(*m_document);
        p->offset = std::clamp(p->offset, 0, int(textAt(*m_document, *p).size()));
    }
    if (!m_anchor.sameText(m_caret))
        m_anchor = m_caret;
}

void Editor::clampCaret() {
    if (!m_document)
        return;
    keepCaretInText();
    emit caretMoved();
}

void Editor::setCaret(const TextPosition &position, bool keepAnchor) {
    if (!m_document)
        return;
    if (!holdsText(*m_document, position)) {
        clampCaret();
        return;
    }
    m_caret = position;
    m_caret.offset = std::clamp(position.offset, 0, int(textAt(*m_document, position).size()));
    if (!keepAnchor || !m_anchor.sameText(m_caret))
        m_anchor = m_caret;
    emit caretMoved();
}

QString Editor::selectedText() const {
    if (!m_document || !hasSelection())
        return {};
    QString text = textAt(*m_document, m_caret);
    const int from = std::min(m_caret.offset, m_anchor.offset);
    text = text.mid(from, std::abs(m_caret.offset - m_anchor.offset));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void Editor::replaceText(const TextPosition &at, int from, int length, const QString &with, bool typing) {
    if (!m_document || !holdsText(*m_document, at))
        return;
    const QString before = textAt(*m_document, at);
    QString after = before;
    after.replace(from, length, with);
    if (after == before)
        return;
    QPointer<Document> d = m_document;
    auto set = [d, at](const QString &text) {
        return [d, at, text] {
            if (!d)
                return;
            if (at.row == 0)
                d->setParagraphText(at.block, text);
            else
                d->block(at.block).table->setCellText(at.row, at.cell, text);
        };
    };
    TextPosition caretBefore = m_caret;
    TextPosition caretAfter = at;
    caretAfter.offset = from + int(with.size());
    m_undo.push(new EditCommand(this, QStringLiteral("键入"), set(after), set(before), caretBefore,
                                caretAfter, typing && length == 0 && !with.contains(QLatin1Char('\r'))));
}

void Editor::deleteSelection() {
    if (!hasSelection())
        return;
    const int from = std::min(m_caret.offset, m_anchor.offset);
    const int length = std::abs(m_caret.offset - m_anchor.offset);
    replaceText(m_caret, from, length, QString(), false);
}

void Editor::insertText(const QString &typed) {
    if (!m_document || !holdsText(*m_document, m_caret))
        return;
    QString text = typed;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.remove(QChar(0));
    if (text.isEmpty())
        return;
    const bool several = hasSelection() || text.contains(QLatin1Char('\n'));
    if (several)
        m_undo.beginMacro(QStringLiteral("粘贴"));
    deleteSelection();
    if (m_caret.inTable()) {
        text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
        replaceText(m_caret, m_caret.offset, 0, text, true);
    } else {
        const QStringList pieces = text.split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                newParagraph();
            if (!pieces[i].isEmpty())
                replaceText(m_caret, m_caret.offset, 0, pieces[i], true);
        }
    }
    if (several)
        m_undo.endMacro();
}

void Editor::newParagraph() {
    if (!m_document || !holdsText(*m_document, m_caret))
        return;
    if (m_caret.inTable()) {
        insertText(QStringLiteral("\n"));
        return;
    }
    deleteSelection();
    QPointer<Document> d = m_document;
    const TextPosition at = m_caret;
    const TextPosition after{at.block + 1, 0, 0, 0};
    m_undo.push(new EditCommand(
        this, QStringLiteral("新段落"),
        [d, at] {
            if (d)
                d->splitParagraph(at.block, at.offset);
        },
        [d, at] {
            if (d)
                d->joinWithNextParagraph(at.block);
        },
        at, after, false));
}

void Editor::backspace() {
    if (!m_document || !holdsText(*m_document, m_caret))
        return;
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    if (m_caret.offset > 0) {
        replaceText(m_caret, m_caret.offset - 1, 1, QString(), false);
        return;
    }
    // At a paragraph's start: join it to the paragraph before, when there is one.
    const Block *previous = blockAt(*m_document, m_caret.block - 1);
    if (m_caret.inTable() || !previous || previous->kind != Block::ParagraphBlock)
        return;
    const int block = m_caret.block - 1;
    const int joint = int(previous->paragraph.text.size());
    joinParagraphs(block, joint, TextPosition{block, 0, 0, joint});
}

void Editor::deleteForward() {
    if (!m_document || !holdsText(*m_document, m_caret))
        return;
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    const QString text = textAt(*m_document, m_caret);
    if (m_caret.offset < text.size()) {
        replaceText(m_caret, m_caret.offset, 1, QString(), false);
        return;
    }
    const Block *next = blockAt(*m_document, m_caret.block + 1);
    if (m_caret.inTable() || !next || next->kind != Block::ParagraphBlock)
        return;
    joinParagraphs(m_caret.block, int(text.size()), m_caret);
}

void Editor::joinParagraphs(int block, int joint, const TextPosition &after) {
    QPointer<Document> d = m_document;
    m_undo.push(new EditCommand(
        this, QStringLiteral("删除"),
        [d, block] {
            if (d)
                d->joinWithNextParagraph(block);
        },
        [d, block, joint] {
            if (d)
                d->splitParagraph(block, joint);
        },
        m_caret, after, false));
}

void Editor::selectAllOfText() {
    if (!m_document)
        return;
    TextPosition start = m_caret;
    start.offset = 0;
    TextPosition end = m_caret;
    end.offset = int(textAt(*m_document, m_caret).size());
    setCaret(start);
    setCaret(end, true);
}

void Editor::moveLeft(bool keepAnchor) {
    if (!m_document)
        return;
    if (hasSelection() && !keepAnchor) {
        TextPosition p = m_caret;
        p.offset = std::min(m_caret.offset, m_anchor.offset);
        setCaret(p);
        return;
    }
    if (m_caret.offset > 0) {
        TextPosition p = m_caret;
        --p.offset;
        setCaret(p, keepAnchor);
    } else if (!keepAnchor) {
        if (m_caret.inTable())
            previousCell();
        else if (const Block *b = blockAt(*m_document, m_caret.block - 1);
                 b && b->kind == Block::ParagraphBlock)
            setCaret({m_caret.block - 1, 0, 0, int(b->paragraph.text.size())});
    }
}

void Editor::moveRight(bool keepAnchor) {
    if (!m_document)
        return;
    if (hasSelection() && !keepAnchor) {
        TextPosition p = m_caret;
        p.offset = std::max(m_caret.offset, m_anchor.offset);
        setCaret(p);
        return;
    }
    if (m_caret.offset < textAt(*m_document, m_caret).size()) {
        TextPosition p = m_caret;
        ++p.offset;
        setCaret(p, keepAnchor);
    } else if (!keepAnchor) {
        if (m_caret.inTable()) {
            nextCell();
            TextPosition p = m_caret;
            p.offset = 0;
            setCaret(p);
        } else if (const Block *b = blockAt(*m_document, m_caret.block + 1);
                   b && b->kind == Block::ParagraphBlock) {
            setCaret({m_caret.block + 1, 0, 0, 0});
        }
    }
}

void Editor::moveHome(bool keepAnchor) {
    TextPosition p = m_caret;
    p.offset = 0;
    setCaret(p, keepAnchor);
}

void Editor::moveEnd(bool keepAnchor) {
    if (!m_document)
        return;
    TextPosition p = m_caret;
    p.offset = int(textAt(*m_document, m_caret).size());
    setCaret(p, keepAnchor);
}

bool Editor::moveVertically(int direction, bool keepAnchor) {
    if (!m_document)
        return false;
    int page = 0;
    QRectF box;
    if (!caretBox(*m_document, m_caret, &page, &box))
        return false;
    const PageSetup &setup = m_document->pageSetup();
    QPointF target(box.x(), direction < 0 ? box.top() - 1 : box.bottom() + 1);
    // Past the text area: the neighbouring page, at its bottom or top.
    const double top = setup.topMargin;
    const double bottom = setup.topMargin + setup.textHeight();
    if (target.y() < top && page > 1) {
        --page;
        const auto &fragments = m_document->layout().pages[page - 1].fragments;
        target.setY(fragments.isEmpty() ? bottom : top + fragments.last().y + fragments.last().height - 1);
    } else if (target.y() > bottom && page < m_document->layout().pages.size()) {
        ++page;
        target.setY(top + 1);
    }
    TextPosition p = positionAt(*m_document, page, target);
    // A cell with fewer lines than its row: step on past the row's other lines.
    const double step = std::max(1.0, box.height());
    for (int i = 0; i < 400 && p == m_caret && target.y() > top && target.y() < bottom; ++i) {
        target.ry() += direction * step;
        p = positionAt(*m_document, page, target);
    }
    if (p == m_caret)
        return false;
    if (keepAnchor && !p.sameText(m_anchor))
        return false;
    setCaret(p, keepAnchor);
    return true;
}

void Editor::moveUp(bool keepAnchor) {
    if (!moveVertically(-1, keepAnchor) && keepAnchor)
        moveHome(true);
}

void Editor::moveDown(bool keepAnchor) {
    if (!moveVertically(1, keepAnchor) && keepAnchor)
        moveEnd(true);
}

void Editor::nextCell() {
    if (!m_document || !m_caret.inTable())
        return;
    const Table &t = *m_document->block(m_caret.block).table;
    TextPosition p = m_caret;
    if (p.cell < t.CellsCount(p.row)) {
        ++p.cell;
    } else if (p.row < t.RowsCount()) {
        ++p.row;
        p.cell = 1;
    } else {
        return;
    }
    p.offset = 0;
    setCaret(p);
    moveEnd(true);
}

void Editor::previousCell() {
    if (!m_document || !m_caret.inTable())
        return;
    TextPosition p = m_caret;
    if (p.cell > 1) {
        --p.cell;
    } else if (p.row > 1) {
        --p.row;
        p.cell = m_document->block(p.block).table->CellsCount(p.row);
    } else {
        return;
    }
    p.offset = 0;
    setCaret(p);
    moveEnd(true);
}

bool Editor::insertRow(bool below) {
    if (!m_document || !m_caret.inTable() || !holdsText(*m_document, m_caret))
        return false;
    const Table &t = *m_document->block(m_caret.block).table;
    // A copy of the caret's row without its texts, as the word processors insert one.
    Row copy = t.row(m_caret.row);
    for (Cell &c : copy.cells)
        c.text.clear();
    copy.measure.reset();
    const int at = below ? m_caret.row + 1 : m_caret.row;
    QPointer<Document> d = m_document;
    const int block = m_caret.block;
    const TextPosition after{block, at, 1, 0};
    m_undo.push(new EditCommand(
        this, QStringLiteral("插入行"),
        [d, block, at, copy] {
            if (d)
                d->block(block).table->insertRow(at, copy);
        },
        [d, block, at] {
            if (d)
                d->block(block).table->takeRow(at);
        },
        m_caret, after, false));
    return true;
}

bool Editor::insertRowAbove() {
    return insertRow(false);
}

bool Editor::insertRowBelow() {
    return insertRow(true);
}

bool Editor::deleteRow() {
    if (!m_document || !m_caret.inTable() || !holdsText(*m_document, m_caret))
        return false;
    const Table &t = *m_document->block(m_caret.block).table;
    if (t.RowsCount() < 2)
        return false;
    QPointer<Document> d = m_document;
    const int block = m_caret.block;
    const int row = m_caret.row;
    Row saved = t.row(row);
    saved.measure.reset();
    const int landing = row <= t.RowsCount() - 1 ? row : row - 1;
    const TextPosition after{block, landing, 1, 0};
    m_undo.push(new EditCommand(
        this, QStringLiteral("删除行"),
        [d, block, row] {
            if (d)
                d->block(block).table->takeRow(row);
        },
        [d, block, row, saved] {
            if (d)
                d->block(block).table->insertRow(row, saved);
        },
        m_caret, after, false));
    return true;
}

} // namespace tavlo::document
