// Whole-program runs: a `tavlo` that hosts at start-up, and one that joins, each talking to a plain
// loopback socket that speaks the session's GB18030 lines.
#include "TavloProcess.h"

#include "platform/text/TextCodec.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A free TCP port on this computer other than the default one.
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::AnyIPv4, 0);
    return probe.serverPort();
}

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
    const QStringList &lines() const { return m_lines; }
    // Reads until what came satisfies `done` (or the time is up); whether it does.
    bool readUntil(const std::function<bool(const QStringList &)> &done, int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!done(m_lines) && !deadline.hasExpired())
            read(int(m_lines.size()) + 1, int(qMax<qint64>(1, deadline.remainingTime())));
        return done(m_lines);
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

// Connects once the program listens on the port (it hosts when its event loop runs).
bool connectWhenListening(QTcpSocket &client, quint16 port) {
    return QTest::qWaitFor(
        [&] {
            client.abort();
            client.connectToHost(QHostAddress::LocalHost, port);
            return client.waitForConnected(500);
        },
        60000);
}

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

// Starts `tavlo` hosting on the port at start-up, with any further [Tavlo] keys given.
bool startHosting(TavloProcess &tavlo, quint16 port, const QString &moreKeys = {}) {
    tavlo.writeFile(QStringLiteral("Tavlo.ini"),
                    QStringLiteral("[Tavlo]\nPort=%1\nRecentID=主\nAutoConnect=1\nRecentServer=True\n%2")
                        .arg(port)
                        .arg(moreKeys)
                        .toUtf8());
    return tavlo.start();
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

} // namespace

class TestSessionEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void hostsAtStartUpAndAnswersAJoinInOrder() {
        const quint16 port = freePort();
        TavloProcess tavlo;
        QVERIFY(startHosting(tavlo, port, QStringLiteral("PlatformName=设计部\n")));

        QTcpSocket client;
        QVERIFY(connectWhenListening(client, port));

        sendLine(client, QStringLiteral("[加入]甲"));
        LineReader reader(&client);
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
        QCOMPARE(reader.read(expected.size()), expected);

