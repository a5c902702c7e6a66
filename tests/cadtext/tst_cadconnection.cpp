#include "cadtext/CadConnection.h"
#include "cadtext/CadPanel.h"

#include "common/modOffice.h"
#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadSelectionSet.h"
#include "platform/drawing/DrawingView.h"
#include "platform/drawing/DrawingWindow.h"

#include "TestApps.h"
#include "TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::drawing;

namespace {

const QString kDrawings = QStringLiteral(TAVLO_CORPUS_DIR "/drawings/");

QStringList items(const QComboBox *list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->itemText(i));
    return result;
}

} // namespace

class TestCadConnection : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openingFillsTheFrameAndAttachesToAnOpenDrawing();
    void sameFileNameInAnotherFolderIsNotMixedUp();
    void closingOneDrawingEmptiesOnlyItsFrame();
    void unreadableFilesAreReportedAndNothingCrashes();
    void dialogOffersDxfAndDwg();
    void filterFollowsTheListsAndSelectsTheDrawingsTexts();
    void selectionOnScreenGoesThroughTheDrawingWindow();
    void boxesAndProgressLine();
    void shutdownOffersUnsavedDrawingsAndEndsTheProgram();

private:
    QString copyOf(const QString &name, const QString &folder = {});

    QTemporaryDir m_dir;
    QGroupBox *m_frame = nullptr;
    CadPanel *m_panel = nullptr;
    QLabel *m_tip = nullptr;
    OfficeSlots *m_office = nullptr;
    CadConnection *m_cad = nullptr;
    QString m_chosen;
};

QString TestCadConnection::copyOf(const QString &name, const QString &folder) {
    const QString path = m_dir.filePath(folder.isEmpty() ? name : folder + u'/' + name);
    if (!QFileInfo::exists(path))
        TestFiles::write(path, TestFiles::read(kDrawings + name));
    return QFileInfo(path).absoluteFilePath();
}

void TestCadConnection::init() {
    m_frame = new QGroupBox(QStringLiteral("AutoCAD 文字"));
    m_frame->resize(700, 410);
    m_panel = new CadPanel(m_frame);
    m_tip = new QLabel;
    m_office = new OfficeSlots;
    ToolContext context;
    context.window = m_frame;
    context.office = m_office;
    context.dataFolder = m_dir.path();
    context.status = StatusLine::onLabel(m_tip);
    context.chooseFile = [this](QWidget *, const QString &, const QString &, const QString &,
                                const QString &) { return m_chosen; };
    m_cad = new CadConnection(*m_panel, context);
}

void TestCadConnection::cleanup() {
    delete m_cad;
    delete m_office;
    delete m_tip;
    delete m_frame;
    TestApps::quitAll<CadApplication>();
}

void TestCadConnection::openingFillsTheFrameAndAttachesToAnOpenDrawing() {
    const QString path = copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    m_chosen = path;
    m_panel->cmdDwgDocument[0]->click();

    const CadSlot *slot = m_cad->cadSlots.slot(6);
    QVERIFY(slot->application && slot->document && slot->blocks);
    QCOMPARE(slot->document->FullName(), path);
    QVERIFY(m_cad->cadSlots.AutoCAdBound(6));
    QVERIFY(!m_cad->cadSlots.AutoCAdBound(7));
    QCOMPARE(m_tip->text(), QDir::toNativeSeparators(path) + QStringLiteral(" 打开。"));
    QVERIFY(m_cad->tmrAutoCAD.isActive());
    QCOMPARE(m_cad->tmrAutoCAD.interval(), 500);
    QVERIFY(m_panel->chkTable[0]->isEnabled());

    QCOMPARE(items(m_panel->comScope[0]), (QStringList{"Scope Selected", "All Scopes"}));
    QCOMPARE(items(m_panel->comForm[0]), (QStringList{"Text", "MText", "All Texts"}));
    const QStringList layers = items(m_panel->comLayer[0]);
    for (const char *layer : {"0", "TEXT_CN", "标注", "TITLE", "LATIN", "FROZEN"})
        QVERIFY2(layers.contains(QString::fromUtf8(layer)), layer);
    QCOMPARE(layers.last(), QStringLiteral("All Layers"));
    const QStringList styles = items(m_panel->comStyleName[0]);
    QVERIFY(styles.contains(QStringLiteral("HZ")) && styles.contains(QStringLiteral("仿宋")));
    QCOMPARE(styles.last(), QStringLiteral("All Text Styles"));
    QCOMPARE(items(m_panel->comColor[0]), modAutoCAD::colorNames());
    for (const QComboBox *list : {m_panel->comScope[0], m_panel->comForm[0], m_panel->comLayer[0],
                                  m_panel->comStyleName[0], m_panel->comColor[0]})
        QCOMPARE(list->currentIndex(), list->count() - 1);
    QCOMPARE(m_panel->comLayer[1]->count(), 0);

    // The other frame chooses the same drawing: attached, not opened twice.
    m_panel->cmdDwgDocument[1]->click();
    QCOMPARE(slot->application->Documents().Count(), 1);
    QCOMPARE(m_cad->cadSlots.slot(7)->document, slot->document);
    QCOMPARE(m_panel->comLayer[1]->count(), m_panel->comLayer[0]->count());
}

