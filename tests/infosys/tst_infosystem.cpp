#include "SessionProbe.h"

#include "common/modOffice.h"
#include "infosys/InfoPanel.h"
#include "infosys/InfoSystem.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/IniFile.h"

#include "LoopbackPeer.h"
#include "TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

using tavlo::sheet::Application;

// One computer: a session on loopback, the information-system panel and its own data folder.
struct Computer {
    QTemporaryDir folder;
    SessionProbe probe;
    QGroupBox frame;
    InfoPanel panel{&frame};
    OfficeSlots office;
    QString tip;
    InfoSystem info;

    explicit Computer(const QString &id)
        : probe(id)
        , info(probe.session, panel, office,
               InfoSystem::Context{
                   folder.path(), folder.filePath(QStringLiteral("Tavlo.ini")),
                   [] { return RecordSchemaText::designed(); }, [this](const QString &text) { tip = text; },
                   [this](const QString &section, const QString &key, const QString &value, QString *error) {
                       // Stands in for the program's settings store.
                       tavlo::text::IniFile ini =
                           tavlo::text::IniFile::load(folder.filePath(QStringLiteral("Tavlo.ini")));
                       ini.setValue(section, key, value);
                       return ini.save(folder.filePath(QStringLiteral("Tavlo.ini")), error);
                   }}) {
        probe.session.dispatcher().unregisterHandler(QStringLiteral("[记录结果]"));
        QObject::connect(&probe.session, &Session::tipRequested, [this](const QString &text) { tip = text; });
    }
    ~Computer() { office.ReleaseAll(); }

    void type(const QStringList &fields) {
        for (int i = 0; i < 10; ++i)
            panel.txtRecord[i]->setText(fields.value(i));
    }
    void record(const QStringList &fields) {
        type(fields);
        info.cmdRecord_Click();
    }
    // Cell texts of MIS.xls, read back through a separate spreadsheet instance.
    QString cell(int row, int column) const { return readCell(info.workbookPath(), row, column); }

    static QString readCell(const QString &path, int row, int column, QString *format = nullptr) {
        Application *app = Application::create();
        QString value;
        if (auto *book = app->Workbooks().Open(path)) {
            value = book->Sheets(1)->value(row, column);
            if (format)
                *format = book->Sheets(1)->numberFormat(row, column);
        }
        app->Quit();
        return value;
    }
    static int lastRow(const QString &path) {
        Application *app = Application::create();
        int last = 0;
        if (auto *book = app->Workbooks().Open(path))
            last = book->Sheets(1)->UsedRange().Row + book->Sheets(1)->UsedRange().RowsCount - 1;
        app->Quit();
        return last;
    }
};

const QStringList kPump{"离心泵", "IS80", "DN80", "一期", "2026", "南方", "台", "0012", "12500.5", "NC01"};
const QStringList kValve{"闸阀", "Z41H", "DN50", "二期", "2026", "北方", "个", "3", "80", "NC02"};

class TestInfoSystem : public QObject {
    Q_OBJECT

private slots:
    void allBoxesBlankRecordsNothing() {
        Computer pc(QStringLiteral("甲"));
        pc.frame.show();
        pc.frame.activateWindow();
        pc.panel.txtRecord[5]->setFocus();
        pc.record({QStringLiteral("  "), QString()});
        QTRY_VERIFY(pc.panel.txtRecord[0]->hasFocus());
        QVERIFY(!QFile::exists(pc.info.workbookPath()));
        QVERIFY(!pc.panel.txtRecord[10]->text().isEmpty()); // the inputer box is filled all the same
    }

    void offlineRecordsCreateTheWorkbookAndAreRemembered() {
        Computer pc(QStringLiteral("甲"));
        pc.record(kPump);
        QCOMPARE(pc.tip, QStringLiteral("录入成功"));
        QCOMPARE(pc.cell(1, 1), QStringLiteral("物料名称"));
        QCOMPARE(pc.cell(1, 11), QStringLiteral("录入者"));
        QCOMPARE(pc.cell(2, 1), QStringLiteral("离心泵"));
        QString format;
        QCOMPARE(Computer::readCell(pc.info.workbookPath(), 2, 8, &format), QStringLiteral("0012"));
        QCOMPARE(format, QStringLiteral("@"));
        QCOMPARE(pc.cell(2, 11), pc.info.ownAddress());

        pc.record(kValve);
        QCOMPARE(pc.cell(3, 1), QStringLiteral("闸阀"));
        QCOMPARE(pc.info.storedRowList(), QStringLiteral("|2|3"));
    }

