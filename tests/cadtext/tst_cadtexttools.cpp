// The text frames' commands on the real panel: extraction into the sheet window, the manuscript and its
// checks, replacement and conversion into the drawing, which stays unsaved for the user.

#include "TestFiles.h"
#include "cadtext/CadConnection.h"
#include "cadtext/CadPanel.h"
#include "cadtext/CadTextTools.h"
#include "common/modOffice.h"
#include "platform/drawing/CadApplication.h"
#include "platform/drawing/DrawingWindow.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace tavlo;

class TestCadTextTools : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void extractThenReplaceFromTheSavedManuscript();
    void replaceChecksTheBoxesInOrder();
    void conversionThereAndBack();
    void longWalkRedrawsOnceAndStopsAtOnce();
    void readOnlyDrawingIsSavedOnlyElsewhere();

private:
    QString copyOfCorpus(const QString &name);
    void allScopes(int index);
    QString tipText() const { return m_tip->text(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QWidget> m_window;
    QLabel *m_tip = nullptr;
    CadPanel *m_panel = nullptr;
    std::unique_ptr<OfficeSlots> m_office;
    std::unique_ptr<CadConnection> m_connection;
    std::unique_ptr<CadTextTools> m_tools;
};

void TestCadTextTools::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 700);
    auto *box = new QGroupBox(m_window.get());
    box->setGeometry(0, 0, 900, 650);
    m_tip = new QLabel(m_window.get());
    m_tip->setGeometry(0, 660, 900, 30);
    m_panel = new CadPanel(box);
    m_office = std::make_unique<OfficeSlots>();
    ToolContext context;
    context.window = m_window.get();
    context.office = m_office.get();
    context.dataFolder = m_dir->path();
    context.status = StatusLine::onLabel(m_tip);
    m_connection = std::make_unique<CadConnection>(*m_panel, context);
    m_tools = std::make_unique<CadTextTools>(*m_panel, *m_connection, context);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestCadTextTools::cleanup() {
    m_tools.reset();
    m_connection->ReleaseAll(false);
    m_connection.reset();
    m_office->ReleaseAll(false);
    m_office.reset();
    for (drawing::CadApplication *cad : drawing::CadApplication::instances())
        cad->Quit();
    m_window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString TestCadTextTools::copyOfCorpus(const QString &name) {
    const QString path = m_dir->filePath(QFileInfo(name).fileName());
    TestFiles::write(path, TestFiles::read(QStringLiteral(TAVLO_CORPUS_DIR "/drawings/") + name));
    return path;
}

void TestCadTextTools::allScopes(int index) {
    m_panel->comScope[index]->setCurrentIndex(1);
    for (auto *box :
         {m_panel->chkInsert[index], m_panel->chkAttribute[index], m_panel->chkAttributeDefinition[index]})
        box->setChecked(true);
}

void TestCadTextTools::extractThenReplaceFromTheSavedManuscript() {
    const QString source = copyOfCorpus(QStringLiteral("03_blocks_attribs_r2018.dxf"));
    const QString target = m_dir->filePath(QStringLiteral("target.dxf"));
    QFile::copy(source, target);
    const QByteArray targetBytes = TestFiles::read(target);

    m_tools->cmdExtract_Click();
    QCOMPARE(tipText(), QStringLiteral("先选择 Dwg 文件。"));
    QCOMPARE(QApplication::focusWidget(), m_panel->cmdDwgDocument[0]);

    m_connection->openDrawing(0, source);
    allScopes(0);
    m_tools->cmdExtract_Click();
    const QRegularExpression done(QStringLiteral("^成功提取(\\d+) 处文字。$"));
    const auto first = done.match(tipText());
    QVERIFY2(first.hasMatch(), qPrintable(tipText()));
    const int count = first.captured(1).toInt();
    ExcelSlot *sheet = m_office->excel(OfficeSlots::TextExtraction);
    QVERIFY(sheet->worksheet && sheet->application->Visible());
    QCOMPARE(sheet->worksheet->UsedRange().lastRow(), 1 + count);
    QCOMPARE(sheet->worksheet->value(2, 1), QStringLiteral("03_blocks_attribs_r2018.dxf"));
    QCOMPARE(sheet->worksheet->numberFormat(2, 2), QStringLiteral("@"));
    // A second run appends below the first.
    m_tools->cmdExtract_Click();
    QCOMPARE(sheet->worksheet->UsedRange().lastRow(), 1 + 2 * count);

    // The translator fills column 4 of the first run's rows and saves the workbook.
    for (int row = 2; row <= 1 + count; ++row)
        sheet->worksheet->setValue(row, 4, QStringLiteral("Translated %1").arg(row));
    const QString manuscript = m_dir->filePath(QStringLiteral("manuscript.xlsx"));
    QVERIFY(sheet->workbook->SaveAs(manuscript));

    m_connection->openDrawing(1, target);
    allScopes(1);
    m_tools->openManuscript(manuscript);
    QCOMPARE(m_panel->comSheet->count(), 1);
    QCOMPARE(m_panel->txtToRow->text(), QString::number(1 + 2 * count));
    m_tools->cmdReplace_Click();
    const auto replaced = QRegularExpression(QStringLiteral("^成功替换(\\d+) 处文字。$")).match(tipText());
    QVERIFY2(replaced.hasMatch(), qPrintable(tipText()));
    QVERIFY(replaced.captured(1).toInt() > 0);
    QCOMPARE(m_panel->txtFromCol->text(), QStringLiteral("C"));
    QVERIFY(m_panel->txtFromCol->toolTip().isEmpty());

    drawing::CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
    QVERIFY(document);
    QVERIFY(!document->Saved());
    QVERIFY(
        document->entityByHandle(QStringLiteral("73"))->TextString().startsWith(QLatin1String("Translated")));
    QCOMPARE(TestFiles::read(target), targetBytes); // the user saves, not the tool
    // The extraction drawing is untouched.
    QVERIFY(m_connection->cadSlots.slot(CadSlots::kExtraction)->document->Saved());
}

void TestCadTextTools::replaceChecksTheBoxesInOrder() {
    m_tools->cmdReplace_Click();
    QCOMPARE(tipText(), QStringLiteral("先选择文稿文件。"));

    auto *maker = sheet::Application::create();
    sheet::Workbook *book = maker->Workbooks().Add();
    for (int row = 1; row <= 6; ++row) {
        book->Sheets(1)->setValue(row, 3, QStringLiteral("模型空间普通文字"));
        book->Sheets(1)->setValue(row, 4, QStringLiteral("Plain text %1").arg(row));
    }
    const QString manuscript = m_dir->filePath(QStringLiteral("rows.xlsx"));
    QVERIFY(book->SaveAs(manuscript));
    maker->Quit();
    m_tools->openManuscript(manuscript);
    QCOMPARE(m_panel->txtToRow->text(), QStringLiteral("6"));

    m_tip->clear();
    m_tools->cmdReplace_Click();
    QCOMPARE(tipText(), QStringLiteral("先选择 Dwg 文件。"));
    QCOMPARE(QApplication::focusWidget(), m_panel->cmdDwgDocument[1]);

    const QString path = copyOfCorpus(QStringLiteral("03_blocks_attribs_r2018.dxf"));
    m_connection->openDrawing(1, path);
    allScopes(1);
    drawing::CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
    QVERIFY(document);

    struct Case {
        const char *fromCol, *toCol, *fromRow, *toRow;
        QLineEdit *expected;
    };
    const Case cases[] = {
        {"IW", "D", "1", "6", m_panel->txtFromCol},  {"C", "0", "1", "6", m_panel->txtToCol},
        {"C", "D", "1.5", "6", m_panel->txtFromRow}, {"C", "D", "7", "6", m_panel->txtFromRow},
        {"C", "D", "1", "7", m_panel->txtToRow},     {"C", "D", "5", "3", m_panel->txtToRow},
    };
    for (const Case &c : cases) {
        m_panel->txtFromCol->setText(QLatin1String(c.fromCol));
        m_panel->txtToCol->setText(QLatin1String(c.toCol));
        m_panel->txtFromRow->setText(QLatin1String(c.fromRow));
        m_panel->txtToRow->setText(QLatin1String(c.toRow));
        m_tip->setText(QStringLiteral("unchanged"));
        m_tools->cmdReplace_Click();
        QCOMPARE(QApplication::focusWidget(), c.expected);
        QCOMPARE(c.expected->selectedText(), c.expected->text());
        QCOMPARE(tipText(), QStringLiteral("unchanged"));
        QCOMPARE(m_panel->txtFromCol->text(), QLatin1String(c.fromCol)); // typed text back
        QVERIFY(document->Saved());
    }
    // Rows 2 to 3 only: the first qualifying row replaces, later rows no longer match.
    m_panel->txtFromCol->setText(QStringLiteral("c"));
    m_panel->txtToCol->setText(QStringLiteral("4"));
    m_panel->txtFromRow->setText(QStringLiteral("2"));
    m_panel->txtToRow->setText(QStringLiteral("3"));
    m_tools->cmdReplace_Click();
    QCOMPARE(tipText(), QStringLiteral("成功替换1 处文字。"));
    QCOMPARE(document->entityByHandle(QStringLiteral("73"))->TextString(), QStringLiteral("Plain text 2"));
    QCOMPARE(m_panel->txtToCol->text(), QStringLiteral("4"));
}

void TestCadTextTools::conversionThereAndBack() {
    m_tools->cmdShiftChinese_Click(1);
    QCOMPARE(tipText(), QStringLiteral("先选择 Dwg 文件。"));
    const QString path = copyOfCorpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    m_connection->openDrawing(1, path);
    m_panel->comScope[1]->setCurrentIndex(1);
    m_panel->chkConvertFont->setChecked(true);
    drawing::CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
    drawing::CadEntity *text = document->entityByHandle(QStringLiteral("3A"));
    const QString simplified = text->TextString();
    m_tools->cmdShiftChinese_Click(1);
    // Every text and multiline text of model and paper space: 18 + 11 strings.
    QCOMPARE(tipText(), QStringLiteral("成功替换29 处文字。"));
    QCOMPARE(text->TextString(), QStringLiteral("簡體中文：計算機軟件與網絡"));
    QCOMPARE(text->StyleName(), QStringLiteral("SHIFT_STYLE"));
    m_tools->cmdShiftChinese_Click(0);
    QCOMPARE(text->TextString(), simplified);
    QVERIFY(!document->Saved());
}

// A drawing of `count` single-line texts "简体字 n" (R12, UTF-8).
static QByteArray manyTexts(int count) {
    QByteArray dxf = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < count; ++i)
        dxf += "0\nTEXT\n8\n0\n10\n0.0\n20\n" + QByteArray::number(i * 4) + "\n30\n0.0\n40\n2.5\n1\n" +
               QStringLiteral("简体字 %1").arg(i).toUtf8() + "\n";
    return dxf + "0\nENDSEC\n0\nEOF\n";
}

