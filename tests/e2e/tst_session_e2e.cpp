// Whole-program runs: a `tavlo` that hosts at start-up, and one that joins, each talking to a plain
// loopback socket that speaks the session's GB18030 lines.
#include "LineSocket.h"
#include "Python.h"
#include "TavloProcess.h"

#include "platform/text/TextCodec.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

#include <memory>
#include <vector>

namespace {

// Bytes the local end `socket` sent that its loopback peer (in another process) has not read yet,
// from the system's table of TCP sockets; -1 when the peer's socket is not found.
qint64 unreadByPeer(const QTcpSocket &socket) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    // The peer's entry: its local address is our peer address, its remote one ours.
    const auto hex = [](const QTcpSocket &s, bool local) {
        const quint32 address = (local ? s.localAddress() : s.peerAddress()).toIPv4Address();
        const quint16 port = local ? s.localPort() : s.peerPort();
        return QStringLiteral("%1:%2")
            .arg(qToBigEndian(address), 8, 16, QLatin1Char('0')) // the address's bytes in memory order
            .arg(port, 4, 16, QLatin1Char('0'))
            .toUpper();
    };
    const QString peerLocal = hex(socket, false), peerRemote = hex(socket, true);
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 4 && QString::fromLatin1(fields[1]) == peerLocal &&
            QString::fromLatin1(fields[2]) == peerRemote)
            return fields[4].split(':').value(1).toLongLong(nullptr, 16);
    }
    return -1;
}

// The size of a process's main-thread stack (what it has touched so far), or 0 where unknown.
qint64 stackBytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmStk:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

QString iniText(TavloProcess &tavlo) {
    return QString::fromUtf8(tavlo.readFile(QStringLiteral("Tavlo.ini")));
}

// A `tavlo` that hosts at start-up on a free loopback port, and a plain client that joined it as 甲.
struct Hosted {
    const quint16 port = freePort();
    TavloProcess tavlo;
    LineSocket client;
    bool start(const QString &settings = {}) {
        return tavlo.startHosting(port, settings) && client.join(port, QStringLiteral("甲"));
    }
};

} // namespace

class TestSessionEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void hostsAtStartUpAndAnswersAJoinInOrder() {
        Hosted run;
        QVERIFY(run.start(QStringLiteral("PlatformName=设计部\n")));
        const QStringList expected{
            "[加入]甲",
            "[清除ID列表]",
            "[人名]-000000001主",
            "[人名]0000000001甲",
            "[连接号]1",
            "[平台名称]设计部",
            "[定制信息]物料信息管理系统|物料名称|物料描述|型号与规格|应用项目|项目日期|品牌或厂家|单位|数量|"
            "价格(元)|NC 编码",
        };
        QCOMPARE(run.client.lines(), expected);

