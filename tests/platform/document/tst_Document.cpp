// The embedded word processor's core on its own: paragraph and table editing as a word processor does it,
// pagination, font substitution, the .docx package checked as a whole by Python's zipfile, and a visible
// application without the window library. The window: tst_DocumentWindow.
#include "Python.h"
#include "TestApps.h"

#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/Layout.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

class TestDocument : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_app = Application::create();
        m_doc = m_app->Documents().Add();
    }
    void cleanup() { TestApps::quitAll<Application>(); }
    void paragraphTextStartsParagraphs();
    void tableEditing();
    void autoFit();
    void pagination();
    void fontSubstitution();
    void packageIsComplete();
    void visibleWithoutWindowsIsOnlyAFlag();

private:
    Application *m_app = nullptr;
    Document *m_doc = nullptr;
};

void TestDocument::paragraphTextStartsParagraphs() {
    QCOMPARE(m_doc->Name(), QStringLiteral("文档1"));
    QSignalSpy saved(m_doc, &Document::savedChanged); // a first edit tells whoever keeps unsaved files
    m_doc->setLastParagraphFont(QStringLiteral("宋体"), 16, true);
    m_doc->setLastParagraphText(QStringLiteral("一\r\n二\n三\r\n"));
    QCOMPARE(m_doc->ParagraphsCount(), 4);
    QCOMPARE(m_doc->block(1).paragraph.text, QStringLiteral("二"));
    QCOMPARE(m_doc->lastParagraph().text, QString());
    QCOMPARE(m_doc->lastParagraph().format.size, 16.0); // new paragraphs keep the format
    // Setting the last paragraph's range text to itself appends one paragraph; deleting takes it back.
    m_doc->setLastParagraphText(QStringLiteral("末"));
    m_doc->setLastParagraphText(m_doc->lastParagraphRangeText());
    QCOMPARE(m_doc->ParagraphsCount(), 5);
    m_doc->deleteLastParagraph();
    QCOMPARE(m_doc->ParagraphsCount(), 4);
    QCOMPARE(m_doc->lastParagraph().text, QStringLiteral("末"));
    QVERIFY(!m_doc->Saved());
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.first().first(), QVariant(false));
}

void TestDocument::tableEditing() {
    m_doc->setLastParagraphAlignment(Alignment::Center);
    Table *t = m_doc->addTableAtEnd(2, 4);
    QCOMPARE(m_doc->TablesCount(), 1);
    QCOMPARE(m_doc->Tables(1), t);
    QCOMPARE(m_doc->blockCount(), 2); // the empty paragraph became the table; one follows it
    QCOMPARE(t->cell(1, 1).alignment, Alignment::Center);
    for (int c = 1; c <= 4; ++c)
        t->setColumnWidth(c, 10.0 * c);
    t->setCellText(2, 2, QStringLiteral("乙"));
    t->setCellText(2, 3, QStringLiteral("丙"));
    t->mergeWithNext(2, 2);
    QCOMPARE(t->CellsCount(2), 3);
    QCOMPARE(t->cell(2, 2).width, 50.0);
    QCOMPARE(t->cellText(2, 2), QStringLiteral("乙\r丙"));
    t->splitCell(2, 2, 4);
    QCOMPARE(t->CellsCount(2), 6);
    QCOMPARE(t->row(2).width(), 100.0);
    QCOMPARE(t->gridBoundaries(), (QList<double>{0, 10, 22.5, 30, 35, 47.5, 60, 100}));
    // New rows copy the selected row's cells and borders, not its text.
    t->editCell(1, 1).setBorder(Border::DiagonalDown, true);
    t->setCellText(1, 1, QStringLiteral("头"));
    m_doc->selection().selectRow(t, 1);
    m_doc->selection().InsertRowsBelow(2);
    QCOMPARE(t->RowsCount(), 4);
    QVERIFY(t->cell(3, 1).border(Border::DiagonalDown));
    QCOMPARE(t->cellText(3, 1), QString());
    QCOMPARE(t->CellsCount(4), 6); // the former row 2
    // A page break at the end: an empty paragraph starts the next page.
    m_doc->selection().EndKey();
    m_doc->selection().InsertBreak();
    QCOMPARE(m_doc->block(m_doc->blockCount() - 2).kind, Block::PageBreakBlock);
    QCOMPARE(m_doc->pageCount(), 2);
    QCOMPARE(m_doc->selection().pageNumber(), 2);
}

void TestDocument::autoFit() {
    Table *t = m_doc->addTableAtEnd(2, 3);
    t->setCellText(1, 1, QStringLiteral("甲"));
    t->setCellText(1, 2, QStringLiteral("一段相当长的文字在这里"));
    t->mergeWithNext(2, 1);
    t->AutoFitBehavior(AutoFit::Content);
    QVERIFY(t->cell(1, 1).width < t->cell(1, 2).width);
    QCOMPARE(t->cell(2, 1).width, t->cell(1, 1).width + t->cell(1, 2).width);
    QVERIFY(t->cell(1, 2).width >=
            textAdvance(QStringLiteral("一段相当长的文字在这里"), t->cell(1, 2).format));
    t->AutoFitBehavior(AutoFit::Window);
    QVERIFY(qAbs(t->width() - m_doc->pageSetup().textWidth()) < 0.01);
    QCOMPARE(t->autoFit(), AutoFit::Window);
}

