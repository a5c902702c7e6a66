#include "Document.h"

#include "Application.h"
#include "DocxWriter.h"
#include "PagePainter.h"
#include "platform/text/AtomicFile.h"

#include <QFileInfo>

#include <algorithm>

namespace tavlo::document {

void Selection::EndKey() {
    m_table = nullptr;
    m_row = 0;
}

void Selection::selectRow(Table *table, int row) {
    m_table = table;
    m_row = row;
}

void Selection::InsertRowsBelow(int count) {
    if (!m_table || m_document->blockOfTable(m_table) < 0 || m_row < 1 || m_row > m_table->RowsCount())
        return;
    m_table->InsertRowsBelow(m_row, count);
    m_row += count;
}

void Selection::InsertBreak() {
    EndKey();
    m_document->appendPageBreak();
}

int Selection::pageNumber() const {
    if (m_table)
        return m_document->pageOfRow(m_table, m_row);
    return m_document->layout().pageCount();
}

Document::Document(Application *application, const QString &name)
    : office::OfficeFile(application, name, QString()) {
    m_blocks.emplace_back();
}

Document::~Document() {
    dropWindow();
}

Application *Document::application() const {
    return static_cast<Application *>(officeApplication());
}

void Document::contentChanged() {
    ++m_revision;
    setSaved(false);
    emit changed();
}

void Document::dropMeasures() {
    for (Block &b : m_blocks) {
        b.measure.reset();
        if (b.table)
            for (int r = 1; r <= b.table->RowsCount(); ++r)
                b.table->row(r).measure.reset();
    }
}

int Document::ParagraphsCount() const {
    int count = 0;
    for (const Block &b : m_blocks)
        if (b.kind == Block::ParagraphBlock)
            ++count;
    return count;
}

int Document::lastParagraphBlock() const {
    return int(m_blocks.size()) - 1;
}

const Paragraph &Document::lastParagraph() const {
    return m_blocks.back().paragraph;
}

Paragraph &Document::lastParagraphForEdit() {
    m_blocks.back().measure.reset();
    contentChanged();
    return m_blocks.back().paragraph;
}

QString Document::lastParagraphRangeText() const {
    return lastParagraph().text + QLatin1Char('\r');
}

void Document::setLastParagraphText(const QString &text) {
    if (m_closed)
        return;
    QString normal = text;
    normal.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    normal.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    const QStringList pieces = normal.split(QLatin1Char('\r'));
    Paragraph &last = lastParagraphForEdit();
    last.text = pieces.front();
    const Paragraph format = last;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        Block b;
        b.paragraph = format;
        b.paragraph.text = pieces[i];
        m_blocks.push_back(std::move(b));
    }
}

void Document::setLastParagraphFont(const QString &fontName, double size, bool bold) {
    if (m_closed)
        return;
    lastParagraphForEdit().format = CharFormat{fontName, size, bold};
}

void Document::setLastParagraphAlignment(Alignment alignment) {
    if (m_closed)
        return;
    lastParagraphForEdit().alignment = alignment;
}

void Document::deleteLastParagraph() {
    if (m_closed)
        return;
    const bool previousIsParagraph =
        m_blocks.size() > 1 && m_blocks[m_blocks.size() - 2].kind == Block::ParagraphBlock;
    if (previousIsParagraph) {
        m_blocks.pop_back();
        contentChanged();
    } else {
        // A paragraph after a table or a break cannot go: the document ends with a paragraph.
        lastParagraphForEdit().text.clear();
    }
}

void Document::setParagraphText(int block, const QString &text) {
    if (m_closed || block < 0 || block >= blockCount() ||
        m_blocks[size_t(block)].kind != Block::ParagraphBlock)
        return;
    Block &b = m_blocks[size_t(block)];
    b.paragraph.text = text;
    b.measure.reset();
    contentChanged();
}

void Document::splitParagraph(int block, int offset) {
    if (m_closed || block < 0 || block >= blockCount() ||
        m_blocks[size_t(block)].kind != Block::ParagraphBlock)
        return;
    Block second;
    second.paragraph = m_blocks[size_t(block)].paragraph;
    const QString text = second.paragraph.text;
    offset = std::clamp(offset, 0, int(text.size()));
    second.paragraph.text = text.mid(offset);
    m_blocks[size_t(block)].paragraph.text = text.left(offset);
    m_blocks[size_t(block)].measure.reset();
    m_blocks.insert(m_blocks.begin() + block + 1, std::move(second));
    contentChanged();
}

void Document::joinWithNextParagraph(int block) {
    if (m_closed || block < 0 || block + 1 >= blockCount() ||
        m_blocks[size_t(block)].kind != Block::ParagraphBlock ||
        m_blocks[size_t(block) + 1].kind != Block::ParagraphBlock)
        return;
    m_blocks[size_t(block)].paragraph.text += m_blocks[size_t(block) + 1].paragraph.text;
    m_blocks[size_t(block)].measure.reset();
    m_blocks.erase(m_blocks.begin() + block + 1);
    contentChanged();
}