        QCOMPARE(tavlo.terminate(), 0);
        QVERIFY(iniText(tavlo).contains(QStringLiteral("RecentServer=True\n")));
        // Leaving closed the member's connection.
        QVERIFY(client.state() != QAbstractSocket::ConnectedState || client.waitForDisconnected(5000));
    }

    void hostStoresRecordsAndAnswersQueriesOfAPlainClient() {
        const quint16 port = freePort();
        TavloProcess tavlo;
        QVERIFY(startHosting(tavlo, port));
        QTcpSocket client;
        QVERIFY(connectWhenListening(client, port));
        sendLine(client, QStringLiteral("[加入]甲"));
        LineReader reader(&client);
        QCOMPARE(reader.read(7).size(), 7);

        sendLine(client,
                 QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9"));
        sendLine(client, QStringLiteral("[记录]闸阀|Z41H|DN50|二期|2026|北方|个|3|80|NC02|127.0.0.9"));
        QCOMPARE(reader.read(9).mid(7), (QStringList{"[记录结果]录入成功!", "[记录结果]录入成功!"}));
        sendLine(client, QStringLiteral("[查询]泵||||||True|False|False"));
        QCOMPARE(reader.read(11).mid(9),
                 (QStringList{"[查询条数] 1", "[查询]离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01"}));
        QCOMPARE(tavlo.terminate(), 0);

        // Another reader of Excel files sees the header, the rows, and "0012" kept as text.
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("no python3 for the independent reader");
        QProcess xlrd;
        xlrd.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, xlrd\n"
                            "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                            "for r in range(s.nrows): print('|'.join(str(c.value) + ':' + str(c.ctype) "
                            "for c in s.row(r)))\n"),
             tavlo.file(QStringLiteral("MIS.xls"))});
        QVERIFY(xlrd.waitForFinished(30000));
        if (xlrd.exitCode() != 0 && xlrd.readAllStandardError().contains("No module named"))
            QSKIP("python3-xlrd is not installed");
        const QStringList rows =
            QString::fromUtf8(xlrd.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        QVERIFY(rows[0].startsWith(QStringLiteral("物料名称:1|物料描述:1|")));
        QVERIFY(rows[1].startsWith(
            QStringLiteral("离心泵:1|IS80:1|DN80:1|一期:1|2026:1|南方:1|台:1|0012:1|12500.5:1|")));
        QVERIFY(rows[2].startsWith(QStringLiteral("闸阀:1|")));
    }

    void clientsThatQueryAndLeaveOverAndOverCannotBringTheHostDown() {
        const quint16 port = freePort();
        TavloProcess tavlo;
        QVERIFY(startHosting(tavlo, port));
        QTcpSocket first;
        QVERIFY(connectWhenListening(first, port));
        sendLine(first, QStringLiteral("[加入]甲"));
        sendLine(first, QStringLiteral("[记录]离心泵|IS80|DN80|一期|2026|南方|台|1|2|NC01|127.0.0.9"));
        LineReader reader(&first);
        QCOMPARE(reader.read(8).value(7), QStringLiteral("[记录结果]录入成功!"));
        const qint64 stackBefore = stackBytes(tavlo.process().processId());

        // Twenty clients at a time: connect, join, ten queries, close; again and again.
        QByteArray burst = tavlo::text::toWire(QStringLiteral("[加入]x\r\n"));
        for (int i = 0; i < 10; ++i)
            burst += tavlo::text::toWire(QStringLiteral("[查询]a||||||False|False|False\r\n"));
        // Every other round the clients leave at once, the others once the host has taken their joins
        // (the first member hears of each).
        int rounds = 0;
        while (rounds < 16 && tavlo.process().state() == QProcess::Running) {
            const auto joins = [](const QStringList &lines) {
                return lines.count(QStringLiteral("[加入]x"));
            };
            const qsizetype joinsBefore = joins(reader.lines());
            std::vector<std::unique_ptr<QTcpSocket>> clients;
            for (int i = 0; i < 20; ++i) {
                clients.push_back(std::make_unique<QTcpSocket>());
                clients.back()->connectToHost(QHostAddress::LocalHost, port);
            }
            for (auto &client : clients) {
                if (client->waitForConnected(2000)) {
                    client->write(burst);
                    client->flush();
                }
            }
            if (rounds % 2 == 1)
                reader.readUntil([&](const QStringList &lines) { return joins(lines) >= joinsBefore + 20; });
            clients.clear();
            ++rounds;
        }
        QCOMPARE(tavlo.process().state(), QProcess::Running);
        QVERIFY(rounds > 10);
        // Its stack did not grow with the traffic (a nested wait per request would make it).
        const qint64 stackAfter = stackBytes(tavlo.process().processId());
        if (stackBefore > 0)
            QVERIFY2(stackAfter - stackBefore < 512 * 1024,
                     qPrintable(QStringLiteral("%1 -> %2").arg(stackBefore).arg(stackAfter)));

        // The first member is still served.
        sendLine(first, QStringLiteral("[查询]泵||||||True|False|False"));
        const QString row = QStringLiteral("[查询]离心泵|IS80|DN80|一期|2026|南方|台|1|2|NC01");
        QVERIFY(reader.readUntil([&row](const QStringList &lines) { return lines.contains(row); }));
        QCOMPARE(tavlo.terminate(), 0);
    }

    void aHostileMemberKnocksNobodyOffAndKeepsNobodyOut() {
        const quint16 port = freePort();
        TavloProcess tavlo;
        QVERIFY(startHosting(tavlo, port));
        QTcpSocket member;
        QVERIFY(connectWhenListening(member, port));
        sendLine(member, QStringLiteral("[加入]甲"));
        LineReader reader(&member);
        QCOMPARE(reader.read(7).size(), 7);
        QTcpSocket attacker;
        QVERIFY(connectWhenListening(attacker, port));
        sendLine(attacker, QStringLiteral("[加入]乙"));
        LineReader attackerReader(&attacker);
        QVERIFY(attackerReader.readUntil(
            [](const QStringList &lines) { return lines.contains(QStringLiteral("[连接号]2")); }));

        // An ID of 17,000 bytes that are no GB18030 is refused.
        QTcpSocket longId;
        QVERIFY(connectWhenListening(longId, port));
        longId.write(tavlo::text::toWire(QStringLiteral("[加入]")) + QByteArray(17000, '\xff') + "\r\n");
        QVERIFY(longId.state() != QAbstractSocket::ConnectedState || longId.waitForDisconnected(30000));
        // A line of 20,000 such bytes, and a whisper naming 甲 three thousand times.
        attacker.write(tavlo::text::toWire(QStringLiteral("[消息]")) + QByteArray(20000, '\xff') + "\r\n");
        sendLine(attacker, QStringLiteral("[悄悄话]0000003000") +
                               QStringLiteral("0000000001").repeated(3000) +
                               QStringLiteral("乙悄悄说：又来"));
        sendLine(attacker, QStringLiteral("[消息]乙说： 完"));
        QVERIFY(reader.readUntil(
            [](const QStringList &lines) { return lines.contains(QStringLiteral("[消息]乙说： 完")); }));
        const QStringList all = reader.lines();
        QCOMPARE(all.filter(QStringLiteral("[消息]")),
                 (QStringList{QStringLiteral("[消息]") + QString(20000, u'?'), "[消息]乙悄悄说：又来",
                              "[消息]乙说： 完"}));
        QCOMPARE(all.count(QStringLiteral("[通知]")), 1);

        // Forty connections that never join: a newcomer still gets in.
        std::vector<std::unique_ptr<QTcpSocket>> silent;
        for (int i = 0; i < 40; ++i) {
            silent.push_back(std::make_unique<QTcpSocket>());
            silent.back()->connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(silent.back()->waitForConnected(5000));
        }
        QTcpSocket late;
        QVERIFY(connectWhenListening(late, port));
        sendLine(late, QStringLiteral("[加入]丙"));
        LineReader lateReader(&late);
        QVERIFY(lateReader.readUntil(
            [](const QStringList &l) { return !l.filter(QStringLiteral("[定制信息]")).isEmpty(); }));
        QCOMPARE(member.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(tavlo.terminate(), 0);
    }

    void joinsAtStartUpAndKeepsWhatTheHostSent() {
        QTcpServer host;
        QVERIFY(host.listen(QHostAddress::LocalHost, 0));
        TavloProcess tavlo;
        tavlo.writeFile(QStringLiteral("Tavlo.ini"),
                        QStringLiteral("[Tavlo]\nPlatformName=本机\nPort=%1\nIP=127.0.0.1\nRecentID=甲\n"
                                       "ConnectMode=0\nAutoConnect=1\nRecentServer=False\n")
                            .arg(host.serverPort())
                            .toUtf8());
        QVERIFY(tavlo.start());

        // Where this system allows no echo, the join first probes the port with a connection that
        // sends nothing: take the connection that announces itself.
        QTcpSocket *member = nullptr;
        QStringList first;
        const QDeadlineTimer deadline(60000); // an instrumented build starting on a busy machine
        while (!member && !deadline.hasExpired()) {
            if (!host.waitForNewConnection(200))
                continue;
            QTcpSocket *candidate = host.nextPendingConnection();
            LineReader reader(candidate);
            first = reader.read(1, 5000);
            if (!first.isEmpty())
                member = candidate;
        }
        QVERIFY(member);
        QCOMPARE(first, QStringList{"[加入]甲"});

        for (const char16_t *line :
             {u"[清除ID列表]", u"[人名]-000000001主", u"[人名]0000000003甲", u"[连接号]3",
              u"[平台名称]设计部", u"[定制信息]资产系统|名称|描述|型号|项目|日期|品牌|单位|数量|价格|编码"})
            sendLine(*member, QString::fromUtf16(line));
        // The program has read (and so handled) all of it.
        QVERIFY(member->waitForBytesWritten(5000) || member->bytesToWrite() == 0);
        QVERIFY(QTest::qWaitFor([member] { return unreadByPeer(*member) == 0; }, 60000));

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
