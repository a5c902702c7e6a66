// The document window: the pages shown, zoom, saving under the window's title, closing the window
// closing the document, and where the window opens beside the main window.
#include "TestApps.h"

#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/document/DocumentWindow.h"
#include "platform/window/WindowPlacement.h"

#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

class TestDocumentWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installDocumentWindows(); }
    void init() {
        m_app = Application::create();
        m_doc = m_app->Documents().Add();
    }
    void cleanup() { TestApps::quitAll<Application>(); }
    void windowShowsPagesAndClosesTheDocument();
    void windowsOpenBesideTheMainWindow();

private:
    Application *m_app = nullptr;
    Document *m_doc = nullptr;
};

void TestDocumentWindow::windowShowsPagesAndClosesTheDocument() {
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

void TestDocumentWindow::windowsOpenBesideTheMainWindow() {
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

QTEST_MAIN(TestDocumentWindow)
#include "tst_DocumentWindow.moc"