static int countInScene(const drawing::DrawingScene &scene, const QString &part) {
    int count = 0;
    for (const drawing::DrawingScene::Item &item : scene.items())
        count += item.isText && item.text.lines.join(u' ').contains(part);
    return count;
}

void TestCadTextTools::longWalkRedrawsOnceAndStopsAtOnce() {
    constexpr int total = 20000;
    const QString path = m_dir->filePath(QStringLiteral("many.dxf"));
    QVERIFY(TestFiles::write(path, manyTexts(total)));
    m_connection->openDrawing(1, path);
    m_panel->comScope[1]->setCurrentIndex(1);
    drawing::CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
    QVERIFY(document);
    drawing::DrawingWindow *window =
        drawing::DrawingWindows::install(document->application())->windowOf(document);
    QVERIFY(window);
    QCOMPARE(countInScene(window->scene(), QStringLiteral("简体字")), total);

    // The whole walk: the drawing window is told once, at the end, and then shows every changed text.
    QSignalSpy changes(document, &drawing::CadDocument::changed);
    m_tools->cmdShiftChinese_Click(1);
    QCOMPARE(tipText(), QStringLiteral("成功替换%1 处文字。").arg(total));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(countInScene(window->scene(), QStringLiteral("簡體字")), total);

    // "中止" pressed while the walk runs: the progress bar was showing, and the walk ends at that step.
    QString progress;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (tipText().isEmpty() || tipText().count(QChar(0x25A0)) != tipText().size())
            return;
        progress = tipText();
        watch.stop();
        m_panel->cmdInterrupt[1]->click();
    });
    watch.start(0);
    m_tools->cmdShiftChinese_Click(0);
    QVERIFY2(!progress.isEmpty(), "the progress bar was never shown");
    const auto stopped =
        QRegularExpression(QStringLiteral("^已中止：成功替换(\\d+) 处文字。$")).match(tipText());
    QVERIFY2(stopped.hasMatch(), qPrintable(tipText()));
    const int converted = stopped.captured(1).toInt();
    QVERIFY(converted < total);
    int simplified = 0;
    for (drawing::CadEntity *entity : document->entities())
        simplified += entity->TextString().startsWith(QStringLiteral("简体字"));
    QCOMPARE(simplified, converted);
    QCOMPARE(countInScene(window->scene(), QStringLiteral("简体字")), converted);
    QCOMPARE(m_panel->comScope[1]->count(), 0);
}

