// The sheet window as a user meets it: tabs of cells, typing, saving, closing.
#include "TestApps.h"

#include "platform/sheet/Application.h"
#include "platform/sheet/SheetWindow.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/WorkbookFile.h"
#include "platform/sheet/Worksheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tavlo::sheet;

namespace {

// Answers the next message box with `button` as soon as it appears.
void answerNextMessageBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextMessageBox(button);
            return;
        }
        box->button(button)->click();
    });
}

SheetWindow *windowOf(Workbook *book) {
    return qobject_cast<SheetWindow *>(book->window());
}

} // namespace

class TestSheetWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { tavlo::sheet::installSheetWindows(); }
    void cleanup() { TestApps::quitAll<Application>(); }
    void visibleWorkbookShowsItsSheetsAsTabs();
    void typingIntoCells();
    void programWritesAppearInTheGrid();
    void saveAsFollowsTheExtension();
    void formulasKeptOnlyByTheirResultsAreSaid();
    void closingTheWindowClosesTheWorkbook();
    void unsavedChangesAreOfferedForSaving();
    void hidingKeepsWorkbooksOpen();

private:
    QTemporaryDir m_dir;
};

void TestSheetWindow::visibleWorkbookShowsItsSheetsAsTabs() {
    Application *app = Application::create();
    Workbook *hidden = app->Workbooks().Add();
    QVERIFY(!hidden->hasWindow());
    app->setVisible(true);
    QVERIFY(hidden->hasWindow() && hidden->window()->isVisible());
    Workbook *book = app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/coding-workbook.xlsx"));
    QVERIFY2(book, qPrintable(app->lastError()));
    SheetWindow *window = windowOf(book);
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("coding-workbook.xlsx"));
    QCOMPARE(window->tabs()->count(), 7);
    QCOMPARE(window->tabs()->tabText(1), QStringLiteral("分类"));
    QTableView *categories = window->viewOf(2);
    QCOMPARE(categories->model()->index(0, 0).data().toString(), QStringLiteral("0101-泵类"));
    QCOMPARE(categories->model()->index(3, 0).data().toString(), QStringLiteral("03-潜水泵"));
    QCOMPARE(categories->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("C"));
    QCOMPARE(categories->model()->headerData(9, Qt::Vertical).toInt(), 10);
    window->tabs()->setCurrentIndex(2);
    QCOMPARE(book->ActiveSheet()->Name(), QStringLiteral("参数1"));
    book->Sheets(4)->Activate();
    QCOMPARE(window->tabs()->currentIndex(), 3);
}

