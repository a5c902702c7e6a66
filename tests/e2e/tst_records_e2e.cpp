// Whole-program runs of record keeping as a user meets it: offline rows uploaded once on joining and
// never again, and a full disk that must cost no record and no setting.
#include "LineSocket.h"
#include "Python.h"
#include "TavloProcess.h"
#include "TestFiles.h"

#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/text/IniFile.h"
#include "platform/text/TextCodec.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using tavlo::sheet::Application;

namespace {

QString rowList(const QString &iniPath) {
    return tavlo::text::IniFile::load(iniPath).value(QStringLiteral("MIS"), QStringLiteral("RowList"));
}

// Column 1 of the first sheet as python3-xlrd reads it; one "<unreadable>" entry when it cannot.
QStringList firstColumn(const QString &path) {
    bool ok = false;
    const QByteArray column =
        Python::run(QStringLiteral("import sys, xlrd\n"
                                   "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                   "print('\\n'.join(str(v) for v in s.col_values(0)))\n"),
                    {path}, &ok);
    return ok ? QString::fromUtf8(column).split(u'\n', Qt::SkipEmptyParts) : QStringList{"<unreadable>"};
}

bool xlrdReads(const QString &path) {
    return !firstColumn(path).contains(QStringLiteral("<unreadable>"));
}

QString recordOf(int row) {
    return QStringLiteral("泵%1|型%1|DN%1|一期|2026|南方|台|%1|1.5|NC%1|127.0.0.9").arg(row);
}

// A tmpfs of its own, mounted for the test and gone with it.
class SmallDisk {
public:
    bool mount(const QString &size) {
        if (!m_folder.isValid())
            return false;
        m_mounted =
            QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                                        QStringLiteral("-o"), QStringLiteral("size=") + size,
                                                        QStringLiteral("tmpfs"), m_folder.path()}) == 0;
        return m_mounted;
    }
    ~SmallDisk() {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder.path()});
    }
    QString path() const { return m_folder.path(); }
    // Writes a filler file until the file system refuses another byte.
    bool fill() {
        QFile filler(m_folder.filePath(QStringLiteral("filler.bin")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        filler.write(QByteArray(1, 'f'));
        return filler.size() > 0;
    }

private:
    QTemporaryDir m_folder;
    bool m_mounted = false;
};

} // namespace

