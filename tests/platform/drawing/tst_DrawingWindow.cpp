#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/DrawingView.h"
#include "platform/drawing/DrawingWindow.h"
#include "platform/drawing/SelectionFilter.h"

#include "TestFiles.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tavlo::drawing;

namespace {

const QString kCorpus = QStringLiteral(TAVLO_CORPUS_DIR "/drawings/01_text_mtext_r2000_gbk.dxf");

CadEntity *textEntity(CadDocument *document, const QString &text) {
    for (CadEntity *entity : document->modelSpace()) {
        if (entity->TextString() == text)
            return entity;
    }
    return nullptr;
}

} // namespace

class TestDrawingWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void textsShownWithoutTheirCodes_data();
    void textsShownWithoutTheirCodes();
    void pickByClickHonoursTheFilterAndEnterConfirms();
    void pickByWindowAndEscCancels();
    void changedTextsShowAsAFreshLayoutWould();
    void saveKeepsTheOriginalAsBackup();
    void staleBackupIsReplacedOnlyWhenTheUserAgrees();
    void saveAsWritesANewFile();
    void closingTheWindowClosesTheDrawing();

private:
    DrawingWindow *openWindow(const QString &path);
    QPoint pixelOf(DrawingWindow *window, const CadEntity *entity);

    QTemporaryDir m_dir;
    QString m_path;
    CadApplication *m_application = nullptr;
    CadDocument *m_document = nullptr;
};

void TestDrawingWindow::init() {
    m_path = m_dir.filePath(QStringLiteral("plan.dxf"));
    QFile::remove(m_path);
    QFile::remove(m_dir.filePath(QStringLiteral("plan.bak.dxf")));
    QVERIFY(TestFiles::write(m_path, TestFiles::read(kCorpus)));
    m_application = CadApplication::create();
    DrawingWindows::install(m_application);
    m_application->setVisible(true);
}

void TestDrawingWindow::cleanup() {
    m_application->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_application = nullptr;
    m_document = nullptr;
}

void TestDrawingWindow::textsShownWithoutTheirCodes_data() {
    QTest::addColumn<bool>("multiline");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("shown");
    QTest::newRow("font and height") << true << QStringLiteral("{\\Farial|b0|i0;\\H2.5;中文}")
                                     << QStringLiteral("中文");
    QTest::newRow("paragraphs") << true << QStringLiteral("a\\Pb") << QStringLiteral("a\nb");
    QTest::newRow("stacked") << true << QStringLiteral("\\S1/2;与\\S3#4;") << QStringLiteral("1/2与3/4");
    QTest::newRow("literal braces and backslash")
        << true << QStringLiteral("\\{x\\} \\\\ \\~y") << QStringLiteral("{x} \\  y");
    QTest::newRow("underline and alignment")
        << true << QStringLiteral("\\pxqc;\\L下划线\\l") << QStringLiteral("下划线");
    QTest::newRow("percent codes") << false << QStringLiteral("%%c50 %%d %%p0.5 %%%")
                                   << QStringLiteral("∅50 ° ±0.5 %");
}

void TestDrawingWindow::textsShownWithoutTheirCodes() {
    QFETCH(bool, multiline);
    QFETCH(QString, source);
    QFETCH(QString, shown);
    QCOMPARE(multiline ? DrawingScene::plainMText(source) : DrawingScene::plainText(source), shown);
}

DrawingWindow *TestDrawingWindow::openWindow(const QString &path) {
    m_document = m_application->Documents().Open(path);
    if (!m_document)
        return nullptr;
    DrawingWindow *window = DrawingWindows::install(m_application)->windowOf(m_document);
    if (!window || !QTest::qWaitForWindowExposed(window))
        return nullptr;
    window->view()->zoomExtents();
    return window;
}

QPoint TestDrawingWindow::pixelOf(DrawingWindow *window, const CadEntity *entity) {
    for (const DrawingScene::Item &item : window->scene().items()) {
        if (item.owner == entity)
            return window->view()->toPixel(item.bounds.center()).toPoint();
    }
    return {-1, -1};
}