void TestCadTextTools::readOnlyDrawingIsSavedOnlyElsewhere() {
    if (geteuid() == 0)
        QSKIP("root may write any file: run as a normal user");
    const QString path = copyOfCorpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray original = TestFiles::read(path);
    m_connection->openDrawing(1, path);
    m_panel->comScope[1]->setCurrentIndex(1);
    m_tools->cmdShiftChinese_Click(1);
    QCOMPARE(tipText(), QStringLiteral("成功替换29 处文字。"));
    drawing::CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
    drawing::DrawingWindow *window =
        drawing::DrawingWindows::install(document->application())->windowOf(document);
    QVERIFY(window && window->windowTitle().contains(QStringLiteral("只读")));

    // Ctrl+S: refused and said; Save As offered, first declined, then taken.
    QStringList offered;
    bool takeIt = false;
    window->askSaveAsInstead = [&](const QString &readOnly) {
        offered << readOnly;
        return takeIt;
    };
    const QString copy = m_dir->filePath(QStringLiteral("traditional.dxf"));
    window->chooseSaveAsPath = [&](const QString &) { return copy; };
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(offered.size(), 1);
    QVERIFY2(window->statusBar()->currentMessage().contains(QStringLiteral("只读")),
             qPrintable(window->statusBar()->currentMessage()));
    QVERIFY(!document->Saved());
    takeIt = true;
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(offered.size(), 2);
    QVERIFY(document->Saved());
    QCOMPARE(TestFiles::read(path), original);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("01_text_mtext_r2000_gbk.bak.dxf"))));
    QString error;
    auto saved = drawing::CadDocument::load(copy, &error);
    QVERIFY2(saved, qPrintable(error));
    QCOMPARE(saved->entityByHandle(QStringLiteral("3A"))->TextString(),
             QStringLiteral("簡體中文：計算機軟件與網絡"));
}

QTEST_MAIN(TestCadTextTools)
#include "tst_cadtexttools.moc"
