// The requisition form as a user fills it: lines, quantities, new forms, finishing, the slot's release
// when the user closes the document, and the .docx and PDF files read back by independent programs.
#include "requisition/RequisitionForm.h"

#include "common/modOffice.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentWindow.h"
#include "platform/document/Editor.h"
#include "platform/document/Layout.h"
#include "requisition/WordFrame.h"

#include "Python.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

namespace {

struct Pick {
    QString code, name, spec, unit;
};

} // namespace

class TestRequisitionForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tavlo::document::installDocumentWindows(); }
    void init();
    void cleanup();
    void padToWidth();
    void sameSelectionTwiceRaisesTheQuantity();
    void formHeadAndTable();
    void newFormBeforeFirstFillMakesNoBreak();
    void finishNumbersLinesAndPadsToThePageEnd();
    void secondFormStartsOnANewPage();
    void userClosingTheDocumentReleasesTheSlot();
    void filesReadBackByIndependentReaders();
    void fitToContentKeepsCodesAndWordsWhole();
    void rowTallerThanAPageBreaksAcrossPages();
    void formFinishedByTypingInItsWindow();

private:
    void pick(const QString &code, const QString &name, const QString &spec, const QString &unit) {
        m_pick = Pick{code, name, spec, unit};
    }
    Document *fillThreeAndFinish();

    std::unique_ptr<WordFrame> m_frame;
    std::unique_ptr<OfficeSlots> m_office;
    std::unique_ptr<RequisitionForm> m_form;
    Pick m_pick;
    bool m_valid = true;
};

void TestRequisitionForm::init() {
    m_frame = std::make_unique<WordFrame>();
    m_office = std::make_unique<OfficeSlots>();
    RequisitionForm::Material material;
    material.dataSourceValid = [this] { return m_valid; };
    material.codeValid = [this] { return m_valid; };
    material.code = [this] { return m_pick.code; };
    material.nameWithoutCode = [this] { return m_pick.name; };
    material.materialSpec = [this] { return m_pick.spec; };
    material.unit = [this] { return m_pick.unit; };
    m_form = std::make_unique<RequisitionForm>(*m_frame, *m_office, material);
    m_form->setDateSource([] { return QStringLiteral("2026/12/8"); });
    m_valid = true;
    pick(QStringLiteral("0101010000000001"), QStringLiteral("闸阀"), QStringLiteral("DN100 PN16"),
         QStringLiteral("台"));
}