void TestCadConnection::sameFileNameInAnotherFolderIsNotMixedUp() {
    const QString first = copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf"), QStringLiteral("a"));
    const QString second = m_dir.filePath(QStringLiteral("b/01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(TestFiles::write(second, TestFiles::read(kDrawings + "03_blocks_attribs_r2018.dxf")));
    m_cad->openDrawing(0, first);
    m_cad->openDrawing(1, second);
    QCOMPARE(m_cad->cadSlots.slot(6)->document->FullName(), first);
    QCOMPARE(m_cad->cadSlots.slot(7)->document->FullName(), QFileInfo(second).absoluteFilePath());
    QVERIFY(m_cad->cadSlots.slot(6)->document != m_cad->cadSlots.slot(7)->document);
}

void TestCadConnection::closingOneDrawingEmptiesOnlyItsFrame() {
    m_cad->openDrawing(0, copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    m_cad->openDrawing(1, copyOf(QStringLiteral("03_blocks_attribs_r2018.dxf")));
    CadDocument *extraction = m_cad->cadSlots.slot(6)->document;
    CadApplication *application = m_cad->cadSlots.slot(6)->application;
    DrawingWindow *window = DrawingWindows::install(application)->windowOf(extraction);
    QVERIFY(window);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(window->close());
    QTRY_VERIFY_WITH_TIMEOUT(m_panel->comLayer[0]->count() == 0, 2000);
    QVERIFY2(clock.elapsed() <= 600, qPrintable(QString::number(clock.elapsed())));
    for (const QComboBox *list :
         {m_panel->comScope[0], m_panel->comForm[0], m_panel->comStyleName[0], m_panel->comColor[0]})
        QCOMPARE(list->count(), 0);
    QVERIFY(!m_cad->cadSlots.slot(6)->application && !m_cad->cadSlots.slot(6)->document);
    // The other frame keeps its drawing and its lists; the watch goes on for it.
    QVERIFY(m_cad->cadSlots.AutoCAdBound(7));
    QVERIFY(m_panel->comLayer[1]->count() > 1);
    QVERIFY(m_cad->tmrAutoCAD.isActive());

    m_cad->cadSlots.slot(7)->document->Close();
    QTRY_VERIFY_WITH_TIMEOUT(!m_cad->tmrAutoCAD.isActive(), 2000);
    QCOMPARE(m_panel->comLayer[1]->count(), 0);
}

void TestCadConnection::unreadableFilesAreReportedAndNothingCrashes() {
    const QByteArray good = TestFiles::read(kDrawings + "01_text_mtext_r2000_gbk.dxf");
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919) & 0xFF);
    const QList<Case> cases{
        {"truncated.dxf", good.left(good.size() / 2)},
        {"binary.dxf", QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22) + junk},
        {"junk.dxf", junk},
        {"notes.dxf", QByteArray("这不是图纸\r\njust some text\r\n")},
        {"empty.dxf", QByteArray()},
    };
    for (const Case &c : cases) {
        const QString path = m_dir.filePath(QString::fromLatin1(c.name));
        QVERIFY(TestFiles::write(path, c.bytes));
        m_cad->openDrawing(0, path);
        QVERIFY2(m_tip->text().startsWith(QStringLiteral("无法打开")), qPrintable(m_tip->text()));
        QVERIFY2(m_tip->text().contains(QString::fromLatin1(c.name)), qPrintable(m_tip->text()));
        QVERIFY(!m_cad->cadSlots.slot(6)->application && !m_cad->cadSlots.slot(6)->document);
        QVERIFY(!m_cad->isBusy());
    }
    // A missing file too.
    m_cad->openDrawing(0, m_dir.filePath(QStringLiteral("gone.dxf")));
    QVERIFY(m_tip->text().startsWith(QStringLiteral("无法打开")));

    // A DWG drawing (by name, or by its first bytes under another name) is explained; the frame keeps
    // the drawing it has.
    m_cad->openDrawing(0, copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    QVERIFY(m_cad->cadSlots.AutoCAdBound(6));
    const QString dwg = m_dir.filePath(QStringLiteral("plan.dwg"));
    const QString disguised = m_dir.filePath(QStringLiteral("plan2.dxf"));
    QVERIFY(TestFiles::write(dwg, QByteArray("AC1032\0\0\0\0", 10) + junk));
    QVERIFY(TestFiles::write(disguised, QByteArray("AC1015\0\0\0\0", 10) + junk));
    for (const QString &path : {dwg, disguised}) {
        m_cad->openDrawing(0, path);
        QVERIFY2(m_tip->text().contains(QStringLiteral("DXF")), qPrintable(m_tip->text()));
        QVERIFY(m_tip->text().contains(QFileInfo(path).fileName()));
        QVERIFY(m_cad->cadSlots.AutoCAdBound(6));
        QVERIFY(m_panel->comLayer[0]->count() > 1);
    }
}

void TestCadConnection::dialogOffersDxfAndDwg() {
    QString title, filter, extension;
    ToolContext context;
    context.office = m_office;
    context.status = StatusLine::onLabel(m_tip);
    context.chooseFile = [&](QWidget *, const QString &t, const QString &f, const QString &,
                             const QString &e) {
        title = t;
        filter = f;
        extension = e;
        return QString();
    };
    CadConnection connection(*m_panel, context);
    connection.cmdDwgDocument_Click(1);
    QCOMPARE(title, QStringLiteral("选择 Dwg 文件"));
    QVERIFY(filter.contains(QStringLiteral("*.dxf")) && filter.contains(QStringLiteral("*.dwg")));
    QCOMPARE(extension, QStringLiteral("dxf"));
    QVERIFY(!connection.cadSlots.slot(7)->application); // cancelled: nothing attached
}

void TestCadConnection::filterFollowsTheListsAndSelectsTheDrawingsTexts() {
    m_cad->openDrawing(0, copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    m_cad->BuildSelectionFilter(0);
    QCOMPARE(m_cad->filterTypes, (QList<qint16>{-4, -4, -4, 0, 0, -4, -4, -4}));
    QCOMPARE(m_cad->filterData.at(3).toString(), QStringLiteral("Text"));
    QCOMPARE(m_cad->filterData.at(4).toString(), QStringLiteral("MText"));

    // "All Scopes" with every list on its last entry: the texts and multiline texts of the drawing,
    // model and paper space, as an independent reader lists them.
    m_panel->comScope[0]->setCurrentIndex(1);
    CadSelectionSet *set = m_cad->MakeSelection(0);
    QVERIFY(set);
    QCOMPARE(set->Name(), QStringLiteral("EXTRACTSET"));
    QCOMPARE(set->Count(), 18 + 11);

    // Layer TEXT_CN, form Text, colour By Layer: the rows of the expected list that say so.
    m_panel->comForm[0]->setCurrentText(QStringLiteral("Text"));
    m_panel->comLayer[0]->setCurrentText(QStringLiteral("TEXT_CN"));
    m_panel->comColor[0]->setCurrentText(QStringLiteral("By Layer"));
    m_cad->BuildSelectionFilter(0);
    QCOMPARE(m_cad->filterTypes, (QList<qint16>{-4, -4, 0, 8, 62, -4, -4}));
    CadSelectionSet *narrowed = m_cad->MakeSelection(0);
    QVERIFY(narrowed);
    QVERIFY(m_cad->cadSlots.SelectionSetExists(6, QStringLiteral("EXTRACTSET")));
    QCOMPARE(m_cad->cadSlots.slot(6)->document->SelectionSets().Count(), 1); // the old set was replaced
    const QStringList rows =
        QString::fromUtf8(TestFiles::read(kDrawings + "01_text_mtext_r2000_gbk.expected.csv")).split(u'\n');
    int expected = 0;
    for (const QString &row : rows) {
        const QStringList cells = row.split(u',');
        if (cells.size() > 5 && cells[1] == QLatin1String("TEXT") && cells[3] == QLatin1String("TEXT_CN") &&
            cells[5] == QLatin1String("256"))
            ++expected;
    }
    QCOMPARE(narrowed->Count(), expected);
    for (int i = 0; i < narrowed->Count(); ++i)
        QCOMPARE(narrowed->Item(i)->Layer(), QStringLiteral("TEXT_CN"));

    // A box for block contents adds the containers' marker.
    m_panel->chkAttributeDefinition[0]->setChecked(true);
    m_cad->BuildSelectionFilter(0);
    QCOMPARE(m_cad->filterTypes.at(m_cad->filterTypes.size() - 2), qint16(100));
    QCOMPARE(m_cad->filterData.at(m_cad->filterData.size() - 2).toString(), QStringLiteral("SubClass"));

    // Without a drawing there is no selection.
    m_cad->cmdInterrupt_Click(0);
    QVERIFY(!m_cad->MakeSelection(0));
}

void TestCadConnection::selectionOnScreenGoesThroughTheDrawingWindow() {
    m_cad->openDrawing(1, copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    CadDocument *document = m_cad->cadSlots.slot(7)->document;
    DrawingWindow *window = DrawingWindows::install(document->application())->windowOf(document);
    QVERIFY(window && QTest::qWaitForWindowExposed(window));
    window->view()->zoomExtents();
    m_panel->comScope[1]->setCurrentIndex(0); // "Scope Selected"
    m_panel->comLayer[1]->setCurrentText(QStringLiteral("LATIN"));
    m_cad->BuildSelectionFilter(1);

    bool busyWhilePicking = false;
    QTimer::singleShot(50, window, [&] {
        busyWhilePicking = m_cad->isBusy();
        m_panel->cmdDwgDocument[1]->click(); // refused while picking: no nested dialog
        DrawingView *view = window->view();
        const QRect all = view->rect().adjusted(2, 2, -2, -2);
        QTest::mousePress(view, Qt::LeftButton, {}, all.topLeft());
        QTest::mouseMove(view, all.bottomRight());
        QTest::mouseRelease(view, Qt::LeftButton, {}, all.bottomRight());
        QTest::keyClick(view, Qt::Key_Return);
    });
    m_chosen = QStringLiteral("/nonexistent/should-not-open.dxf");
    CadSelectionSet *set = m_cad->MakeSelection(1);
    QVERIFY(busyWhilePicking);
    QVERIFY(set);
    QCOMPARE(set->Name(), QStringLiteral("REPLACESET"));
    // The five texts and three multiline texts on layer LATIN in model space.
    QCOMPARE(set->Count(), 8);
    for (int i = 0; i < set->Count(); ++i)
        QCOMPARE(set->Item(i)->Layer(), QStringLiteral("LATIN"));
    QVERIFY(m_cad->cadSlots.AutoCAdBound(7));

    // Esc: an empty set.
    QTimer::singleShot(50, window, [&] { QTest::keyClick(window->view(), Qt::Key_Escape); });
    set = m_cad->MakeSelection(1);
    QVERIFY(set);
    QCOMPARE(set->Count(), 0);

    // The drawing closed while picking: no set comes back.
    QTimer::singleShot(50, window, [&] { window->close(); });
    QVERIFY(!m_cad->MakeSelection(1));
}

void TestCadConnection::boxesAndProgressLine() {
    QVERIFY(!m_panel->chkAttribute[0]->isEnabled());
    QTest::mouseClick(m_panel->chkInsert[0], Qt::LeftButton);
    QVERIFY(m_panel->chkAttribute[0]->isEnabled());
    QVERIFY(!m_panel->chkAttribute[1]->isEnabled());
    QTest::mouseClick(m_panel->chkInsert[0], Qt::LeftButton);
    QVERIFY(!m_panel->chkAttribute[0]->isEnabled());

    m_cad->ShowProgress(1, 4);
    QCOMPARE(m_tip->text(), QString(14, QChar(0x25A0)));
    QCOMPARE(m_tip->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::Highlight));
    m_cad->FinishProgress(QStringLiteral("成功提取3 处文字。"));
    QCOMPARE(m_tip->text(), QStringLiteral("成功提取3 处文字。"));
    QCOMPARE(m_tip->palette().color(QPalette::WindowText),
             QApplication::palette().color(QPalette::ButtonText));
}

void TestCadConnection::shutdownOffersUnsavedDrawingsAndEndsTheProgram() {
    const QString saved = copyOf(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    const QString dropped = copyOf(QStringLiteral("03_blocks_attribs_r2018.dxf"));
    const QByteArray droppedBytes = TestFiles::read(dropped);
    m_cad->openDrawing(0, saved);
    m_cad->openDrawing(1, dropped);
    QPointer<CadApplication> application = m_cad->cadSlots.slot(6)->application.data();
    DrawingWindows *windows = DrawingWindows::install(application);
    for (int owner : {6, 7}) {
        CadDocument *document = m_cad->cadSlots.slot(owner)->document;
        document->modelSpace().first()->setTextString(QStringLiteral("Edited"));
        DrawingWindow *window = windows->windowOf(document);
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        window->askSaveChanges = [owner](const QString &, bool allowCancel) {
            return int(allowCancel  ? QMessageBox::Cancel
                       : owner == 6 ? QMessageBox::Save
                                    : QMessageBox::Discard);
        };
    }
    m_cad->ReleaseAll(true);
    QVERIFY(!m_cad->tmrAutoCAD.isActive());
    QVERIFY(!m_cad->cadSlots.slot(6)->application && !m_cad->cadSlots.slot(7)->application);
    QVERIFY(CadApplication::running() == nullptr);
    QTRY_VERIFY(!application);
    QVERIFY(TestFiles::read(saved).contains("Edited"));
    QCOMPARE(TestFiles::read(dropped), droppedBytes);
}

QTEST_MAIN(TestCadConnection)
#include "tst_cadconnection.moc"