void TestSheetWindow::typingIntoCells() {
    Application *app = Application::create();
    app->setVisible(true);
    Workbook *book = app->Workbooks().Add();
    Worksheet *sheet = book->Sheets(1);
    QVERIFY(sheet->Columns(2).setNumberFormatLocal(QStringLiteral("@")));
    SheetWindow *window = windowOf(book);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTableView *view = window->viewOf(1);
    auto type = [&](int row, int column, const QString &text) {
        view->setFocus();
        view->setCurrentIndex(view->model()->index(row - 1, column - 1));
        // The first key typed on the grid opens the cell's editor; the rest go to the editor.
        for (QChar c : text) {
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : view;
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && editor != view);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the view commits the editor's text in a queued call
    };
    type(1, 1, QStringLiteral("0012"));
    type(1, 2, QStringLiteral("0012"));
    type(2, 1, QStringLiteral("离心泵"));
    QCOMPARE(sheet->Cells(1, 1).Value(), QStringLiteral("12"));   // General: a number
    QCOMPARE(sheet->Cells(1, 2).Value(), QStringLiteral("0012")); // "@": text as typed
    QCOMPARE(sheet->Cells(2, 1).Value(), QStringLiteral("离心泵"));
    QCOMPARE(view->model()->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QVERIFY(!book->Saved());
}

void TestSheetWindow::programWritesAppearInTheGrid() {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Add();
    app->setVisible(true);
    QTableView *view = windowOf(book)->viewOf(1);
    QVERIFY(book->Sheets(1)->Cells(500, 40).setValue(QStringLiteral("far")));
    QVERIFY(view->model()->rowCount() >= 500);
    QVERIFY(view->model()->columnCount() >= 40);
    QCOMPARE(view->model()->index(499, 39).data().toString(), QStringLiteral("far"));
    book->Sheets(1)->Select(500, 40);
    QCOMPARE(view->currentIndex().row(), 499);
    QVERIFY(book->Sheets(1)->Columns(1).setColumnWidth(20));
    QVERIFY(view->columnWidth(0) > view->columnWidth(1) * 2);
    book->AddSheet(QStringLiteral("新表"));
    QCOMPARE(windowOf(book)->tabs()->count(), 2);
    book->Sheets(2)->setName(QStringLiteral("改名"));
    QCOMPARE(windowOf(book)->tabs()->tabText(1), QStringLiteral("改名"));
}

void TestSheetWindow::saveAsFollowsTheExtension() {
    Application *app = Application::create();
    app->setVisible(true);
    Workbook *book = app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/mis-office.xls"));
    QVERIFY2(book, qPrintable(app->lastError()));
    SheetWindow *window = windowOf(book);
    QVERIFY(book->Sheets(1)->Cells(5, 1).setValue(QStringLiteral("闸阀")));
    for (const QString &name :
         {QStringLiteral("saved.xlsx"), QStringLiteral("saved.xls"), QStringLiteral("saved.csv")}) {
        const QString path = m_dir.filePath(name);
        QVERIFY(window->saveTo(path));
        QCOMPARE(window->windowTitle(), name);
        QVERIFY(book->Saved());
        BookContent back;
        QString error;
        QVERIFY2(readWorkbookFile(path, &back, &error), qPrintable(error));
        QVERIFY(back.sheets[0].cell(5, 1));
        QCOMPARE(back.sheets[0].cell(5, 1)->text, QStringLiteral("闸阀"));
        QCOMPARE(back.sheets[0].cell(2, 10)->text, QStringLiteral("0012"));
    }
    QVERIFY(window->save()); // to the CSV it now is
    QVERIFY(!window->saveTo(m_dir.filePath(QStringLiteral("saved.txt"))));
    QCOMPARE(window->windowTitle(), QStringLiteral("saved.csv"));
}

void TestSheetWindow::formulasKeptOnlyByTheirResultsAreSaid() {
    Application *app = Application::create();
    app->setVisible(true);
    Workbook *book =
        app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/office-long-formula.xlsx"));
    QVERIFY2(book, qPrintable(app->lastError()));
    SheetWindow *window = windowOf(book);
    // The .xlsx formulas hold text, not the tokens of an .xls file: the .xls keeps their results only.
    QVERIFY(window->saveTo(m_dir.filePath(QStringLiteral("formulas.xls"))));
    const QString said = window->statusBar()->currentMessage();
    QVERIFY2(said.contains(QStringLiteral("4 个公式")) && said.contains(QStringLiteral("计算结果")),
             qPrintable(said));
    QVERIFY(window->saveTo(m_dir.filePath(QStringLiteral("formulas.xlsx"))));
    QVERIFY2(!window->statusBar()->currentMessage().contains(QStringLiteral("公式")),
             qPrintable(window->statusBar()->currentMessage()));
}

void TestSheetWindow::closingTheWindowClosesTheWorkbook() {
    Application *app = Application::create();
    app->setVisible(true);
    QPointer<Workbook> book =
        app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/manuscript.xlsx"));
    QVERIFY(book);
    QPointer<SheetWindow> window = windowOf(book);
    QVERIFY(window->close());
    QVERIFY(!book->isAlive());
    QCOMPARE(app->Workbooks().Count(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(book.isNull());
    QVERIFY(window.isNull());
}

void TestSheetWindow::unsavedChangesAreOfferedForSaving() {
    Application *app = Application::create();
    app->setVisible(true);
    Workbook *book = app->Workbooks().Open(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/mis-office.xlsx"));
    QVERIFY(book);
    SheetWindow *window = windowOf(book);
    QVERIFY(book->Sheets(1)->Cells(6, 1).setValue(QStringLiteral("changed")));
    answerNextMessageBox(QMessageBox::Cancel);
    QVERIFY(!window->close());
    QVERIFY(book->isAlive());
    QVERIFY(window->isVisible());
    // Saving from the question writes the file, then the window closes.
    QVERIFY(window->saveTo(m_dir.filePath(QStringLiteral("offered.xlsx"))));
    QVERIFY(book->Sheets(1)->Cells(7, 1).setValue(QStringLiteral("more")));
    answerNextMessageBox(QMessageBox::Save);
    QVERIFY(window->close());
    QVERIFY(!book->isAlive());
    BookContent back;
    QString error;
    QVERIFY(readWorkbookFile(m_dir.filePath(QStringLiteral("offered.xlsx")), &back, &error));
    QCOMPARE(back.sheets[0].cell(7, 1)->text, QStringLiteral("more"));

    Workbook *other = app->Workbooks().Add();
    QVERIFY(other->Sheets(1)->Cells(1, 1).setValue(QStringLiteral("dropped")));
    answerNextMessageBox(QMessageBox::Discard);
    QVERIFY(windowOf(other)->close());
    QVERIFY(!other->isAlive());
}

void TestSheetWindow::hidingKeepsWorkbooksOpen() {
    Application *app = Application::create();
    app->setVisible(true);
    Workbook *book = app->Workbooks().Add();
    QWidget *window = book->window();
    QVERIFY(window->isVisible());
    app->setVisible(false);
    QVERIFY(!window->isVisible());
    QVERIFY(book->isAlive());
    app->setVisible(true);
    QVERIFY(window->isVisible());
}

QTEST_MAIN(TestSheetWindow)
#include "tst_SheetWindow.moc"