void TestDocument::pagination() {
    const double textHeight = m_doc->pageSetup().textHeight(); // portrait A4
    Table *t = m_doc->addTableAtEnd(13, 2);
    for (int r = 1; r <= 13; ++r)
        t->setRowHeight(r, 100);
    const int perPage = int(textHeight / 100);
    QCOMPARE(m_doc->pageCount(), (13 + perPage - 1) / perPage);
    QCOMPARE(m_doc->pageOfRow(t, perPage), 1);
    // A row whose text fits is not broken for its height alone: the table goes on on the next page.
    QCOMPARE(m_doc->pageOfRow(t, perPage + 1), 2);
    QVERIFY(m_doc->tableSpansPages(1));
    // A long text wraps in its cell and the row grows.
    t->setRowHeight(1, 0);
    const QString one = QStringLiteral("字");
    t->setCellText(1, 1, one);
    m_doc->layout();
    const double oneLine = t->row(1).measure->height;
    t->setCellText(1, 1, one.repeated(60));
    m_doc->layout();
    QVERIFY(t->row(1).measure->height > 3 * oneLine);
    QVERIFY(t->row(1).measure->cells[0].ranges.size() > 3);
    // Landscape swaps the sides and lays out again.
    m_doc->setOrientation(PageSetup::Landscape);
    QVERIFY(m_doc->pageSetup().pageWidth() > m_doc->pageSetup().pageHeight());
    QVERIFY(m_doc->pageCount() > (13 + perPage - 1) / perPage);
    QVERIFY(!m_doc->tableSpansPages(2));
}

void TestDocument::fontSubstitution() {
    if (!QFontDatabase::hasFamily(QStringLiteral("Noto Serif CJK SC")))
        QSKIP("fonts-noto-cjk is not installed");
    QCOMPARE(substituteFamily(QStringLiteral("宋体")), QStringLiteral("Noto Serif CJK SC"));
    QCOMPARE(substituteFamily(QStringLiteral("SimSun")), QStringLiteral("Noto Serif CJK SC"));
    QCOMPARE(substituteFamily(QStringLiteral("黑体")), QStringLiteral("Noto Sans CJK SC"));
    QCOMPARE(substituteFamily(QStringLiteral("没有这种字体")), QStringLiteral("Noto Serif CJK SC"));
    QCOMPARE(substituteFamily(QStringLiteral("Noto Sans CJK SC")), QStringLiteral("Noto Sans CJK SC"));
    // The document keeps the name it was given.
    QCOMPARE(m_doc->lastParagraph().format.fontName, QStringLiteral("宋体"));
}

void TestDocument::packageIsComplete() {
    m_doc->setLastParagraphText(QStringLiteral("<&>\"特殊\"\r\n"));
    Table *t = m_doc->addTableAtEnd(2, 2);
    t->mergeWithNext(2, 1);
    m_doc->footerInsertAfter(QStringLiteral("第"));
    m_doc->footerAddField(QStringLiteral("PAGE  \\* Arabic "));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.docx"));
    QVERIFY(m_doc->SaveAs(path));
    // Every part parses, every relationship points at a part, every part has a content type.
    const QString script = QStringLiteral(R"(
import sys, zipfile, posixpath
import xml.etree.ElementTree as ET
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
names = set(z.namelist())
for n in names:
    ET.fromstring(z.read(n))
ct = ET.fromstring(z.read('[Content_Types].xml'))
ns = '{http://schemas.openxmlformats.org/package/2006/content-types}'
over = {o.get('PartName') for o in ct.iter(ns + 'Override')}
exts = {d.get('Extension') for d in ct.iter(ns + 'Default')}
for n in names:
    assert '/' + n in over or n.rsplit('.', 1)[-1] in exts, n
for n in names:
    if n.endswith('.rels'):
        base = posixpath.dirname(posixpath.dirname(n))
        for r in ET.fromstring(z.read(n)):
            target = posixpath.normpath(posixpath.join(base, r.get('Target')))
            assert target in names, (n, target)
print('ok')
)");
    QCOMPARE(Python::run(script, {path}).trimmed(), QByteArray("ok"));
}

// A program without the window library (one that only stores and prints documents) may still switch
// `Visible`: the documents stay open and get no window.
void TestDocument::visibleWithoutWindowsIsOnlyAFlag() {
    m_app->setVisible(true);
    QVERIFY(m_app->Visible());
    QVERIFY(!m_doc->window() && !m_doc->hasWindow());
    m_app->askToSaveChanges();
    QCOMPARE(m_app->Documents().Count(), 1);
}

QTEST_MAIN(TestDocument)
#include "tst_Document.moc"