void TestDrawingWindow::pickByClickHonoursTheFilterAndEnterConfirms() {
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    CadEntity *latin = textEntity(m_document, QStringLiteral("Latin text ABC 123")); // layer LATIN
    CadEntity *chinese = textEntity(m_document, QStringLiteral("中文测试文字"));     // layer TEXT_CN
    QVERIFY(latin && chinese);
    const QPoint latinAt = pixelOf(window, latin), chineseAt = pixelOf(window, chinese);
    QVERIFY(window->view()->rect().contains(latinAt) && window->view()->rect().contains(chineseAt));

    CadSelectionSet *set = m_document->SelectionSets().Add(QStringLiteral("PICK"));
    int pickedWhileOpen = -1;
    QTimer::singleShot(50, window, [&] {
        DrawingView *view = window->view();
        QVERIFY(view->isPicking());
        QTest::mouseClick(view, Qt::LeftButton, {}, chineseAt); // another layer: refused by the filter
        QTest::mouseClick(view, Qt::LeftButton, {}, latinAt);
        QTest::mouseClick(view, Qt::LeftButton, {}, latinAt); // twice is still once
        pickedWhileOpen = int(view->picked().size());
        QTest::keyClick(view, Qt::Key_Return);
    });
    QVERIFY(set->SelectOnScreen({8}, {QStringLiteral("latin")}));
    QCOMPARE(pickedWhileOpen, 1);
    QCOMPARE(set->Count(), 1);
    QCOMPARE(set->Item(0), latin);
    QVERIFY(!window->isPicking());

    // Shift+click takes a picked entity out again; a right click confirms.
    CadSelectionSet *second = m_document->SelectionSets().Add(QStringLiteral("PICK2"));
    QTimer::singleShot(50, window, [&] {
        DrawingView *view = window->view();
        QTest::mouseClick(view, Qt::LeftButton, {}, latinAt);
        QTest::mouseClick(view, Qt::LeftButton, {}, chineseAt);
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, latinAt);
        QTest::mouseClick(view, Qt::RightButton, {}, latinAt);
    });
    QVERIFY(second->SelectOnScreen());
    QCOMPARE(second->Count(), 1);
    QCOMPARE(second->Item(0), chinese);
}

void TestDrawingWindow::pickByWindowAndEscCancels() {
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    const QList<qint16> types{0};
    const QVariantList data{QStringLiteral("Text")};
    // What a window around the whole drawing must pick: the model-space texts on visible layers.
    const SelectionFilter filter = SelectionFilter::fromArrays(types, data);
    QList<CadEntity *> expected;
    for (CadEntity *entity : m_document->modelSpace()) {
        if (filter.matches(*entity) && entity->Layer() != QLatin1String("FROZEN"))
            expected.append(entity);
    }
    QCOMPARE(expected.size(), 16); // 18 texts: one in paper space, one on a frozen layer

    const QRect area = window->view()->rect();
    const auto dragAll = [window, area] {
        DrawingView *view = window->view();
        QTest::mousePress(view, Qt::LeftButton, {}, area.topLeft() + QPoint(2, 2));
        QTest::mouseMove(view, area.center());
        QTest::mouseMove(view, area.bottomRight() - QPoint(2, 2));
        QTest::mouseRelease(view, Qt::LeftButton, {}, area.bottomRight() - QPoint(2, 2));
    };

    CadSelectionSet *set = m_document->SelectionSets().Add(QStringLiteral("WINDOW"));
    QList<CadEntity *> during;
    QTimer::singleShot(50, window, [&] {
        dragAll();
        during = window->view()->picked();
        QTest::keyClick(window->view(), Qt::Key_Escape);
    });
    QVERIFY(!set->SelectOnScreen(types, data));
    QCOMPARE(QSet<CadEntity *>(during.begin(), during.end()),
             QSet<CadEntity *>(expected.begin(), expected.end()));
    QCOMPARE(set->Count(), 0);

    QTimer::singleShot(50, window, [&] {
        dragAll();
        QTest::keyClick(window->view(), Qt::Key_Enter);
    });
    QVERIFY(set->SelectOnScreen(types, data));
    QCOMPARE(set->Count(), expected.size());

    // Closing the window while picking cancels the pick and closes the drawing.
    CadSelectionSet *last = m_document->SelectionSets().Add(QStringLiteral("CLOSED"));
    QTimer::singleShot(50, window, [&] { window->close(); });
    QVERIFY(!last->SelectOnScreen(types, data));
    QVERIFY(!m_document->isAlive());
}

void TestDrawingWindow::changedTextsShowAsAFreshLayoutWould() {
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    QList<CadEntity *> texts;
    for (CadEntity *entity : m_document->modelSpace())
        if (entity->kind() == CadEntity::Kind::Text)
            texts.append(entity);
    QVERIFY(texts.size() >= 4);
    {
        // New strings for every text, longer, so their outlines and the extents grow; one text is
        // also made wider after its new string, one before it, one loses its string.
        CadDocument::ChangeHold hold(m_document);
        texts[1]->setScaleFactor(2.0);
        for (CadEntity *text : std::as_const(texts))
            text->setTextString(text->TextString() + QStringLiteral(" 加长的文字 and a longer tail"));
        texts[0]->setScaleFactor(3.0);
        texts[2]->setTextString(QString());
    }
    DrawingScene fresh;
    fresh.build(*m_document);
    const QList<DrawingScene::Item> &shown = window->scene().items();
    QCOMPARE(shown.size(), fresh.items().size());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const DrawingScene::Item &a = shown[i], &b = fresh.items()[i];
        QCOMPARE(a.owner, b.owner);
        QCOMPARE(a.isText, b.isText);
        QCOMPARE(a.text.lines, b.text.lines);
        QCOMPARE(a.text.origins, b.text.origins);
        QCOMPARE(a.text.outline, b.text.outline);
        QCOMPARE(a.bounds, b.bounds);
    }
    QCOMPARE(window->scene().extents(), fresh.extents());
    // The lengthened text is picked where its new tail is shown.
    const DrawingScene::Item *longest = nullptr;
    for (const DrawingScene::Item &item : shown)
        if (item.owner == texts[3] && item.isText)
            longest = &item;
    QVERIFY(longest);
    const QPolygonF &box = longest->text.outline;
    const QPointF tail = (box[0] + box[1] * 8 + box[2] * 8 + box[3]) / 18;
    QCOMPARE(window->scene().ownerAt(tail, 1e-6), texts[3]);
}

