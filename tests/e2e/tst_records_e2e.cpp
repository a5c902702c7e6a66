// Whole-program runs of record keeping as a user meets it: offline rows uploaded once on joining and
// never again, and a full disk that must cost no record and no setting.
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
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using tavlo::sheet::Application;

namespace {

// Reads GB18030 lines from a socket.
class LineReader {
public:
    explicit LineReader(QTcpSocket *socket)
        : m_socket(socket) {}

    // Waits until `count` lines have come (or the time is up) and returns what came.
    QStringList read(int count, int timeoutMs = 10000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (m_lines.size() < count && !deadline.hasExpired()) {
            m_socket->waitForReadyRead(100);
            m_pending += m_socket->readAll();
            for (qsizetype cut = m_pending.indexOf("\r\n"); cut >= 0; cut = m_pending.indexOf("\r\n")) {
                m_lines.append(tavlo::text::fromWire(m_pending.left(cut)));
                m_pending.remove(0, cut + 2);
            }
        }
        return m_lines;
    }

private:
    QTcpSocket *m_socket;
    QByteArray m_pending;
    QStringList m_lines;
};

void sendLine(QTcpSocket &socket, const QString &line) {
    socket.write(tavlo::text::toWire(line + QStringLiteral("\r\n")));
    socket.flush();
}

// The connection of a joining `tavlo` that announces itself; a probe that sends nothing is passed over.
std::unique_ptr<LineReader> acceptMember(QTcpServer &host, QTcpSocket **member) {
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (!host.waitForNewConnection(200))
            continue;
        QTcpSocket *candidate = host.nextPendingConnection();
        auto reader = std::make_unique<LineReader>(candidate);
        if (!reader->read(1, 5000).isEmpty()) {
            *member = candidate;
            return reader;
        }
    }
    return nullptr;
}

QString rowList(const QString &iniPath) {
    return tavlo::text::IniFile::load(iniPath).value(QStringLiteral("MIS"), QStringLiteral("RowList"));
}

const QString kPython = QStringLiteral("/usr/bin/python3");

