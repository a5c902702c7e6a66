#include "SessionProbe.h"

#include "common/modOffice.h"
#include "infosys/InfoPanel.h"
#include "infosys/InfoSystem.h"
#include "infosys/RecordBook.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/IniFile.h"

#include "LoopbackPeer.h"
#include "Python.h"
#include "TestFiles.h"

#include "platform/text/TextCodec.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

using tavlo::sheet::Application;

namespace {

// The rows of the first sheet as python3-xlrd reads them, cells joined with "|"; one "<unreadable>"
// entry when it cannot read the file.
QStringList xlrdRows(const QString &path) {
    bool ok = false;
    const QByteArray out =
        Python::run(QStringLiteral("import sys, xlrd\n"
                                   "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                   "for r in range(s.nrows):\n"
                                   "    print('|'.join(str(v) for v in s.row_values(r)))\n"),
                    {path}, &ok);
    if (!ok)
        return {QStringLiteral("<unreadable>")};
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

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
        , info(probe.session, panel, toolContext(),
               InfoSystem::Context{
                   folder.filePath(QStringLiteral("Tavlo.ini")), [] { return RecordSchemaText::designed(); },
                   [this](const QString &section, const QString &key, const QString &value, QString *error) {
                       // Stands in for the program's settings store.
                       tavlo::text::IniFile ini =
                           tavlo::text::IniFile::load(folder.filePath(QStringLiteral("Tavlo.ini")));
                       ini.setValue(section, key, value);
                       return ini.save(folder.filePath(QStringLiteral("Tavlo.ini")), error);
                   }}) {
        QObject::connect(&probe.session, &Session::tipRequested, [this](const QString &text) { tip = text; });
    }
    ~Computer() { office.ReleaseAll(); }

    // The data folder, the spreadsheet slots and the status line of this computer (built before `info`).
    ToolContext toolContext() {
        ToolContext context;
        context.office = &office;
        context.dataFolder = folder.path();
        context.status.show = [this](const QString &text) { tip = text; };
        return context;
    }

    void type(const QStringList &fields) {
        for (int i = 0; i < 10; ++i)
            panel.txtRecord[i]->setText(fields.value(i));
    }
    void record(const QStringList &fields) {
        type(fields);
        info.cmdRecord_Click();
    }
    // Cell texts of MIS.xls, read back through a separate spreadsheet instance once the records stored
    // so far have reached the file.
    QString cell(int row, int column) const {
        waitUntilWritten();
        return readCell(info.workbookPath(), row, column);
    }
    bool waitUntilWritten() const {
        return QTest::qWaitFor([this] { return info.recordsWaiting() == 0; }, 20000);
    }

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

    // The member joins a host on another address of this machine (127.0.0.2 is not the address joining
    // treats as itself), which makes it upload its local rows.
    static void joinElsewhere(Computer &host, Computer &member) {
        host.probe.session.sockets().setListenAddress(QHostAddress(QStringLiteral("127.0.0.2")));
        member.probe.config.port = host.probe.startHosting();
        member.probe.config.connectMode = 1;
        member.probe.config.vipList = {QStringLiteral("127.0.0.2")};
        member.probe.session.member().cmdConnect_Click();
    }

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
        const QByteArray before = TestFiles::read(pc.info.workbookPath());
        QVERIFY(!before.isEmpty());
        pc.record(kPump);
        // The refusal, then its reason.
        QVERIFY2(pc.tip.startsWith(QStringLiteral("未录入成功（无法打开“MIS.xls”")), qPrintable(pc.tip));
        QCOMPARE(TestFiles::read(pc.info.workbookPath()), before);
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
        const QString text = QString::fromUtf8(TestFiles::read(pc.info.queryFilePath()));
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
        QVERIFY(host.waitUntilWritten());
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
        QVERIFY(host.waitUntilWritten());
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
        // A second query that finds nothing marks the end of the first answer.
        member->send(QStringLiteral("[查询]无此物||||||True|False|False"));
        QVERIFY(member->waitForLines(3));
        QCOMPARE(
            member->takeLines(),
            (QStringList{QStringLiteral("[查询条数] 1"),
                         QStringLiteral(
                             "[查询]离心泵|第一行 第二行 第三行 尾|DN80|一期|2026|南方|台|0012|12500.5|NC01"),
                         QStringLiteral("[查询条数] 0")}));
    }

    void offlineRowsAreUploadedOnJoiningAnotherComputer() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        member.record(kPump);
        QStringList noUnit = kValve;
        noUnit[6].clear();
        member.record(noUnit);
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2|3"));