void TestDrawingWindow::saveKeepsTheOriginalAsBackup() {
    const QByteArray original = TestFiles::read(m_path);
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    CadEntity *latin = textEntity(m_document, QStringLiteral("Latin text ABC 123"));
    latin->setTextString(QStringLiteral("Changed"));
    QVERIFY(window->windowTitle().contains(u'*'));
    QVERIFY(window->save());
    const QString backup = m_dir.filePath(QStringLiteral("plan.bak.dxf"));
    QCOMPARE(QDir::cleanPath(m_document->backupPath()), QDir::cleanPath(backup));
    QCOMPARE(TestFiles::read(backup), original);
    QVERIFY(TestFiles::read(m_path) != original);
    QVERIFY(TestFiles::read(m_path).contains("Changed"));
    QVERIFY(!window->windowTitle().contains(u'*'));

    // A second save keeps the backup of the original.
    latin->setTextString(QStringLiteral("Again"));
    QVERIFY(window->save());
    QCOMPARE(TestFiles::read(backup), original);
}

void TestDrawingWindow::staleBackupIsReplacedOnlyWhenTheUserAgrees() {
    const QByteArray original = TestFiles::read(m_path);
    const QString backup = m_dir.filePath(QStringLiteral("plan.bak.dxf"));
    QVERIFY(TestFiles::write(backup, "an older backup"));
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    textEntity(m_document, QStringLiteral("Latin text ABC 123"))->setTextString(QStringLiteral("Changed"));

    int asked = 0;
    window->askReplaceBackup = [&](const QString &) { return ++asked > 1; };
    QVERIFY(!window->save());
    QCOMPARE(asked, 1);
    QCOMPARE(TestFiles::read(backup), QByteArray("an older backup"));
    QCOMPARE(TestFiles::read(m_path), original);

    QVERIFY(window->save());
    QCOMPARE(asked, 2);
    QCOMPARE(TestFiles::read(backup), original);
    QVERIFY(TestFiles::read(m_path).contains("Changed"));
}

void TestDrawingWindow::saveAsWritesANewFile() {
    const QByteArray original = TestFiles::read(m_path);
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    textEntity(m_document, QStringLiteral("Latin text ABC 123"))->setTextString(QStringLiteral("Copy"));
    const QString copy = m_dir.filePath(QStringLiteral("copy.dxf"));
    QVERIFY(window->saveTo(copy));
    QCOMPARE(TestFiles::read(m_path), original);
    QVERIFY(TestFiles::read(copy).contains("Copy"));
    QCOMPARE(QFileInfo(m_document->FullName()).fileName(), QStringLiteral("copy.dxf"));
    QVERIFY(window->windowTitle().startsWith(QStringLiteral("copy.dxf")));
    QVERIFY(!window->saveTo(m_dir.filePath(QStringLiteral("no/such/folder/x.dxf"))));
}

void TestDrawingWindow::closingTheWindowClosesTheDrawing() {
    DrawingWindow *window = openWindow(m_path);
    QVERIFY(window);
    textEntity(m_document, QStringLiteral("Latin text ABC 123"))->setTextString(QStringLiteral("Unsaved"));
    window->askSaveChanges = [](const QString &, bool) { return int(QMessageBox::Cancel); };
    QVERIFY(!window->close());
    QVERIFY(m_document->isAlive());

    QPointer<DrawingWindow> watched(window);
    window->askSaveChanges = [](const QString &, bool) { return int(QMessageBox::Discard); };
    QVERIFY(window->close());
    QVERIFY(!m_document->isAlive());
    QCOMPARE(m_application->Documents().Count(), 0);
    QTRY_VERIFY(!watched);
    QVERIFY(!TestFiles::read(m_path).contains("Unsaved"));

    // A drawing closed by the program takes its window with it.
    DrawingWindow *again = openWindow(m_path);
    QVERIFY(again);
    QPointer<DrawingWindow> second(again);
    m_document->Close();
    QTRY_VERIFY(!second);
}

QTEST_MAIN(TestDrawingWindow)
#include "tst_DrawingWindow.moc"
