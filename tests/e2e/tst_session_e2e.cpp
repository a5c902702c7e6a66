// Whole-program runs: a `tavlo` that hosts at start-up, and one that joins, each talking to a plain
// loopback socket that speaks the session's GB18030 lines.
#include "TavloProcess.h"

#include "platform/text/TextCodec.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

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

private:
    QTcpSocket *m_socket;
    QByteArray m_pending;
    QStringList m_lines;
};

void sendLine(QTcpSocket &socket, const QString &line) {
    socket.write(tavlo::text::toWire(line + QStringLiteral("\r\n")));
    socket.flush();
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
        tavlo.writeFile(QStringLiteral("Tavlo.ini"),
                        QStringLiteral("[Tavlo]\nPlatformName=设计部\nPort=%1\nRecentID=主\nAutoConnect=1\n"
                                       "RecentServer=True\n")
                            .arg(port)
                            .toUtf8());
        QVERIFY(tavlo.start());

        // The program hosts once its event loop runs.
        QTcpSocket client;
        const QDeadlineTimer deadline(15000);
        for (;;) {
            client.connectToHost(QHostAddress::LocalHost, port);
            if (client.waitForConnected(500) || deadline.hasExpired())
                break;
            client.abort();
            QTest::qWait(100);
        }
        QCOMPARE(client.state(), QAbstractSocket::ConnectedState);

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
        const QDeadlineTimer deadline(20000);
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
        QTest::qWait(1000);

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