    void aRecordIsAppendedToAnOfficeWorkbook() {
        Computer pc(QStringLiteral("甲"));
        QVERIFY(
            QFile::copy(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/mis-office.xls"), pc.info.workbookPath()));
        QFile::setPermissions(pc.info.workbookPath(), QFile::ReadOwner | QFile::WriteOwner);
        pc.record(kValve);
        QCOMPARE(pc.tip, QStringLiteral("录入成功"));
        QCOMPARE(pc.cell(1, 1), QStringLiteral("物料名称"));
        QCOMPARE(pc.cell(2, 8), QStringLiteral("2"));
        QCOMPARE(pc.cell(2, 10), QStringLiteral("0012"));
        QCOMPARE(pc.cell(4, 1), QStringLiteral("Flow meter"));
        QCOMPARE(pc.cell(5, 1), QStringLiteral("闸阀"));
    }

    void aDamagedWorkbookIsNeverReplaced() {
        Computer pc(QStringLiteral("甲"));
        QVERIFY(QFile::copy(QStringLiteral(TAVLO_CORPUS_DIR "/sheets/damaged-garbled.xls"),
                            pc.info.workbookPath()));
        QFile original(pc.info.workbookPath());
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();
        pc.record(kPump);
        // The refusal, then its reason.
        QVERIFY2(pc.tip.startsWith(QStringLiteral("未录入成功（无法打开“MIS.xls”")), qPrintable(pc.tip));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);
        QVERIFY(pc.info.storedRowList().isEmpty());
    }

    void queriesFindLocalRows() {
        Computer pc(QStringLiteral("甲"));
        pc.record(kPump);
        pc.record(kValve);
        const auto query = [&pc](const QString &keyword, bool wholeWord = false) {
            return pc.info.SearchWorkbook(keyword + QStringLiteral("||||||True|False|") +
                                          (wholeWord ? QStringLiteral("True") : QStringLiteral("False")));
        };
        QCOMPARE(query(QStringLiteral("泵")), QStringList{kPump.join(u'|')});
        QCOMPARE(query(QStringLiteral("dn")).size(), 2);
        QCOMPARE(query(QStringLiteral("DN8"), true).size(), 0);
        QCOMPARE(query(pc.info.ownAddress()).size(), 0); // the inputer column is never searched

        for (QLineEdit *box : pc.panel.txtQuery)
            box->setText(QStringLiteral(" "));
        pc.frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&pc.frame));
        pc.info.cmdQuery_Click();
        QVERIFY(pc.panel.txtQuery[0]->hasFocus());

        pc.panel.txtQuery[3]->setText(QStringLiteral("闸阀"));
        pc.panel.comShowMode->setCurrentIndex(0); // NotePad
        pc.info.cmdQuery_Click();
        QCOMPARE(pc.tip, QStringLiteral("1 条记录"));
        QFile results(pc.info.queryFilePath());
        QVERIFY(results.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(results.readAll());
        QVERIFY(text.contains(QStringLiteral("物料名称： 闸阀\n")));
        QVERIFY(text.contains(QStringLiteral(" 查到以上 1 条。\n")));
        QVERIFY(pc.info.queryViewer() && pc.info.queryViewer()->isVisible());
        auto *shown = pc.info.queryViewer()->findChild<QPlainTextEdit *>();
        QVERIFY(shown->toPlainText().endsWith(QStringLiteral("条。\n")));
    }

    void resultsInAWorkbookLeftOpenForTheUser() {
        Computer pc(QStringLiteral("甲"));
        pc.record(kPump);
        pc.info.ShowResults({kPump.join(u'|')}, QStringLiteral("Excel"));
        const ExcelSlot *slot = pc.office.excel(OfficeSlots::QueryDisplay);
        QVERIFY(slot && slot->worksheet);
        QCOMPARE(slot->worksheet->value(1, 1), QStringLiteral("物料名称"));
        QCOMPARE(slot->worksheet->value(2, 8), QStringLiteral("0012"));
        QCOMPARE(slot->worksheet->numberFormat(2, 8), QStringLiteral("@"));
        QVERIFY(slot->worksheet->value(3, 1).endsWith(QStringLiteral(" 查到以上 1 条。")));
        QVERIFY(slot->application->Visible());
        slot->workbook->Close(); // left unsaved, it would ask the user at the end
    }

    void aMembersRecordAndQueryGoToTheHost() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        const quint16 port = host.probe.startHosting();
        QVERIFY(member.probe.join(port));
        QTRY_VERIFY(host.probe.session.isOnline());

        member.record(kPump);
        QTRY_COMPARE(member.tip, QStringLiteral("录入成功!"));
        QCOMPARE(host.cell(2, 1), QStringLiteral("离心泵"));
        QCOMPARE(host.cell(2, 11), member.info.ownAddress());
        QVERIFY(!QFile::exists(member.info.workbookPath()));

        host.record(kValve); // the host records into its own workbook and tells itself
        QCOMPARE(host.tip, QStringLiteral("录入成功!"));
        QCOMPARE(host.cell(3, 1), QStringLiteral("闸阀"));