void TestRequisitionForm::cleanup() {
    m_form.reset();
    m_office->ReleaseAll(false);
    m_office.reset();
    m_frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestRequisitionForm::padToWidth() {
    QCOMPARE(PadToWidth(QStringLiteral("ab"), 5), QStringLiteral("ab   "));
    QCOMPARE(PadToWidth(QStringLiteral("阀门a"), 8), QStringLiteral("阀门a   "));
    QCOMPARE(PadToWidth(QStringLiteral("abcdef"), 4), QStringLiteral("abcdef"));
    QCOMPARE(PadToWidth(QString(), 3), QStringLiteral("   "));
}

void TestRequisitionForm::sameSelectionTwiceRaisesTheQuantity() {
    m_form->cmdFill_Click();
    m_form->cmdFill_Click();
    QCOMPARE(m_form->tableRowCount(), 2);
    QCOMPARE(m_form->GetTableCell(2, 6), QStringLiteral("2"));
    QCOMPARE(m_form->GetTableCell(2, 1), QStringLiteral("1"));
    // A different description is a new line; the same one again raises its own quantity.
    pick(QStringLiteral("0101010000000001"), QStringLiteral("闸阀"), QStringLiteral("DN150 PN16"),
         QStringLiteral("台"));
    m_form->cmdFill_Click();
    QCOMPARE(m_form->tableRowCount(), 3);
    QCOMPARE(m_form->GetTableCell(3, 4), QStringLiteral("DN150 PN16"));
    QCOMPARE(m_form->GetTableCell(3, 6), QStringLiteral("1"));
    QCOMPARE(m_form->GetTableCell(2, 6), QStringLiteral("2"));
    // An invalid selection does nothing.
    m_valid = false;
    m_form->cmdFill_Click();
    QCOMPARE(m_form->tableRowCount(), 3);
}

void TestRequisitionForm::formHeadAndTable() {
    const QString fifteen = QStringLiteral("中华人民共和国国家大剧院工程项");
    QCOMPARE(fifteen.size(), 15);
    m_frame->txtProjectName->setText(fifteen);
    m_frame->txtDesignCode->setText(QStringLiteral("D-01"));
    m_form->cmdFill_Click();
    Document *d = m_office->word().document;
    QVERIFY(d);
    QCOMPARE(d->pageSetup().orientation, PageSetup::Landscape);
    QCOMPARE(d->block(0).paragraph.text, QStringLiteral("物料采购申请单"));
    QCOMPARE(d->block(0).paragraph.format, (CharFormat{QStringLiteral("宋体"), 16, true}));
    QCOMPARE(d->block(1).paragraph.text, QStringLiteral("KXD/MR-7.4-07"));
    QCOMPARE(d->block(1).paragraph.alignment, Alignment::Center);
    const Paragraph &head = d->block(2).paragraph;
    QCOMPARE(head.alignment, Alignment::Left);
    QCOMPARE(head.text, QStringLiteral("工程项目名称：") + fifteen +
                            QStringLiteral("设计编号：D-01        ") +
                            QStringLiteral("项目编号：            编报日期：2026/12/8"));
    Table *t = d->Tables(1);
    QCOMPARE(t->cellText(1, 1), QStringLiteral("类别\r序号"));
    QCOMPARE(t->cellText(1, 10), QStringLiteral("备 注"));
    QVERIFY(t->cell(1, 1).border(Border::DiagonalDown));
    QVERIFY(!t->cell(2, 1).border(Border::DiagonalDown));
    QCOMPARE(t->cell(2, 4).width, 216.0);
    QCOMPARE(t->cell(1, 1).format.size, 11.0);
    // The closing rows: one merged cell and eight signature cells, as wide as the table.
    QCOMPARE(t->CellsCount(3), 1);
    QCOMPARE(t->row(3).height, 104.0);
    QVERIFY(t->cellText(3, 1).startsWith(QStringLiteral("技术条件:\r设计制造标准:")));
    QCOMPARE(t->CellsCount(4), 8);
    QCOMPARE(t->cellText(4, 7), QStringLiteral("事业部总经理"));
    QCOMPARE(t->row(4).width(), 711.0);
    QCOMPARE(d->lastParagraph().text.left(11), QStringLiteral("保存部门：采购管理中心"));
    QCOMPARE(d->lastParagraph().text.size(), 11 + 110 + 6);
    // The footer numbers pages with fields; the header loses its border.
    QCOMPARE(d->section().footer.size(), 6);
    QVERIFY(d->section().footer[1].field);
    QCOMPARE(d->section().footerAlignment, Alignment::Right);
    QVERIFY(!d->section().headerBottomBorder);
    QVERIFY(m_office->pageNumbersInserted);

    // A longer name is written whole, with no blanks after it.
    m_form->cmdFinish_Click();
    m_frame->txtProjectName->setText(fifteen + QStringLiteral("一"));
    m_form->cmdFill_Click();
    Document *second = m_office->word().document;
    QVERIFY(second && second != d);
    QVERIFY(second->block(2).paragraph.text.contains(fifteen + QStringLiteral("一设计编号：")));
}

void TestRequisitionForm::newFormBeforeFirstFillMakesNoBreak() {
    m_frame->chkNewTable->setChecked(true);
    m_form->cmdFill_Click();
    Document *d = m_office->word().document;
    QVERIFY(d);
    QVERIFY(!m_frame->chkNewTable->isChecked());
    QCOMPARE(d->TablesCount(), 1);
    for (int i = 0; i < d->blockCount(); ++i)
        QVERIFY(d->block(i).kind != Block::PageBreakBlock);
    QCOMPARE(d->pageCount(), 1);
}

Document *TestRequisitionForm::fillThreeAndFinish() {
    for (const char *spec : {"DN50", "DN80", "DN100"}) {
        pick(QStringLiteral("0101010000000001"), QStringLiteral("闸阀"), QString::fromLatin1(spec),
             QStringLiteral("台"));
        m_form->cmdFill_Click();
    }
    QPointer<Document> d = m_office->word().document.data();
    m_form->cmdFinish_Click();
    return d;
}

void TestRequisitionForm::finishNumbersLinesAndPadsToThePageEnd() {
    QPointer<Document> d = fillThreeAndFinish();
    // The slot is free, the document stays with the user.
    QVERIFY(!m_office->word().application);
    QVERIFY(d && d->isAlive());
    Table *t = d->Tables(1);
    const int rows = t->RowsCount();
    QVERIFY(rows > 10);
    for (int r = 2; r <= 4; ++r)
        QCOMPARE(t->cellText(r, 1), QString::number(r - 1));
    for (int r = 5; r <= rows - 2; ++r) {
        QVERIFY2(t->cellText(r, 1).isEmpty(), qPrintable(QString::number(r)));
        QVERIFY(t->cell(r, 3).border(Border::DiagonalUp));
        QVERIFY(!t->cell(r, 1).border(Border::DiagonalDown));
    }
    QVERIFY(!t->cell(4, 3).border(Border::DiagonalUp));
    QCOMPARE(t->CellsCount(rows - 1), 1);
    QCOMPARE(t->CellsCount(rows), 8);
    // Filled to the end of the page: one page, and one more line at the end would start a second one.
    QCOMPARE(d->pageCount(), 1);
    QVERIFY(!d->tableSpansPages(1));
    d->setLastParagraphText(d->lastParagraphRangeText());
    QCOMPARE(d->pageCount(), 2);
    // What the layout needs: the rows' heights and the paragraphs fit the page's text height.
    const Layout &layout = d->layout();
    const Fragment &last = layout.pages.front().fragments.last();
    QVERIFY(last.y + last.height <= d->pageSetup().textHeight());
}

void TestRequisitionForm::secondFormStartsOnANewPage() {
    m_form->cmdFill_Click();
    pick(QStringLiteral("0202020000000002"), QStringLiteral("球阀"), QStringLiteral("DN25"),
         QStringLiteral("个"));
    m_form->cmdFill_Click();
    m_frame->chkNewTable->setChecked(true);
    m_form->cmdFill_Click();
    Document *d = m_office->word().document;
    QCOMPARE(d->TablesCount(), 2);
    QCOMPARE(m_form->tableRowCount(), 2);
    QCOMPARE(m_form->GetTableCell(2, 3), QStringLiteral("球阀"));
    QCOMPARE(m_form->GetTableCell(2, 1), QStringLiteral("1"));
    // The first form was padded to its page end; the second starts on page 2.
    QVERIFY(d->Tables(1)->RowsCount() > 10);
    QCOMPARE(d->pageOfRow(d->Tables(1), d->Tables(1)->RowsCount()), 1);
    QCOMPARE(d->pageOfRow(d->Tables(2), 1), 2);
    QCOMPARE(d->pageCount(), 2);
    m_form->cmdFinish_Click();
    QCOMPARE(d->pageCount(), 2);
}

void TestRequisitionForm::userClosingTheDocumentReleasesTheSlot() {
    m_form->cmdFill_Click();
    QVERIFY(m_form->tmrWord.isActive());
    Document *d = m_office->word().document;
    QWidget *window = d->window();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), d->Name());
    d->setSaved(true); // nothing to ask about
    window->close();
    QVERIFY(!m_office->WordDocumentOpen());
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->tmrWord.isActive(), 3000);
    QVERIFY(!m_office->word().application);
    // The next fill starts a new document with a new form.
    m_form->cmdFill_Click();
    QVERIFY(m_office->WordDocumentOpen());
    QCOMPARE(m_form->tableRowCount(), 2);
}

