// The coding workbook behind the requisition panel of the main window: what the panel says when there is
// none, when the form's finish lets it go, and what the next start remembers of it.
#include "app/FrmMain.h"
#include "common/modOffice.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/sheet/Application.h"
#include "platform/text/IniFile.h"
#include "requisition/BatchCoder.h"
#include "requisition/CodeBuilder.h"
#include "requisition/RequisitionForm.h"
#include "requisition/RequisitionPanel.h"
#include "requisition/RequisitionTool.h"
#include "requisition/WordFrame.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString corpus(const char *name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/sheets/") + QString::fromUtf8(name);
}

QStringList shown(const RequisitionPanel *panel) {
    QStringList texts{panel->comCategory->currentText(), panel->comName->currentText()};
    for (int i = 1; i <= 5; ++i)
        texts.append(panel->comParameter[i]->currentText());
    return texts + QStringList{panel->txtCode->text()};
}

bool listsEnabled(const RequisitionPanel *panel) {
    bool enabled = panel->comCategory->isEnabled() && panel->comName->isEnabled();
    for (int i = 1; i <= 5; ++i)
        enabled = enabled && panel->comParameter[i]->isEnabled();
    return enabled;
}

} // namespace

class TestRequisitionSource : public QObject {
    Q_OBJECT

private slots:
    void finishReleasesTheSourceVisiblyAndChoosingItAgainRestoresIt();
};

void TestRequisitionSource::finishReleasesTheSourceVisiblyAndChoosingItAgainRestoresIt() {
    QTemporaryDir home;
    qputenv("TAVLO_HOME", home.path().toUtf8());
    const QString ini = home.filePath(QStringLiteral("Tavlo.ini"));
    const QString source = corpus("coding-workbook.xlsx");
    {
        FrmMain window(ini);
        window.show();
        window.ShowPanel(4);
        RequisitionPanel *panel = &window.requisition()->panel();
        WordFrame *frame = &window.requisition()->frame();
        QLabel *tip = window.LabTip[1];

        // Without a data source both commands say why.
        QTest::mouseClick(panel->cmdBatch, Qt::LeftButton);
        QVERIFY2(tip->text().startsWith(QStringLiteral("批量编码无法开始：尚未选择数据源")),
                 qPrintable(tip->text()));
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        QVERIFY2(tip->text().startsWith(QStringLiteral("无法填单：尚未选择数据源")), qPrintable(tip->text()));
        QVERIFY(!window.officeSlots.word().application);

        CodeBuilder *builder = &window.requisition()->builder();
        builder->openDataSource(source);
        builder->selectItem(panel->comCategory, 1);
        builder->selectItem(panel->comName, 1);
        builder->selectItem(panel->comParameter[1], 1);
        const QStringList chosen = shown(panel);
        QVERIFY(builder->CodeValid());
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        RequisitionForm *form = &window.requisition()->form();
        QCOMPARE(form->GetTableCell(2, 2), chosen.last());

        // "完毕" lets the coding workbook go: the status line says so, the lists stay greyed with what
        // they showed, and neither a fill nor a batch takes material from them.
        frame->txtProjectName->setText(QStringLiteral("净水厂扩建工程"));
        frame->txtDesignCode->setText(QStringLiteral("S-2024-07"));
        frame->txtProjectCode->setText(QStringLiteral("P0815"));
        QTest::mouseClick(frame->cmdFinish, Qt::LeftButton);
        QVERIFY(!window.officeSlots.excel(1)->application);
        QVERIFY2(tip->text().contains(QStringLiteral("coding-workbook.xlsx")) &&
                     tip->text().contains(QStringLiteral("已关闭")),
                 qPrintable(tip->text()));
        QVERIFY(!listsEnabled(panel));
        QVERIFY(!panel->txtCode->isEnabled());
        QCOMPARE(shown(panel), chosen);
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        QVERIFY(!window.officeSlots.word().application);
        QVERIFY2(tip->text().startsWith(QStringLiteral("无法填单：数据源“coding-workbook.xlsx”已关闭")),
                 qPrintable(tip->text()));
        QTest::mouseClick(panel->cmdBatch, Qt::LeftButton);
        QVERIFY(!window.requisition()->batch().lastOutput());
        QVERIFY2(
            tip->text().startsWith(QStringLiteral("批量编码无法开始：数据源“coding-workbook.xlsx”已关闭")),
            qPrintable(tip->text()));

        // Choosing the same source again brings back the lists as they were, and the fill works.
        builder->openDataSource(source);
        QVERIFY(listsEnabled(panel) && panel->txtCode->isEnabled());
        QCOMPARE(shown(panel), chosen);
        QTest::mouseClick(frame->cmdFill, Qt::LeftButton);
        QVERIFY(window.officeSlots.WordDocumentOpen());
        QCOMPARE(window.requisition()->form().GetTableCell(2, 2), chosen.last());
        // Closing the form's window releases the source the same way.
        window.officeSlots.word().document->setSaved(true);
        window.officeSlots.word().document->Close();
        form->tmrWord_Timer();
        QVERIFY(!window.officeSlots.excel(1)->application);
        QVERIFY(!listsEnabled(panel));
        QVERIFY(tip->text().contains(QStringLiteral("已关闭")));
        window.SaveSettings();
    }
    // The word processor left open for the user ends, and what it left to the event loop is deleted.
    for (tavlo::document::Application *word : tavlo::document::Application::instances())
        word->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const tavlo::text::IniFile saved = tavlo::text::IniFile::load(ini);
    const QString pr = QStringLiteral("PR");
    QCOMPARE(saved.value(pr, QStringLiteral("DataSource")), QDir::toNativeSeparators(source));
    QCOMPARE(saved.value(pr, QStringLiteral("ProjectName")), QStringLiteral("净水厂扩建工程"));
    QCOMPARE(saved.value(pr, QStringLiteral("DesignCode")), QStringLiteral("S-2024-07"));
    QCOMPARE(saved.value(pr, QStringLiteral("ProjectCode")), QStringLiteral("P0815"));
    QCOMPARE(saved.value(pr, QStringLiteral("Behavior")), QStringLiteral("0"));

    FrmMain again(ini);
    again.Form_Load();
    QCOMPARE(again.requisition()->frame().txtProjectName->text(), QStringLiteral("净水厂扩建工程"));
    QCOMPARE(again.requisition()->frame().txtDesignCode->text(), QStringLiteral("S-2024-07"));
    QCOMPARE(again.requisition()->frame().txtProjectCode->text(), QStringLiteral("P0815"));
    QCOMPARE(again.requisition()->builder().sourcePath(), QDir::toNativeSeparators(source));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestRequisitionSource)
#include "tst_RequisitionSource.moc"
