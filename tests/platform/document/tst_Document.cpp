// The embedded word processor on its own: paragraph and table editing as a word processor does it,
// pagination, font substitution, the window, and the .docx package checked as a whole by Python's zipfile.
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentWindow.h"
#include "platform/document/Layout.h"
#include "platform/window/WindowPlacement.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

class TestDocument : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void paragraphTextStartsParagraphs();
    void tableEditing();
    void autoFit();
    void pagination();
    void fontSubstitution();
    void windowShowsPagesAndClosesTheDocument();
    void packageIsComplete();
    void windowsOpenBesideTheMainWindow();

private:
    Application *m_app = nullptr;
    Document *m_doc = nullptr;
};

void TestDocument::init() {
    m_app = Application::create();
    m_doc = m_app->Documents().Add();
}

void TestDocument::cleanup() {
    m_app->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestDocument::paragraphTextStartsParagraphs() {
    QCOMPARE(m_doc->Name(), QStringLiteral("文档1"));
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

void TestDocument::windowShowsPagesAndClosesTheDocument() {
    m_doc->setLastParagraphText(QStringLiteral("第一页"));
    m_doc->appendPageBreak();
    m_app->setVisible(true);
    auto *window = qobject_cast<DocumentWindow *>(m_doc->window());
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("文档1"));
    PageView *view = window->pageView();
    QTRY_VERIFY(view->pageRect(2).bottom() < view->height());
    const int height = view->height();
    window->zoomBox()->setCurrentIndex(window->zoomBox()->findData(1.5));
    QVERIFY(view->height() > height * 1.5);
    QTemporaryDir dir;
    QVERIFY(window->saveTo(dir.filePath(QStringLiteral("a.docx"))));
    QCOMPARE(window->windowTitle(), QStringLiteral("a.docx"));
    QVERIFY(m_doc->Saved());
    QPointer<Document> doc = m_doc;
    window->close();
    QVERIFY(!doc || !doc->isAlive());
    QCOMPARE(m_app->Documents().Count(), 0);
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
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("ok"));
}

void TestDocument::windowsOpenBesideTheMainWindow() {
    using tavlo::window::besideAnchor;
    const QRect screen(1920, 0, 1920, 1040); // a second screen right of the first
    // Room on the right: just right of the main window, level with it.
    QCOMPARE(besideAnchor(QRect(2000, 100, 800, 600), QSize(900, 700), screen), QRect(2808, 100, 900, 700));
    // No room on the right: on the left.
    QCOMPARE(besideAnchor(QRect(2900, 100, 800, 600), QSize(900, 700), screen), QRect(1992, 100, 900, 700));
    // Not wide enough on either side: narrowed to the roomier one, kept on the screen.
    QCOMPARE(besideAnchor(QRect(2200, 500, 1000, 500), QSize(1000, 760), screen), QRect(3208, 280, 632, 760));
    QCOMPARE(besideAnchor(QRect(2600, 0, 1000, 500), QSize(3000, 2000), screen), QRect(1920, 0, 672, 1040));
    // Too little room anywhere: over the main window's right part.
    QCOMPARE(besideAnchor(QRect(1950, 0, 1800, 500), QSize(1000, 760), screen), QRect(2840, 0, 1000, 760));

    // The document window opens on the main window's screen, not at its origin over it.
    QWidget main;
    main.setWindowTitle(QStringLiteral("Tavlo"));
    main.setGeometry(40, 60, 200, 150);
    main.show();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget *window = m_doc->window();
    window->resize(300, 200);
    m_app->setVisible(true);
    QVERIFY(window->isVisible());
    QCOMPARE(window->screen(), main.screen());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect frame = window->frameGeometry();
    QVERIFY2(frame.left() > main.frameGeometry().right() && !frame.intersects(main.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2").arg(frame.left()).arg(main.frameGeometry().right())));
    QVERIFY(qAbs(frame.top() - main.frameGeometry().top()) < 50);
}

QTEST_MAIN(TestDocument)
#include "tst_Document.moc"