int Document::TablesCount() const {
    int count = 0;
    for (const Block &b : m_blocks)
        if (b.kind == Block::TableBlock)
            ++count;
    return count;
}

Table *Document::Tables(int index) const {
    int count = 0;
    for (const Block &b : m_blocks)
        if (b.kind == Block::TableBlock && ++count == index)
            return b.table.get();
    return nullptr;
}

int Document::blockOfTable(const Table *table) const {
    for (size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].table.get() == table)
            return int(i);
    return -1;
}

Table *Document::addTableAtEnd(int rows, int columns) {
    if (m_closed || rows < 1 || columns < 1)
        return nullptr;
    const Paragraph format = lastParagraph();
    Block tableBlock;
    tableBlock.kind = Block::TableBlock;
    tableBlock.table = std::make_unique<Table>(this);
    Cell cell;
    cell.width = pageSetup().textWidth() / columns;
    cell.format = format.format;
    cell.alignment = format.alignment;
    Row row;
    row.cells.assign(size_t(columns), cell);
    tableBlock.table->m_rows.assign(size_t(rows), row);
    Table *table = tableBlock.table.get();
    if (format.text.isEmpty())
        m_blocks.back() = std::move(tableBlock);
    else
        m_blocks.push_back(std::move(tableBlock));
    Block after;
    after.paragraph = format;
    after.paragraph.text.clear();
    m_blocks.push_back(std::move(after));
    contentChanged();
    return table;
}

void Document::appendPageBreak() {
    if (m_closed)
        return;
    Paragraph format = lastParagraph();
    format.text.clear();
    Block pageBreak;
    pageBreak.kind = Block::PageBreakBlock;
    m_blocks.push_back(std::move(pageBreak));
    Block after;
    after.paragraph = format;
    m_blocks.push_back(std::move(after));
    contentChanged();
}

void Document::setOrientation(PageSetup::Orientation orientation) {
    if (m_closed || m_section.pageSetup.orientation == orientation)
        return;
    m_section.pageSetup.orientation = orientation;
    dropMeasures();
    contentChanged();
}

void Document::setMargins(double top, double bottom, double left, double right) {
    if (m_closed)
        return;
    PageSetup &p = m_section.pageSetup;
    p.topMargin = top;
    p.bottomMargin = bottom;
    p.leftMargin = left;
    p.rightMargin = right;
    dropMeasures();
    contentChanged();
}

void Document::footerInsertAfter(const QString &text) {
    if (m_closed)
        return;
    m_section.footer.append(FooterPart{text, false});
    contentChanged();
}

void Document::footerAddField(const QString &code) {
    if (m_closed)
        return;
    m_section.footer.append(FooterPart{code, true});
    contentChanged();
}

void Document::setFooterAlignment(Alignment alignment) {
    if (m_closed)
        return;
    m_section.footerAlignment = alignment;
    contentChanged();
}

void Document::clearFooter() {
    if (m_closed)
        return;
    m_section.footer.clear();
    contentChanged();
}

void Document::setHeaderBottomBorder(bool visible) {
    if (m_closed)
        return;
    m_section.headerBottomBorder = visible;
    contentChanged();
}

const Layout &Document::layout() const {
    if (m_layoutRevision != m_revision) {
        m_layout = paginate(*this);
        m_layoutRevision = m_revision;
    }
    return m_layout;
}

int Document::pageCount() const {
    return layout().pageCount();
}

int Document::pageOfRow(const Table *table, int row) const {
    const int index = blockOfTable(table);
    if (index < 0 || row < 1 || row > table->RowsCount())
        return 0;
    const Layout &l = layout();
    return index < l.rowPage.size() && row - 1 < l.rowPage[index].size() ? l.rowPage[index][row - 1] : 0;
}

bool Document::tableSpansPages(int index) const {
    const Table *table = Tables(index);
    const int block = blockOfTable(table);
    if (!table || block < 0)
        return false;
    const Layout &l = layout();
    const QList<int> &ends = l.rowEndPage[block];
    return !ends.isEmpty() && pageOfRow(table, 1) != ends.last();
}

bool Document::SaveAs(const QString &path) {
    if (m_closed)
        return false;
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray bytes;
    QString error;
    if (suffix == QLatin1String("docx"))
        bytes = writeDocx(*this, &error);
    else if (suffix == QLatin1String("pdf"))
        bytes = writePdf(*this, &error);
    else
        error = QStringLiteral("不支持的文件类型：%1（请用 .docx 或 .pdf）").arg(suffix);
    if (bytes.isEmpty() || !tavlo::text::writeFileAtomically(path, bytes, &error)) {
        m_lastError = error.isEmpty() ? QStringLiteral("无法写入 %1").arg(path) : error;
        return false;
    }
    m_lastError.clear();
    // A PDF is an export: the document keeps its name and stays unsaved.
    if (suffix == QLatin1String("docx")) {
        adoptSavedPath(path);
        setSaved(true);
    }
    return true;
}

} // namespace tavlo::document
