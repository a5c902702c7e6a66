// The requisition form in the main window: materials picked in the code builder from the corpus coding
// workbook, filled with the frame's buttons, a second form, the finish, the fit option kept in Tavlo.ini,
// and the shutdown finishing an open form.
#include "app/FrmMain.h"
#include "common/modOffice.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/sheet/Application.h"
#include "platform/text/IniFile.h"
#include "requisition/CodeBuilder.h"
#include "requisition/RequisitionForm.h"
#include "requisition/RequisitionPanel.h"
#include "requisition/WordFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tavlo::document;

namespace {
QString corpus(const char *name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + QString::fromUtf8(name);
}
// Lingers with the windows on screen when asked, so a person can look at them.
void lookAt() {
    const int ms = qEnvironmentVariableIntValue("TAVLO_LOOK_MS");
    if (ms > 0)
        QTest::qWait(ms);
}
} // namespace

class TestRequisitionWindow : public QObject {
    Q_OBJECT

private slots:
    void twoFormsFromTheCodeBuilder();
    void shutdownFinishesTheForm();
};

void TestRequisitionWindow::twoFormsFromTheCodeBuilder() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    const QString ini = home.filePath(QStringLiteral("Tavlo.ini"));
    {
        FrmMain window(ini);
        window.show();
        window.ShowPanel(4);
        WordFrame *frame = window.wordFrame;
        QVERIFY(frame && frame->parent() == window.fraMain[4]);
        QCOMPARE(frame->title(), QStringLiteral("生成申请单"));
        QCOMPARE(window.requisitionPanel->fraWord, frame);
        for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(frame->rect().contains(child->geometry()), qPrintable(child->objectName()));
        // Nothing to fill without a data source.
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        QVERIFY(!window.officeSlots.word().application);

        window.codeBuilder()->openDataSource(corpus("coding-workbook.xlsx"));
        QVERIFY(window.codeBuilder()->DataSourceValid());
        frame->txtProjectName->setText(QStringLiteral("净水厂扩建工程"));
        lookAt();
        RequisitionPanel *panel = window.requisitionPanel;
        QComboBox *names = panel->comName;
        QComboBox *first = panel->comParameter[1];
        QVERIFY(names->count() >= 1 && first->count() >= 2);
        QStringList codes;
        auto fill = [&](int name, int parameter) {
            window.codeBuilder()->selectItem(names, name % names->count());
            window.codeBuilder()->selectItem(first, parameter % first->count());
            codes.append(panel->txtCode->text());
            QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        };
        fill(0, 0);
        fill(0, 1);
        fill(0, 0); // the first material again
        fill(1, 0);
        fill(1, 1);
        Document *d = window.officeSlots.word().document;
        QVERIFY(d && d->window() && d->window()->isVisible());
        RequisitionForm *form = window.requisitionForm();
        const int firstLines = form->tableRowCount() - 1;
        QVERIFY(firstLines >= 3);
        QCOMPARE(form->GetTableCell(2, 2), codes[0]);
        QCOMPARE(form->GetTableCell(2, 6), QStringLiteral("2"));
        QCOMPARE(form->GetTableCell(2, 5).isEmpty(), false);

        frame->chkNewTable->setChecked(true);
        fill(0, 0);
        fill(0, 1);
        QCOMPARE(d->TablesCount(), 2);
        QCOMPARE(form->tableRowCount(), 3);
        QCOMPARE(d->pageOfRow(d->Tables(2), 1), 2);
        frame->optBehavior[2]->setChecked(true);
        QTest::mouseClick(frame->cmdFinish, Qt::LeftButton);
        QVERIFY(!window.officeSlots.word().application);
        QVERIFY(!window.officeSlots.excel(1)->application);
        QVERIFY(d->isAlive());
        QCOMPARE(d->pageCount(), 2);
        QCOMPARE(d->pageSetup().orientation, PageSetup::Landscape);
        // Fitted to the page's width, padded to its end.
        QVERIFY(qAbs(d->Tables(2)->width() - d->pageSetup().textWidth()) < 0.01);
        QVERIFY(d->Tables(2)->RowsCount() > 8);
        lookAt();
        d->setSaved(true);
        window.SaveSettings();
    }
    QCOMPARE(tavlo::text::IniFile::load(ini).value(QStringLiteral("PR"), QStringLiteral("Behavior")),
             QStringLiteral("2"));
    FrmMain again(ini);
    again.Form_Load();
    QVERIFY(again.wordFrame->optBehavior[2]->isChecked());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestRequisitionWindow::shutdownFinishesTheForm() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    FrmMain window(home.filePath(QStringLiteral("Tavlo.ini")));
    window.codeBuilder()->openDataSource(corpus("coding-workbook.xlsx"));
    QTest::mouseClick(window.wordFrame->cmdFill, Qt::LeftButton);
    QPointer<Document> d = window.officeSlots.word().document.data();
    QVERIFY(d);
    const int rows = d->Tables(1)->RowsCount();
    int rowsAtClose = 0;
    connect(d, &Document::closed, this, [&] { rowsAtClose = d->Tables(1)->RowsCount(); });
    d->setSaved(true);
    window.terminate();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!d);
    QVERIFY(Application::instances().isEmpty());
    // Padded to the page end before the program let go of it.
    QVERIFY(rowsAtClose > rows);
}

QTEST_MAIN(TestRequisitionWindow)
#include "tst_RequisitionWindow.moc"