class TestRecordsEndToEnd : public QObject {
    Q_OBJECT

private slots:
    // 120 rows recorded offline, the settings file read-only as every run leaves it. A row leaves the
    // list only once the host answered "录入成功!" for it: the first host answers half of them and
    // goes, the next join sends the other half and the host answers all but the last, and the join after
    // that sends that last row alone: had a row answered before come again, it would have come first.
    void offlineRowsAreUploadedOnceAndNeverAgain() {
        QTcpServer host;
        // 127.0.0.2 is this computer, but not the address a join treats as itself.
        QVERIFY(host.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        TavloProcess tavlo;
        constexpr int kRows = 120;
        constexpr int kAnswered = 60;
        constexpr int kLast = kRows + 1;
        {
            Application *app = Application::create();
            auto *book = app->Workbooks().Add();
            auto *sheet = book->Sheets(1);
            sheet->setValue(1, 1, QStringLiteral("物料名称"));
            for (int row = 2; row <= kLast; ++row) {
                const QStringList fields = recordOf(row).split(u'|');
                for (int c = 0; c < fields.size(); ++c) {
                    sheet->setNumberFormat(row, c + 1, QStringLiteral("@"));
                    sheet->setValue(row, c + 1, fields[c]);
                }
            }
            QVERIFY(book->SaveAs(tavlo.file(QStringLiteral("MIS.xls"))));
            app->Quit();
        }
        QString rows, unanswered;
        for (int row = 2; row <= kLast; ++row) {
            rows += u'|' + QString::number(row);
            if (row > kAnswered + 1)
                unanswered += u'|' + QString::number(row);
        }
        QVERIFY(rows.size() > 255);
        const QString ini = tavlo.file(QStringLiteral("Tavlo.ini"));
        tavlo.writeJoinSettings(host.serverAddress().toString(), host.serverPort(),
                                QStringLiteral("[MIS]\nRowList=%1\n").arg(rows));
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        // Each run: the rows that come after the join, as many answers, and the list left in the end.
        const auto run = [&](int first, int count, int answers, const QString &left) {
            QVERIFY(tavlo.start());
            std::unique_ptr<LineSocket> member = LineSocket::acceptMember(host);
            QVERIFY(member);
            const QStringList lines = member->read(count + 1, 60000);
            QCOMPARE(lines.size(), count + 1);
            QCOMPARE(lines[0], QStringLiteral("[加入]甲"));
            for (int i = 1; i <= count; ++i)
                QCOMPARE(lines[i], QStringLiteral("[记录]") + recordOf(first + i - 1));
            for (int i = 0; i < answers; ++i)
                member->send(QStringLiteral("[记录结果]录入成功!"));
            QTRY_COMPARE_WITH_TIMEOUT(rowList(ini), left, 10000);
            member.reset(); // the host goes before it answered the rest
            QCOMPARE(tavlo.terminate(), 0);
            QCOMPARE(rowList(ini), left);
        };
        run(2, kRows, kAnswered, unanswered);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(
            !(QFileInfo(ini).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
        run(kAnswered + 2, kRows - kAnswered, kRows - kAnswered - 1, QStringLiteral("|%1").arg(kLast));
        if (QTest::currentTestFailed())
            return;
        run(kLast, 1, 1, QString());
    }

    // The host is killed (SIGKILL) at random moments while a member records as fast as the answers
    // come: after every kill MIS.xls is readable by python3-xlrd, and once the program is back every
    // record that was answered "录入成功!" is in it, none twice, and no temporary file is left.
    void aKilledHostLosesNoAcknowledgedRecord() {
        if (!Python::has(QStringLiteral("xlrd")))
            QSKIP("needs /usr/bin/python3 with xlrd");
        const quint16 port = freePort();
        TavloProcess tavlo;
        {
            // A workbook of some size, so that kills also land while it is being rewritten.
            Application *app = Application::create();
            auto *sheet = app->Workbooks().Add()->Sheets(1);
            for (int row = 1; row <= 3000; ++row) {
                sheet->setValue(row, 1, QStringLiteral("旧%1").arg(row));
                sheet->setValue(row, 2, QStringLiteral("型号%1").arg(row));
            }
            QVERIFY(sheet->workbook()->SaveAs(tavlo.file(QStringLiteral("MIS.xls"))));
            app->Quit();
        }
        QStringList acknowledged;
        int sent = 0;
        constexpr int kRounds = 4;
        for (int round = 0; round <= kRounds; ++round) {
            QVERIFY(round > 0 ? tavlo.start() : tavlo.startHosting(port));
            LineSocket client;
            QVERIFY(client.join(port, QStringLiteral("甲")));
            QCOMPARE(client.lines().size(), 7);
            // Back after a kill: everything acknowledged is in the workbook, once.
            const QStringList names = firstColumn(tavlo.file(QStringLiteral("MIS.xls")));
            for (const QString &name : std::as_const(acknowledged))
                QVERIFY2(names.count(name) == 1, qPrintable(name));
            QCOMPARE(
                QDir(tavlo.home()).entryList({QStringLiteral(".MIS.xls.*.tmp")}, QDir::Files | QDir::Hidden),
                QStringList());
            if (round == kRounds)
                break;

            const QDeadlineTimer killAt(QRandomGenerator::global()->bounded(200, 2500));
            int answered = 7;
            while (true) {
                const QString name = QStringLiteral("记%1").arg(++sent);
                client.send(QStringLiteral("[记录]%1|型|DN|期|2026|方|台|1|2|NC|127.0.0.9").arg(name));
                // Now and then the kill lands while the record is on its way.
                if (killAt.hasExpired() && QRandomGenerator::global()->bounded(2) == 0)
                    break;
                const QStringList lines = client.read(++answered, 30000);
                QCOMPARE(lines.size(), answered);
                QCOMPARE(lines.last(), QStringLiteral("[记录结果]录入成功!"));
                acknowledged << name;
                if (killAt.hasExpired())
                    break;
            }
            tavlo.process().kill();
            QVERIFY(tavlo.process().waitForFinished(20000));
            QVERIFY2(xlrdReads(tavlo.file(QStringLiteral("MIS.xls"))), "MIS.xls unreadable after a kill");
        }
        QVERIFY(!acknowledged.isEmpty());
        QCOMPARE(tavlo.terminate(), 0);
        // At a normal exit the workbook holds everything and the journal is gone.
        const QStringList names = firstColumn(tavlo.file(QStringLiteral("MIS.xls")));
        for (const QString &name : std::as_const(acknowledged))
            QCOMPARE(names.count(name), 1);
        // Neither the journal nor a temporary file is left.
        QCOMPARE(QDir(tavlo.home()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // Needs root: mounts a 1 MiB tmpfs as the data folder. A record that arrives once the disk is full
    // is answered "未录入成功!", and neither MIS.xls nor Tavlo.ini loses a byte, then or at exit.
    void aFullDiskLosesNoRecordAndNoSetting() {
        if (::geteuid() != 0)
            QSKIP("needs root to mount a small tmpfs (run by `make test` as root in its second pass)");
        SmallDisk disk;
        if (!disk.mount(QStringLiteral("1m")))
            QSKIP("cannot mount a tmpfs here");
        const quint16 port = freePort();
        // A record on a host, and its answer.
        const auto record = [port](TavloProcess &tavlo) {
            LineSocket client;
            if (!client.join(port, QStringLiteral("甲")) || client.lines().size() != 7)
                return QStringLiteral("no join");
            client.send(
                QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9"));
            const QString answer = client.read(8).value(7);
            return tavlo.terminate() == 0 ? answer : QStringLiteral("no normal exit");
        };
        {
            TavloProcess tavlo(disk.path());
            QVERIFY(tavlo.startHosting(port));
            QCOMPARE(record(tavlo), QStringLiteral("[记录结果]录入成功!"));
        }
        QVERIFY(disk.fill());
        const QByteArray workbook = TestFiles::read(disk.path() + QStringLiteral("/MIS.xls"));
        const QByteArray settings = TestFiles::read(disk.path() + QStringLiteral("/Tavlo.ini"));
        QVERIFY(!workbook.isEmpty());
        QVERIFY(settings.contains("RecentServer=True"));

        TavloProcess tavlo(disk.path());
        QVERIFY(tavlo.start());
        QCOMPARE(record(tavlo), QStringLiteral("[记录结果]未录入成功!"));
        QCOMPARE(TestFiles::read(disk.path() + QStringLiteral("/MIS.xls")), workbook);
        QCOMPARE(TestFiles::read(disk.path() + QStringLiteral("/Tavlo.ini")), settings);
        // No temporary file is left behind either.
        QStringList left = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral("MIS.xls"), QStringLiteral("Tavlo.ini"),
                                    QStringLiteral("filler.bin")}));
    }
};

QTEST_MAIN(TestRecordsEndToEnd)
#include "tst_records_e2e.moc"