        QCOMPARE(run.tavlo.terminate(), 0);
        QVERIFY(iniText(run.tavlo).contains(QStringLiteral("RecentServer=True\n")));
        // Leaving closed the member's connection.
        QVERIFY(run.client.socket().state() != QAbstractSocket::ConnectedState ||
                run.client.socket().waitForDisconnected(5000));
    }

    void hostStoresRecordsAndAnswersQueriesOfAPlainClient() {
        Hosted run;
        QVERIFY(run.start());
        QCOMPARE(run.client.lines().size(), 7);

        run.client.send(
            QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9"));
        run.client.send(QStringLiteral("[记录]闸阀|Z41H|DN50|二期|2026|北方|个|3|80|NC02|127.0.0.9"));
        QCOMPARE(run.client.read(9).mid(7), (QStringList{"[记录结果]录入成功!", "[记录结果]录入成功!"}));
        run.client.send(QStringLiteral("[查询]泵||||||True|False|False"));
        QCOMPARE(run.client.read(11).mid(9),
                 (QStringList{"[查询条数] 1", "[查询]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01"}));
        QCOMPARE(run.tavlo.terminate(), 0);

        // Another reader of Excel files sees the header, the rows, and "0012" kept as text.
        if (!Python::has(QStringLiteral("xlrd")))
            QSKIP("python3-xlrd is not installed");
        const QStringList rows =
            QString::fromUtf8(
                Python::run(QStringLiteral(
                                "import sys, xlrd\n"
                                "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                "for r in range(s.nrows): print('|'.join(str(c.value) + ':' + str(c.ctype) "
                                "for c in s.row(r)))\n"),
                            {run.tavlo.file(QStringLiteral("MIS.xls"))}))
                .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows[0].startsWith(QStringLiteral("物料名称:1|物料描述:1|")));
        QVERIFY(rows[1].startsWith(
            QStringLiteral("离心泵:1|IS80:1|DN80:1|一期:1|2026:1|南方:1|台:1|0012:1|12500.5:1|")));
        QVERIFY(rows[2].startsWith(QStringLiteral("闸阀:1|")));
    }

    void clientsThatQueryAndLeaveOverAndOverCannotBringTheHostDown() {
        Hosted run;
        QVERIFY(run.start());
        LineSocket &first = run.client;
        first.send(QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|1|2|NC01|127.0.0.9"));
        QCOMPARE(first.read(8).value(7), QStringLiteral("[记录结果]录入成功!"));
        const qint64 stackBefore = stackBytes(run.tavlo.process().processId());

        // Twenty clients at a time: connect, join, ten queries, close; again and again.
        QByteArray burst = tavlo::text::toWire(QStringLiteral("[加入]x\r\n"));
        for (int i = 0; i < 10; ++i)
            burst += tavlo::text::toWire(QStringLiteral("[查询]a||||||False|False|False\r\n"));
        // Every other round the clients leave at once, the others once the host has taken their joins
        // (the first member hears of each).
        int rounds = 0;
        while (rounds < 16 && run.tavlo.process().state() == QProcess::Running) {
            const auto joins = [](const QStringList &lines) {
                return lines.count(QStringLiteral("[加入]x"));
            };
            const qsizetype joinsBefore = joins(first.lines());
            std::vector<std::unique_ptr<QTcpSocket>> clients;
            for (int i = 0; i < 20; ++i) {
                clients.push_back(std::make_unique<QTcpSocket>());
                clients.back()->connectToHost(QHostAddress::LocalHost, run.port);
            }
            for (auto &client : clients) {
                if (client->waitForConnected(2000)) {
                    client->write(burst);
                    client->flush();
                }
            }
            if (rounds % 2 == 1)
                first.readUntil([&](const QStringList &lines) { return joins(lines) >= joinsBefore + 20; });
            clients.clear();
            ++rounds;
        }
        QCOMPARE(run.tavlo.process().state(), QProcess::Running);
        QVERIFY(rounds > 10);
        // Its stack did not grow with the traffic (a nested wait per request would make it).
        const qint64 stackAfter = stackBytes(run.tavlo.process().processId());
        if (stackBefore > 0)
            QVERIFY2(stackAfter - stackBefore < 512 * 1024,
                     qPrintable(QStringLiteral("%1 -> %2").arg(stackBefore).arg(stackAfter)));

        // The first member is still served.
        first.send(QStringLiteral("[查询]泵||||||True|False|False"));
        QVERIFY(first.readUntilLine(QStringLiteral("[查询]离心泵|IS80|DN80|一期|2026|南方|台|1|2|NC01")));
        QCOMPARE(run.tavlo.terminate(), 0);
    }

    void aHostileMemberKnocksNobodyOffAndKeepsNobodyOut() {
        Hosted run;
        QVERIFY(run.start());
        LineSocket &member = run.client;
        QCOMPARE(member.lines().size(), 7);
        LineSocket attacker;
        QVERIFY(attacker.join(run.port, QStringLiteral("乙")));
        QVERIFY(attacker.lines().contains(QStringLiteral("[连接号]2")));

        // An ID of 17,000 bytes that are no GB18030 is refused.
        LineSocket longId;
        QVERIFY(longId.connectWhenListening(run.port));
        longId.socket().write(tavlo::text::toWire(QStringLiteral("[加入]")) + QByteArray(17000, '\xff') +
                              "\r\n");
        QVERIFY(longId.socket().state() != QAbstractSocket::ConnectedState ||
                longId.socket().waitForDisconnected(30000));
        // A line of 20,000 such bytes, and a whisper naming 甲 three thousand times.
        attacker.socket().write(tavlo::text::toWire(QStringLiteral("[消息]")) + QByteArray(20000, '\xff') +
                                "\r\n");
        attacker.send(QStringLiteral("[悄悄话]0000003000") + QStringLiteral("0000000001").repeated(3000) +
                      QStringLiteral("乙悄悄说：又来"));
        attacker.send(QStringLiteral("[消息]乙说： 完"));
        QVERIFY(member.readUntilLine(QStringLiteral("[消息]乙说： 完")));
        const QStringList all = member.lines();
        QCOMPARE(all.filter(QStringLiteral("[消息]")),
                 (QStringList{QStringLiteral("[消息]") + QString(20000, u'?'), "[消息]乙悄悄说：又来",
                              "[消息]乙说： 完"}));
        QCOMPARE(all.count(QStringLiteral("[通知]")), 1);

        // Forty connections that never join: a newcomer still gets in.
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < 40; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            silent.back()->connectToHost(QHostAddress::LocalHost, run.port);
            QVERIFY(silent.back()->waitForConnected(5000));
        }
        LineSocket late;
        QVERIFY(late.join(run.port, QStringLiteral("丙")));
        QCOMPARE(member.socket().state(), QAbstractSocket::ConnectedState);
        QCOMPARE(run.tavlo.terminate(), 0);
    }

    void joinsAtStartUpAndKeepsWhatTheHostSent() {
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        TavloProcess tavlo;
        tavlo.writeJoinSettings(QStringLiteral("127.0.0.1"), host.serverPort(),
                                QStringLiteral("PlatformName=本机\n"));
        QVERIFY(tavlo.start());
        const std::unique_ptr<LineSocket> member = LineSocket::acceptMember(host);
        QVERIFY(member);
        QCOMPARE(member->lines(), QStringList{"[加入]甲"});

        for (const char16_t *line :
             {u"[清除ID列表]", u"[人名]-000000001主", u"[人名]0000000003甲", u"[连接号]3",
              u"[平台名称]设计部", u"[定制信息]资产系统|名称|描述|型号|项目|日期|品牌|单位|数量|价格|编码"})
            member->send(QString::fromUtf16(line));
        // The program has read (and so handled) all of it.
        QTcpSocket &socket = member->socket();
        QVERIFY(socket.waitForBytesWritten(5000) || socket.bytesToWrite() == 0);
        QVERIFY(QTest::qWaitFor([&socket] { return unreadByPeer(socket) == 0; }, 60000));

        QCOMPARE(tavlo.terminate(), 0);
        const QString ini = iniText(tavlo);
        for (const char16_t *line :
             {u"PlatformName=设计部\n", u"RecentServer=False\n", u"IP=127.0.0.1\n", u"System=资产系统\n",
              u"Name=名称\n", u"Describe=描述\n", u"Model And Size=型号\n", u"Price=价格\n",
              u"NC Code=编码\n", u"Inputer=录入者\n"})
            QVERIFY2(ini.contains(QString::fromUtf16(line)), qPrintable(ini));
    }
};

QTEST_GUILESS_MAIN(TestSessionEndToEnd)
#include "tst_session_e2e.moc"