// Column 1 of the first sheet as python3-xlrd reads it; one "<unreadable>" entry when it cannot.
QStringList firstColumn(const QString &path) {
    QProcess p;
    p.start(kPython, {QStringLiteral("-c"),
                      QStringLiteral("import sys, xlrd\n"
                                     "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                     "print('\\n'.join(str(v) for v in s.col_values(0)))\n"),
                      path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {QStringLiteral("<unreadable>")};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
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
    // goes, the next join sends the other half, and the join after that sends none.
    void offlineRowsAreUploadedOnceAndNeverAgain() {
        QTcpServer host;
        // 127.0.0.2 is this computer, but not the address a join treats as itself.
        QVERIFY(host.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        TavloProcess tavlo;
        constexpr int kRows = 120;
        constexpr int kAnswered = 60;
        {
            Application *app = Application::create();
            auto *book = app->Workbooks().Add();
            auto *sheet = book->Sheets(1);
            sheet->setValue(1, 1, QStringLiteral("物料名称"));
            for (int row = 2; row <= kRows + 1; ++row) {
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
        for (int row = 2; row <= kRows + 1; ++row) {
            rows += u'|' + QString::number(row);
            if (row > kAnswered + 1)
                unanswered += u'|' + QString::number(row);
        }
        QVERIFY(rows.size() > 255);
        const QString ini = tavlo.file(QStringLiteral("Tavlo.ini"));
        tavlo.writeFile(
            QStringLiteral("Tavlo.ini"),
            QStringLiteral("[Tavlo]\nPort=%1\nIP=127.0.0.2\nRecentID=甲\nConnectMode=0\nAutoConnect=1\n"
                           "RecentServer=False\n[MIS]\nRowList=%2\n")
                .arg(host.serverPort())
                .arg(rows)
                .toUtf8());
        QVERIFY(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));

        const auto answer = [](QTcpSocket *member, int count) {
            for (int i = 0; i < count; ++i)
                sendLine(*member, QStringLiteral("[记录结果]录入成功!"));
        };
        QVERIFY(tavlo.start());
        QTcpSocket *member = nullptr;
        std::unique_ptr<LineReader> reader = acceptMember(host, &member);
        QVERIFY(reader);
        QStringList lines = reader->read(kRows + 1, 60000);
        QCOMPARE(lines.size(), kRows + 1);
        QCOMPARE(lines[0], QStringLiteral("[加入]甲"));
        for (int i = 1; i <= kRows; ++i)
            QCOMPARE(lines[i], QStringLiteral("[记录]") + recordOf(i + 1));
        QCOMPARE(rowList(ini), rows);
        answer(member, kAnswered);
        QTRY_COMPARE_WITH_TIMEOUT(rowList(ini), unanswered, 10000);
        delete member; // the host goes before it answered the rest
        QCOMPARE(tavlo.terminate(), 0);
        QCOMPARE(rowList(ini), unanswered);
        QVERIFY(
            !(QFileInfo(ini).permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));

        QVERIFY(tavlo.start());
        reader = acceptMember(host, &member);
        QVERIFY(reader);
        lines = reader->read(kRows - kAnswered + 1, 60000);
        QCOMPARE(lines.size(), kRows - kAnswered + 1);
        for (int i = 1; i <= kRows - kAnswered; ++i)
            QCOMPARE(lines[i], QStringLiteral("[记录]") + recordOf(kAnswered + i + 1));
        answer(member, kRows - kAnswered);
        QTRY_VERIFY_WITH_TIMEOUT(rowList(ini).isEmpty(), 10000);
        QCOMPARE(tavlo.terminate(), 0);
        QVERIFY(rowList(ini).isEmpty());
        delete member;

        QVERIFY(tavlo.start());
        reader = acceptMember(host, &member);
        QVERIFY(reader);
        QCOMPARE(reader->read(2, 3000), QStringList{QStringLiteral("[加入]甲")});
        QCOMPARE(tavlo.terminate(), 0);
        delete member;
    }

    // The host is killed (SIGKILL) at random moments while a member records as fast as the answers
    // come: after every kill MIS.xls is readable by python3-xlrd, and once the program is back every
    // record that was answered "录入成功!" is in it, none twice, and no temporary file is left.
    void aKilledHostLosesNoAcknowledgedRecord() {
        if (!QFile::exists(kPython) ||
            QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import xlrd")}) != 0)
            QSKIP("needs /usr/bin/python3 with xlrd");
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
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
        tavlo.writeFile(QStringLiteral("Tavlo.ini"),
                        QStringLiteral("[Tavlo]\nPort=%1\nRecentID=主\nAutoConnect=1\nRecentServer=True\n")
                            .arg(port)
                            .toUtf8());
        QStringList acknowledged;
        int sent = 0;
        constexpr int kRounds = 4;
        for (int round = 0; round <= kRounds; ++round) {
            QVERIFY(tavlo.start());
            QTcpSocket client;
            QTRY_VERIFY_WITH_TIMEOUT(
                (client.connectToHost(QHostAddress::LocalHost, port), client.waitForConnected(500)), 60000);
            sendLine(client, QStringLiteral("[加入]甲"));
            LineReader reader(&client);
            QCOMPARE(reader.read(7, 60000).size(), 7);
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
                sendLine(client, QStringLiteral("[记录]%1|型|DN|期|2026|方|台|1|2|NC|127.0.0.9").arg(name));
                // Now and then the kill lands while the record is on its way.
                if (killAt.hasExpired() && QRandomGenerator::global()->bounded(2) == 0)
                    break;
                const QStringList lines = reader.read(++answered, 30000);
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
        const QString record =
            QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9");
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        {
            TavloProcess tavlo(disk.path());
            tavlo.writeFile(
                QStringLiteral("Tavlo.ini"),
                QStringLiteral("[Tavlo]\nPort=%1\nRecentID=主\nAutoConnect=1\nRecentServer=True\n")
                    .arg(port)
                    .toUtf8());
            QVERIFY(tavlo.start());
            QTcpSocket client;
            QTRY_VERIFY_WITH_TIMEOUT(
                (client.connectToHost(QHostAddress::LocalHost, port), client.waitForConnected(500)), 15000);
            sendLine(client, QStringLiteral("[加入]甲"));
            LineReader reader(&client);
            QCOMPARE(reader.read(7).size(), 7);
            sendLine(client, record);
            QCOMPARE(reader.read(8).value(7), QStringLiteral("[记录结果]录入成功!"));
            QCOMPARE(tavlo.terminate(), 0);
        }
        QVERIFY(disk.fill());
        const QByteArray workbook = TestFiles::read(disk.path() + QStringLiteral("/MIS.xls"));
        const QByteArray settings = TestFiles::read(disk.path() + QStringLiteral("/Tavlo.ini"));
        QVERIFY(!workbook.isEmpty());
        QVERIFY(settings.contains("RecentServer=True"));

        TavloProcess tavlo(disk.path());
        QVERIFY(tavlo.start());
        QTcpSocket client;
        QTRY_VERIFY_WITH_TIMEOUT(
            (client.connectToHost(QHostAddress::LocalHost, port), client.waitForConnected(500)), 15000);
        sendLine(client, QStringLiteral("[加入]甲"));
        LineReader reader(&client);
        QCOMPARE(reader.read(7).size(), 7);
        sendLine(client, record);
        QCOMPARE(reader.read(8).value(7), QStringLiteral("[记录结果]未录入成功!"));
        QCOMPARE(tavlo.terminate(), 0);
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