        joinElsewhere(host, member);
        QTRY_VERIFY(member.probe.session.ownNumber() > 0);
        QTRY_COMPARE(host.cell(2, 1), QStringLiteral("离心泵"));
        // The list empties once the upload is over and the host has answered for every row it got.
        QTRY_VERIFY(member.info.storedRowList().isEmpty());
        QVERIFY(host.waitUntilWritten());
        QCOMPARE(Computer::lastRow(host.info.workbookPath()), 2); // the row without a unit stayed home
    }

    // Leaving while rows are being uploaded keeps the rows not sent on the list; joining again while an
    // upload runs starts it over. Every row reaches the host in the end.
    void anUploadCutShortLosesNoRow() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        for (const QStringList &fields : {kPump, kValve, kPump, kValve})
            member.record(fields);
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2|3|4|5"));

        // The first and the second uploaded row are each followed at once by an interruption.
        int uploaded = 0;
        connect(&member.probe.session, &Session::lineSent, this, [&](const QString &line) {
            if (!line.startsWith(QStringLiteral("主机: [记录]")) || ++uploaded > 2)
                return;
            if (uploaded == 1)
                QTimer::singleShot(0, &member.probe.session, &Session::cmdDisconnect_Click);
            else
                QTimer::singleShot(0, &member.probe.session.member(), &MemberRole::cmdConnect_Click);
        });
        joinElsewhere(host, member);
        QTRY_COMPARE(uploaded, 1);
        QTRY_VERIFY(!member.probe.session.controlsLocked());
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2|3|4|5"));

        member.probe.session.member().cmdConnect_Click();
        QTRY_VERIFY_WITH_TIMEOUT(member.info.storedRowList().isEmpty(), 20000);
        QVERIFY(uploaded > 4); // the third join uploaded again what the list held
        QVERIFY(host.waitUntilWritten());
        QStringList names;
        for (int row = 2; row <= Computer::lastRow(host.info.workbookPath()); ++row)
            names << host.cell(row, 1);
        QVERIFY2(names.count(kPump[0]) >= 2 && names.count(kValve[0]) >= 2, qPrintable(names.join(u',')));
    }

    // The program dies after records were acknowledged: before MIS.xls was rewritten (with a torn
    // entry after them and a temporary file of the interrupted write), or after the rewrite but before
    // the journal was emptied. The next start brings every record into MIS.xls exactly once, a record
    // typed twice included, and removes only its own temporary files.
    void aCrashLosesNoAcknowledgedRecordAndAddsNoneTwice() {
        if (!Python::has(QStringLiteral("xlrd")))
            QSKIP("needs /usr/bin/python3 with xlrd");
        const QStringList header{QStringLiteral("名称"), QStringLiteral("型号")};
        const QList<QStringList> records{{QStringLiteral("泵"), QStringLiteral("0012")},
                                         {QStringLiteral("阀"), QStringLiteral("Z41H")},
                                         {QStringLiteral("泵"), QStringLiteral("0012")}};
        QTemporaryDir running, beforeRewrite, afterRewrite;
        const auto misIn = [](const QTemporaryDir &dir) { return dir.filePath(QStringLiteral("MIS.xls")); };
        const auto journalIn = [&](const QTemporaryDir &dir) {
            return RecordBook::journalPathFor(misIn(dir));
        };
        {
            RecordBook book(misIn(running), [&] { return header; });
            book.append({records[0]});
            QVERIFY(book.flush());
            QFile::copy(misIn(running), misIn(beforeRewrite));
            const QList<RecordBook::Outcome> outcomes = book.append({records[1], records[2]});
            QCOMPARE(outcomes.size(), 2);
            QCOMPARE(outcomes[0].row, 3);
            QCOMPARE(outcomes[1].row, 4);
            QCOMPARE(book.waitingRecords(), 2);
            // What the disk holds at the moment of the crash.
            QVERIFY(QFile::copy(journalIn(running), journalIn(beforeRewrite)));
            QVERIFY(QFile::copy(journalIn(running), journalIn(afterRewrite)));
            QVERIFY(book.flush());
            QVERIFY(QFile::copy(misIn(running), misIn(afterRewrite)));
            QVERIFY(!QFile::exists(journalIn(running)));
        }
        QFile journal(journalIn(beforeRewrite));
        QVERIFY(journal.open(QIODevice::Append));
        journal.write(RecordJournal::encode({5, QStringLiteral("torn|entry")}).left(20));
        journal.close();
        const QStringList leftovers{
            QStringLiteral(".MIS.xls.1x9k2a.tmp"), QStringLiteral(".MIS.xls.backup-1.tmp"),
            QStringLiteral("MIS.xls.1x9k2a.tmp"), QStringLiteral(".Tavlo.ini.1x9k2a.tmp")};
        for (const QString &name : leftovers)
            QVERIFY(TestFiles::write(beforeRewrite.filePath(name), "left"));

        const QStringList expected{QStringLiteral("名称|型号"), QStringLiteral("泵|0012"),
                                   QStringLiteral("阀|Z41H"), QStringLiteral("泵|0012")};
        QCOMPARE(xlrdRows(misIn(running)), expected);
        for (const QTemporaryDir *dir : {&beforeRewrite, &afterRewrite}) {
            RecordBook book(misIn(*dir), [&] { return header; });
            QVERIFY(!book.recover().isEmpty());
            QCOMPARE(book.waitingRecords(), 0);
            QVERIFY(!QFile::exists(journalIn(*dir)));
            QCOMPARE(xlrdRows(misIn(*dir)), expected);
            QCOMPARE(book.append({{QStringLiteral("新"), QStringLiteral("1")}}).value(0).row, 5);
        }
        QStringList left = QDir(beforeRewrite.path()).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral(".MIS.xls.backup-1.tmp"),
                                    QStringLiteral(".Tavlo.ini.1x9k2a.tmp"), QStringLiteral("MIS.xls"),
                                    QStringLiteral("MIS.xls.1x9k2a.tmp")}));
    }

    // A member sends 60 records and leaves at once: the host stores every one of them.
    void recordsOfAMemberWhoLeftAreStoredAllTheSame() {
        Computer host(QStringLiteral("主"));
        const quint16 port = host.probe.startHosting();
        LoopbackPeer *member = joinRaw(host.probe, port, QStringLiteral("员"), this);
        QVERIFY(member);
        QByteArray burst;
        for (int i = 1; i <= 60; ++i)
            burst += tavlo::text::toWire(QStringLiteral("[记录]行%1|b|c|d|e|f|g|h|i|j|127.0.0.1\r\n").arg(i));
        member->sendRaw(burst);
        member->close();
        QVERIFY(host.probe.waitForStatus(QStringLiteral("员连接断开")));
        QTRY_COMPARE_WITH_TIMEOUT(host.cell(61, 1), QStringLiteral("行60"), 20000);
        QCOMPARE(Computer::lastRow(host.info.workbookPath()), 61);
        for (int i = 1; i <= 60; ++i)
            QCOMPARE(host.cell(i + 1, 1), QStringLiteral("行%1").arg(i));
    }

    // A read-only MIS.xls is refused, and the status line says why; the file keeps every byte.
    void aReadOnlyWorkbookIsNotReplaced() {
        if (::geteuid() == 0)
            QSKIP("root writes read-only files; run as a normal user (the suite runs as nobody)");
        Computer pc(QStringLiteral("甲"));
        pc.record(kPump);
        QVERIFY(pc.waitUntilWritten());
        const QString path = pc.info.workbookPath();
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray before = TestFiles::read(path);
        pc.record(kValve);
        QVERIFY2(pc.tip.startsWith(QStringLiteral("未录入成功")) && pc.tip.contains(QStringLiteral("只读")),
                 qPrintable(pc.tip));
        QCOMPARE(pc.info.recordsWaiting(), 0);
        QCOMPARE(TestFiles::read(path), before);
        QCOMPARE(pc.info.storedRowList(), QStringLiteral("|2"));
        QVERIFY(!(QFileInfo(path).permissions() & QFile::WriteOwner));

        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        pc.record(kValve);
        QCOMPARE(pc.tip, QStringLiteral("录入成功"));
        QCOMPARE(pc.cell(3, 1), QStringLiteral("闸阀"));
    }

    void joiningThisComputerNeverUploads() {
        Computer host(QStringLiteral("主")), member(QStringLiteral("员"));
        member.record(kPump);
        const quint16 port = host.probe.startHosting();
        QVERIFY(member.probe.join(port));
        // An upload would go before this query; its answer marks that nothing came ahead of it.
        member.panel.txtQuery[0]->setText(QStringLiteral("泵"));
        member.info.cmdQuery_Click();
        QTRY_COMPARE(member.tip, QStringLiteral("0 条记录"));
        QCOMPARE(host.info.recordsWaiting(), 0);
        QVERIFY(!QFile::exists(host.info.workbookPath()));
        QCOMPARE(member.info.storedRowList(), QStringLiteral("|2"));
    }
};

QTEST_MAIN(TestInfoSystem)
#include "tst_infosystem.moc"