void TestRequisitionForm::filesReadBackByIndependentReaders() {
    m_frame->txtProjectName->setText(QStringLiteral("水厂"));
    m_form->cmdFill_Click();
    m_frame->chkNewTable->setChecked(true);
    QPointer<Document> d = fillThreeAndFinish();
    QVERIFY(d);
    QTemporaryDir dir;
    const QString docx = dir.filePath(QStringLiteral("申请单.docx"));
    const QString pdf = dir.filePath(QStringLiteral("申请单.pdf"));
    QVERIFY2(d->SaveAs(docx), qPrintable(d->lastError()));
    QVERIFY2(d->SaveAs(pdf), qPrintable(d->lastError()));
    QCOMPARE(d->Name(), QStringLiteral("申请单.docx"));
    // An unknown extension fails and leaves the file as it was.
    QVERIFY(!d->SaveAs(dir.filePath(QStringLiteral("x.odt"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.odt"))));

    if (!QFile::exists(QStringLiteral("/usr/bin/pdfinfo")))
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QProcess info;
    info.start(QStringLiteral("/usr/bin/pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(d->pageCount()))),
             qPrintable(out));
    QCOMPARE(d->pageCount(), 2);

    if (!Python::has(QStringLiteral("docx")))
        QSKIP("python3-docx is not installed");
    const QString script = QStringLiteral(R"(
import docx, json, sys
from docx.oxml.ns import qn
d = docx.Document(sys.argv[1])
t = d.tables[-1]
rows = []
for tr in t._tbl.tr_lst:
    cells = []
    for tc in tr.tc_lst:
        span = tc.tcPr.find(qn('w:gridSpan')) if tc.tcPr is not None else None
        borders = tc.tcPr.find(qn('w:tcBorders'))
        found = [borders.find(qn(n)) if borders is not None else None for n in ('w:tl2br', 'w:tr2bl')]
        diag = [b.get(qn('w:val')) if b is not None else 'none' for b in found]
        cells.append({'text': docx.table._Cell(tc, t).text,
                      'span': int(span.get(qn('w:val'))) if span is not None else 1, 'diag': diag})
    rows.append(cells)
s = d.sections[0]
footer = s.footer._element
fields = [f.get(qn('w:instr')) for f in footer.iter(qn('w:fldSimple'))]
grid = [int(c.get(qn('w:w'))) for c in t._tbl.tblGrid.iter(qn('w:gridCol'))]
fonts = d.paragraphs[0].runs[0]._r.rPr.find(qn('w:rFonts'))
print(json.dumps({'rows': rows, 'fields': fields, 'orient': str(s.orientation), 'w': s.page_width.pt,
                  'h': s.page_height.pt, 'tables': len(d.tables), 'grid': grid,
                  'font': [fonts.get(qn('w:ascii')), fonts.get(qn('w:eastAsia'))],
                  'footer': ''.join(x.text or '' for x in footer.iter(qn('w:t'))),
                  'breaks': len([b for b in d.element.body.iter(qn('w:br')) if b.get(qn('w:type')) == 'page'])},
                 ensure_ascii=False))
)");
    const QByteArray json = Python::run(script, {docx});
    QVERIFY(!json.isEmpty());
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    QCOMPARE(o[QStringLiteral("tables")].toInt(), 2);
    QCOMPARE(o[QStringLiteral("breaks")].toInt(), 1);
    QVERIFY(o[QStringLiteral("orient")].toString().contains(QStringLiteral("LANDSCAPE")));
    QVERIFY(o[QStringLiteral("w")].toDouble() > o[QStringLiteral("h")].toDouble());
    const QJsonArray fields = o[QStringLiteral("fields")].toArray();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0].toString(), QStringLiteral("PAGE  \\* Arabic "));
    QCOMPARE(fields[1].toString(), QStringLiteral("NUMPAGES  \\* Arabic "));
    QCOMPARE(o[QStringLiteral("footer")].toString(), QStringLiteral("第1页 共2页"));
    QCOMPARE(o[QStringLiteral("font")].toArray(),
             (QJsonArray{QStringLiteral("宋体"), QStringLiteral("宋体")}));
    // The grid: the ten columns at 20 twips per point, with the signature cells' boundaries among them.
    int gridTotal = 0;
    for (const auto &w : o[QStringLiteral("grid")].toArray())
        gridTotal += w.toInt();
    QCOMPARE(gridTotal, 711 * 20);

    const QJsonArray rows = o[QStringLiteral("rows")].toArray();
    const Table *t = d->Tables(2);
    QCOMPARE(rows.size(), t->RowsCount());
    auto cellOf = [&](int r, int c) { return rows[r - 1].toArray()[c - 1].toObject(); };
    QCOMPARE(cellOf(1, 1)[QStringLiteral("text")].toString(), QStringLiteral("类别\n序号"));
    QCOMPARE(cellOf(1, 1)[QStringLiteral("diag")].toArray()[0].toString(), QStringLiteral("single"));
    for (int r = 2; r <= 4; ++r) {
        QCOMPARE(cellOf(r, 1)[QStringLiteral("text")].toString(), QString::number(r - 1));
        QCOMPARE(cellOf(r, 1)[QStringLiteral("diag")].toArray()[0].toString(), QStringLiteral("none"));
    }
    QCOMPARE(cellOf(3, 4)[QStringLiteral("text")].toString(), QStringLiteral("DN80"));
    QCOMPARE(cellOf(5, 3)[QStringLiteral("diag")].toArray()[1].toString(), QStringLiteral("single"));
    const QJsonArray merged = rows[rows.size() - 2].toArray();
    QCOMPARE(merged.size(), 1);
    QVERIFY(
        merged[0].toObject()[QStringLiteral("text")].toString().startsWith(QStringLiteral("技术条件:\n")));
    const QJsonArray signature = rows.last().toArray();
    QCOMPARE(signature.size(), 8);
    QCOMPARE(signature[2].toObject()[QStringLiteral("text")].toString(), QStringLiteral("审 核"));
    int spans = 0;
    for (const auto &c : merged)
        spans += c.toObject()[QStringLiteral("span")].toInt();
    QCOMPARE(spans, o[QStringLiteral("grid")].toArray().size());
}

namespace {

// Per table of a .docx read by python-docx: the grid's column widths, and per row each cell's text, width
// and grid span.
const char *kTablesScript = R"(
import docx, json, sys
from docx.oxml.ns import qn
d = docx.Document(sys.argv[1])
out = []
for t in d.tables:
    rows = []
    for tr in t._tbl.tr_lst:
        cells = []
        for tc in tr.tc_lst:
            span = tc.tcPr.find(qn('w:gridSpan'))
            cells.append({'text': docx.table._Cell(tc, t).text, 'w': int(tc.tcPr.find(qn('w:tcW')).get(qn('w:w'))),
                          'span': int(span.get(qn('w:val'))) if span is not None else 1})
        rows.append(cells)
    out.append({'grid': [int(c.get(qn('w:w'))) for c in t._tbl.tblGrid.iter(qn('w:gridCol'))], 'rows': rows})
print(json.dumps(out, ensure_ascii=False))
)";

// Chinese text typed as an input method hands it over: committed to the widget with focus.
void commitText(QWidget *widget, const QString &text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(widget, &event);
}

// The lines a row's cell is broken into by the layout.
int linesOf(const Document &d, const Table &t, int row, int column) {
    d.layout();
    return int(t.row(row).measure->cells[column - 1].ranges.size());
}

} // namespace

void TestRequisitionForm::fitToContentKeepsCodesAndWordsWhole() {
    // 22 lines, fitted to their content with the frame's option and buttons, as a user does it.
    m_frame->show();
    QTest::mouseClick(m_frame->optBehavior[1], Qt::LeftButton);
    QVERIFY(m_frame->optBehavior[1]->isChecked());
    for (int i = 1; i <= 22; ++i) {
        pick(QStringLiteral("01010100000000%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("闸阀"),
             QStringLiteral("DN%1 PN16").arg(i * 25), QStringLiteral("台"));
        QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    }
    QPointer<Document> d = m_office->word().document.data();
    QVERIFY(d);
    QTest::mouseClick(m_frame->cmdFinish, Qt::LeftButton);
    QVERIFY(d);
    const Table &t = *d->Tables(1);
    const double textWidth = d->pageSetup().textWidth();
    // The content wants more than the text width: the table takes the text width, and only the widest
    // columns give way; no code or word is broken anywhere.
    QVERIFY2(qAbs(t.width() - textWidth) < 0.01, qPrintable(QString::number(t.width())));
    for (int r = 1; r <= t.RowsCount(); ++r)
        for (int c = 1; c <= t.CellsCount(r); ++c)
            QVERIFY(t.cell(r, c).width >= narrowestCellWidth(t.cell(r, c)) - 0.01);
    for (int r = 2; r <= 23; ++r) {
        QCOMPARE(linesOf(*d, t, r, 2), 1); // the 16-digit code
        QCOMPARE(linesOf(*d, t, r, 3), 1); // the name
        QCOMPARE(linesOf(*d, t, r, 4), 1); // "DN550 PN16"
    }
    for (int c : {2, 3, 4, 7, 10})
        QVERIFY2(linesOf(*d, t, 1, c) == 1, qPrintable(t.cellText(1, c)));
    // Fewer pages than with fixed widths, not more.
    QCOMPARE(d->pageCount(), 2);

    // The .docx carries the same widths.
    if (!Python::has(QStringLiteral("docx")))
        QSKIP("python3-docx is not installed");
    QTemporaryDir dir;
    const QString docx = dir.filePath(QStringLiteral("fit.docx"));
    QVERIFY2(d->SaveAs(docx), qPrintable(d->lastError()));
    const QJsonArray tables =
        QJsonDocument::fromJson(Python::run(QString::fromUtf8(kTablesScript), {docx})).array();
    QCOMPARE(tables.size(), 1);
    const QJsonObject table = tables[0].toObject();
    int total = 0;
    for (const auto &w : table[QStringLiteral("grid")].toArray())
        total += w.toInt();
    QVERIFY(qAbs(total - t.width() * 20) <= 2);
    const QJsonArray head = table[QStringLiteral("rows")].toArray()[0].toArray();
    QCOMPARE(head.size(), 10);
    for (int c = 1; c <= 10; ++c)
        QVERIFY(qAbs(head[c - 1].toObject()[QStringLiteral("w")].toInt() - t.cell(1, c).width * 20) <= 2);
}

void TestRequisitionForm::rowTallerThanAPageBreaksAcrossPages() {
    const QString name = QString(32764, QChar(0x9600)); // 阀 × 32,764
    pick(QStringLiteral("0101010000000001"), name, QStringLiteral("DN100"), QStringLiteral("台"));
    m_frame->show();
    QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    QPointer<Document> d = m_office->word().document.data();
    QVERIFY(d);
    const Layout &layout = d->layout();
    const Table &t = *d->Tables(1);
    const int lines = linesOf(*d, t, 2, 3);
    QVERIFY(lines > 1000);
    // Every line of the name is on some page, once, and nothing runs past a page's text area.
    int shown = 0;
    for (const LaidPage &page : layout.pages)
        for (const Fragment &f : page.fragments) {
            QVERIFY(f.y + f.height <= d->pageSetup().textHeight() + 0.01);
            if (f.block == 3 && f.row == 2)
                shown += f.cellLines.isEmpty() ? lines : f.cellLines[2].second;
        }
    QCOMPARE(shown, lines);
    QVERIFY2(d->pageCount() > 200, qPrintable(QString::number(d->pageCount())));
    QVERIFY(d->tableSpansPages(1));
    QCOMPARE(d->pageOfRow(d->Tables(1), 1), 1);
    // Adding a line at the end adds no page while the last page has room.
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
    QVERIFY2(d->SaveAs(pdf), qPrintable(d->lastError()));
    if (!QFile::exists(QStringLiteral("/usr/bin/pdfinfo")))
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QProcess info;
    info.start(QStringLiteral("/usr/bin/pdfinfo"), {pdf});
    QVERIFY(info.waitForFinished(60000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    QVERIFY2(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(d->pageCount()))),
             qPrintable(out));
}

void TestRequisitionForm::formFinishedByTypingInItsWindow() {
    m_frame->show();
    QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    pick(QStringLiteral("0202020000000002"), QStringLiteral("球阀"), QStringLiteral("DN25"),
         QStringLiteral("个"));
    QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    QPointer<Document> d = m_office->word().document.data();
    auto *window = qobject_cast<DocumentWindow *>(d->window());
    QVERIFY(window && window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    PageView *view = window->pageView();
    Table *t = d->Tables(1);
    const int tableBlock = 3;
    QCOMPARE(d->block(tableBlock).table.get(), t);
    auto clickAt = [&](const TextPosition &p) {
        const QRect r = view->caretRect(p);
        QVERIFY(!r.isEmpty());
        QTest::mouseClick(view, Qt::LeftButton, {}, r.center() + QPoint(1, 0));
    };

    // The price of line 1, Tab, its supplier; a new paragraph of the cell with Enter.
    clickAt({tableBlock, 2, 7, 0});
    QCOMPARE(window->editor()->caret(), (TextPosition{tableBlock, 2, 7, 0}));
    QTest::keyClicks(view, QStringLiteral("1200"));
    QTest::keyClick(view, Qt::Key_Tab);
    commitText(view, QStringLiteral("华东阀门厂"));
    QTest::keyClick(view, Qt::Key_Return);
    commitText(view, QStringLiteral("②"));
    QCOMPARE(t->cellText(2, 7), QStringLiteral("1200"));
    QCOMPARE(t->cellText(2, 8), QStringLiteral("华东阀门厂\r②"));
    QVERIFY(!d->Saved());
    // Backspace, Shift+Tab back and Down into line 2; undo and redo.
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(t->cellText(2, 8), QStringLiteral("华东阀门厂"));
    QTest::keyClick(view, Qt::Key_Backtab);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(window->editor()->caret().row, 3);
    QCOMPARE(window->editor()->caret().cell, 7);
    QTest::keyClicks(view, QStringLiteral("35"));
    QCOMPARE(t->cellText(3, 7), QStringLiteral("35"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(t->cellText(3, 7), QString());
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(t->cellText(2, 8), QStringLiteral("华东阀门厂\r②"));
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(t->cellText(2, 8), QStringLiteral("华东阀门厂"));
    QCOMPARE(t->cellText(3, 7), QString());
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(t->cellText(3, 7), QStringLiteral("35"));

    // Copy a cell's text, paste it into the title paragraph; Enter splits it, Backspace joins it again.
    clickAt({tableBlock, 2, 8, 0});
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    window->actCopy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("华东阀门厂"));
    const int paragraphs = d->ParagraphsCount();
    clickAt({0, 0, 0, 7});
    QCOMPARE(window->editor()->caret(), (TextPosition{0, 0, 0, 7}));
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(d->ParagraphsCount(), paragraphs + 1);
    QCOMPARE(d->block(1).paragraph.text, QString());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(d->block(1).paragraph.text, QStringLiteral("华东阀门厂"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(d->ParagraphsCount(), paragraphs);
    QCOMPARE(d->block(0).paragraph.text, QStringLiteral("物料采购申请单"));
    QCOMPARE(d->block(tableBlock).table.get(), t);

    // A row of the user's own below line 2, then a fill: the same material raises its quantity, a new one
    // goes below the user's row, above the closing rows.
    clickAt({tableBlock, 3, 2, 0});
    window->actInsertRowBelow->trigger();
    QCOMPARE(t->RowsCount(), 6);
    QTest::keyClicks(view, QStringLiteral("9"));
    QCOMPARE(t->cellText(4, 1), QStringLiteral("9"));
    QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    QCOMPARE(t->cellText(3, 6), QStringLiteral("2"));
    pick(QStringLiteral("0303030000000003"), QStringLiteral("蝶阀"), QStringLiteral("DN300"),
         QStringLiteral("个"));
    QTest::mouseClick(m_frame->cmdFill, Qt::LeftButton);
    QCOMPARE(t->RowsCount(), 7);
    QCOMPARE(t->cellText(5, 1), QStringLiteral("4"));
    QCOMPARE(t->cellText(5, 3), QStringLiteral("蝶阀"));
    QCOMPARE(t->CellsCount(6), 1);
    QVERIFY(t->cellText(6, 1).startsWith(QStringLiteral("技术条件:")));
    // The fill is not the user's to undo; deleting the user's row is.
    QVERIFY(!window->editor()->undoStack()->canUndo());
    clickAt({tableBlock, 4, 1, 0});
    window->actDeleteRow->trigger();
    QCOMPARE(t->RowsCount(), 6);
    QCOMPARE(t->cellText(4, 3), QStringLiteral("蝶阀"));

    // Saved as .docx, then "保存" writes to the same file: python-docx reads the typed texts.
    QTemporaryDir dir;
    const QString docx = dir.filePath(QStringLiteral("申请单.docx"));
    QVERIFY(window->saveTo(docx));
    clickAt({tableBlock, 4, 10, 0});
    commitText(view, QStringLiteral("急"));
    QVERIFY(!d->Saved());
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(d->Saved());
    if (!Python::has(QStringLiteral("docx")))
        QSKIP("python3-docx is not installed");
    const QJsonArray tables =
        QJsonDocument::fromJson(Python::run(QString::fromUtf8(kTablesScript), {docx})).array();
    QCOMPARE(tables.size(), 1);
    const QJsonArray rows = tables[0].toObject()[QStringLiteral("rows")].toArray();
    QCOMPARE(rows.size(), 6);
    auto text = [&](int r, int c) {
        return rows[r - 1].toArray()[c - 1].toObject()[QStringLiteral("text")].toString();
    };
    QCOMPARE(text(2, 7), QStringLiteral("1200"));
    QCOMPARE(text(2, 8), QStringLiteral("华东阀门厂"));
    QCOMPARE(text(3, 7), QStringLiteral("35"));
    QCOMPARE(text(3, 6), QStringLiteral("2"));
    QCOMPARE(text(4, 3), QStringLiteral("蝶阀"));
    QCOMPARE(text(4, 10), QStringLiteral("急"));
}

QTEST_MAIN(TestRequisitionForm)
#include "tst_RequisitionForm.moc"