        member.panel.txtQuery[0]->setText(QStringLiteral("DN"));
        member.panel.comShowMode->setCurrentIndex(1); // Excel
        member.info.cmdQuery_Click();
        QTRY_VERIFY(member.office.excel(OfficeSlots::QueryDisplay)->worksheet);
        QTRY_COMPARE(member.tip, QStringLiteral("2 条记录"));
        const auto *sheet = member.office.excel(OfficeSlots::QueryDisplay)->worksheet.data();
        QCOMPARE(sheet->value(2, 1), QStringLiteral("离心泵"));
        QCOMPARE(sheet->value(3, 1), QStringLiteral("闸阀"));
        member.office.excel(OfficeSlots::QueryDisplay)->workbook->Close();
    }

    // Whatever step fails, the member hears "未录入成功!", the host's status line says why, and MIS.xls
    // keeps every byte: a field longer than a cell holds, then a workbook that cannot be read.
    void aRecordNotStoredIsNeverReportedAsStored() {
        Computer host(QStringLiteral("主"));
        host.record(kPump);
        const QByteArray before = TestFiles::read(host.info.workbookPath());
        QVERIFY(!before.isEmpty());
        const quint16 port = host.probe.startHosting();
        LoopbackPeer *member = joinRaw(host.probe, port, QStringLiteral("员"), this);
        QVERIFY(member);
        member->takeLines();

        QStringList fields = kValve;
        fields[1] = QString(InfoSystem::kMaxFieldLength + 1, u'x');
        member->send(QStringLiteral("[记录]") + fields.join(u'|') + QStringLiteral("|127.0.0.1"));
        QVERIFY(member->waitForLines(1));
        QCOMPARE(member->takeLines(), QStringList{QStringLiteral("[记录结果]未录入成功!")});
        QVERIFY2(host.tip.contains(QStringLiteral("32767")), qPrintable(host.tip));
        QCOMPARE(TestFiles::read(host.info.workbookPath()), before);

        const QByteArray damaged = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, 'x');
        QVERIFY(TestFiles::write(host.info.workbookPath(), damaged));
        member->send(QStringLiteral("[记录]") + kValve.join(u'|') + QStringLiteral("|127.0.0.1"));
        QVERIFY(member->waitForLines(1));
        QCOMPARE(member->takeLines(), QStringList{QStringLiteral("[记录结果]未录入成功!")});
        QVERIFY2(host.tip.contains(QStringLiteral("MIS.xls")), qPrintable(host.tip));
        QCOMPARE(TestFiles::read(host.info.workbookPath()), damaged);

        // The record boxes take what one cell holds and no more.
        host.panel.txtRecord[1]->setText(QString(40000, u'x'));
        QCOMPARE(host.panel.txtRecord[1]->text().size(), InfoSystem::kMaxFieldLength);
    }

    // A cell holding line breaks (typed in the sheet window with Alt+Enter) still travels as one line.
    void aQueryRowWithLineBreaksStaysOneLine() {
        Computer host(QStringLiteral("主"));
        host.record(kPump);
        const QString broken = QStringLiteral("第一行\r\n第二行\n第三行\r尾");
        Application *app = Application::create();
        auto *book = app->Workbooks().Open(host.info.workbookPath());
        QVERIFY(book);
        book->Sheets(1)->setValue(2, 2, broken);
        QVERIFY(book->SaveAs(host.info.workbookPath()));
        app->Quit();
        QCOMPARE(host.cell(2, 2), broken);
        const quint16 port = host.probe.startHosting();
        LoopbackPeer *member = joinRaw(host.probe, port, QStringLiteral("员"), this);
        QVERIFY(member);
        member->takeLines();
        member->send(QStringLiteral("[查询]泵||||||True|False|False"));
        QVERIFY(member->waitForLines(2));
        QTest::qWait(200);
        QCOMPARE(member->takeLines(),
                 (QStringList{
                     QStringLiteral("[查询条数] 1"),
                     QStringLiteral(
                         "[查询]离心泵|第一行 第二行 第三行 尾|DN80|一期|2026|南方|台|0012|12500.5|NC01")}));
    }

    void offlineRowsAreUploadedOnJoiningAnotherComputer() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        member.record(kPump);
        QStringList noUnit = kValve;
        noUnit[6].clear();
        member.record(noUnit);
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2|3"));

        // 127.0.0.2 is this machine too, but not the address joining treats as itself.
        host.probe.session.sockets().setListenAddress(QHostAddress(QStringLiteral("127.0.0.2")));
        const quint16 port = host.probe.startHosting();
        member.probe.config.port = port;
        member.probe.config.connectMode = 1;
        member.probe.config.vipList = {QStringLiteral("127.0.0.2")};
        member.probe.session.member().cmdConnect_Click();
        QTRY_VERIFY(member.probe.session.ownNumber() > 0);
        QTRY_COMPARE(host.cell(2, 1), QStringLiteral("离心泵"));
        QTRY_VERIFY(member.info.storedRowList().isEmpty());
        QTest::qWait(200);
        QCOMPARE(Computer::lastRow(host.info.workbookPath()), 2); // the row without a unit stayed home
    }

    void joiningThisComputerNeverUploads() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        member.record(kPump);
        const quint16 port = host.probe.startHosting();
        QVERIFY(member.probe.join(port));
        QTest::qWait(300);
        QVERIFY(!QFile::exists(host.info.workbookPath()));
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2"));
    }
};

QTEST_MAIN(TestInfoSystem)
#include "tst_infosystem.moc"
