// The member role over loopback: manual join and VIP search, failures, leaving every state, and what
// the host's replies change.
#include "SessionProbe.h"

#include "platform/net/IcmpEcho.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// A port on 127.0.0.1 where nothing listens.
quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

class TestMemberRole : public QObject {
    Q_OBJECT

private slots:
    void manualJoinAnnouncesItselfAndTakesTheHostsNames() {
        HostProbe host(QStringLiteral("设计部"));
        SessionProbe member(QStringLiteral("甲"), QStringLiteral("本机"));
        member.aimAt(host.port);
        QSignalSpy upload(&member.session, &Session::uploadLocalRecordsRequested);
        QSignalSpy chosen(&member.session, &Session::serverAddressChosen);

        member.session.member().cmdConnect_Click(); // the join line goes after two seconds
        QTRY_COMPARE(member.session.ownNumber(), 1);
        QVERIFY(member.sent.contains(QStringLiteral("主机: [加入]甲")));
        QCOMPARE(member.status, (QStringList{"正在连接... ...", "甲加入"}));
        QCOMPARE(member.platformNames, QStringList{"设计部"});
        QCOMPARE(member.session.platformName(), QStringLiteral("设计部"));
        QTRY_COMPARE(member.captions.last(), QStringLiteral("设计部 - 甲"));
        QTRY_COMPARE(member.handled, QStringList{"[定制信息]系统|名|述|型|项|日|牌|单|数|价|码"});
        QCOMPARE(member.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QCOMPARE(member.status_(), int(Session::Connected));
        QVERIFY(member.session.controlsLocked());
        // The host on this computer: no upload of local records.
        QCOMPARE(upload.size(), 0);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(member.pinged, QStringList{"127.0.0.1"});

        // Joining twice is impossible while the controls are locked; the panel disables the button.
        // Leaving: the platform name stays the host's.
        member.session.cmdDisconnect_Click();
        QCOMPARE(member.status.last(), QStringLiteral("连接断开"));
        QCOMPARE(member.session.platformName(), QStringLiteral("设计部"));
        QCOMPARE(member.captions.last(), QStringLiteral("设计部"));
        QVERIFY(host.waitForStatus(QStringLiteral("甲连接断开")));
    }

    void manualJoinToARefusingPortFails() {
        SessionProbe member(QStringLiteral("甲"));
        member.aimAt(closedPort());
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.status, (QStringList{"正在连接... ...", "连接失败"}));
        QVERIFY(!member.session.controlsLocked());
        QCOMPARE(member.status_(), int(Session::Idle));
        QVERIFY(member.session.queue().isEmpty());
    }

    void manualJoinToASilentAddressCanBeLeft() {
        SessionProbe member(QStringLiteral("甲"));
        member.config.port = closedPort();
        member.echo.insert(QStringLiteral("127.0.0.4"), modPing::Echo::Silent);
        member.session.setAddress(QStringLiteral("127.0.0.4"));
        member.session.member().cmdConnect_Click();
        // No connection was started: the join waits, as it always did, with the controls locked ...
        QCOMPARE(member.status, QStringList{"正在连接... ..."});
        QCOMPARE(member.status_(), int(Session::Idle));
        QVERIFY(member.session.controlsLocked());
        // ... but the user can leave.
        member.session.cmdDisconnect_Click();
        QCOMPARE(member.status.last(), QStringLiteral("连接断开"));
        QVERIFY(!member.session.controlsLocked());
        QVERIFY(member.session.queue().isEmpty());
        // A computer name never connects.
        member.session.setAddress(QStringLiteral("server"));
        member.pinged.clear();
        member.session.member().TryConnect(QStringLiteral("server"));
        QVERIFY(member.pinged.isEmpty());
        QCOMPARE(member.status_(), int(Session::Idle));
    }

    void theConnectingStateCanBeLeft() {
        // A listener whose accept queue is full leaves a new connection waiting in the connecting state.
        QTcpServer full;
        full.setListenBacklogSize(0);
        QVERIFY(full.listen(QHostAddress::LocalHost, 0));
        full.pauseAccepting();
        QList<QTcpSocket *> fillers;
        for (int i = 0; i < 3; ++i) {
            fillers.append(new QTcpSocket(this));
            fillers.last()->connectToHost(QHostAddress::LocalHost, full.serverPort());
        }
        // The queue is full once one of them got in.
        (void)QTest::qWaitFor([&] {
            return std::any_of(fillers.cbegin(), fillers.cend(),
                               [](QTcpSocket *f) { return f->state() == QAbstractSocket::ConnectedState; });
        });

        SessionProbe member(QStringLiteral("甲"));
        member.aimAt(full.serverPort());
        member.session.member().cmdConnect_Click();
        if (member.status_() != Session::Connecting)
            QSKIP("this system completes connections to a full listener");
        // After the join's wait, the join line waits for the connection.
        QTRY_COMPARE(member.session.queue().entries().size(), 1);
        member.session.cmdDisconnect_Click();
        QCOMPARE(member.status, (QStringList{"正在连接... ...", "连接断开"}));
        QCOMPARE(member.status_(), int(Session::Idle));
        QVERIFY(!member.session.controlsLocked());
        QVERIFY(member.session.queue().isEmpty());
    }

    void theErrorStateCanBeLeft() {
        SessionProbe member(QStringLiteral("甲"));
        member.config.port = closedPort();
        member.session.member().TryConnect(QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(member.status_(), int(Session::Failed));
        member.session.cmdDisconnect_Click();
        QCOMPARE(member.status, QStringList{"连接断开"});
        QCOMPARE(member.status_(), int(Session::Idle));
        // In state 0 with the controls free the button does nothing.
        member.session.cmdDisconnect_Click();
        QCOMPARE(member.status.size(), 1);
    }

    void leavingDuringTheJoinWaitCallsTheJoinOff() {
        HostProbe host;
        SessionProbe member(QStringLiteral("甲"));
        member.aimAt(host.port);
        QTimer::singleShot(300, &member.session, &Session::cmdDisconnect_Click);
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.status, (QStringList{"正在连接... ...", "连接断开"}));
        QVERIFY(!member.session.member().isJoining());
        QVERIFY(member.session.queue().isEmpty());
        QVERIFY(!member.session.controlsLocked());
        // Another member joining after it is the marker: the host heard that join and no other.
        SessionProbe other(QStringLiteral("乙"));
        QVERIFY(other.join(host.port));
        QCOMPARE(host.status.filter(QStringLiteral("加入")), QStringList{"乙加入"});
    }

    void leavingOrHostingDuringTheEchoWaitCallsTheJoinOff() {
        HostProbe host;
        SessionProbe member(QStringLiteral("甲"));
        member.aimAt(host.port);
        // The user presses "断开" while the join's echo is on its way.
        member.session.setPinger([&](const QString &) {
            member.session.cmdDisconnect_Click();
            return modPing::Echo::Answered;
        });
        member.session.member().cmdConnect_Click();
        QCOMPARE(member.status, (QStringList{"正在连接... ...", "连接断开"}));
        // Another member joining after it is the marker: the only connection the host ever had.
        SessionProbe other(QStringLiteral("乙"));
        QVERIFY(other.join(host.port));
        QCOMPARE(host.session.sockets().slotCount(), 1);
        QCOMPARE(member.status_(), int(Session::Idle));
        QVERIFY(!member.session.controlsLocked());
        QVERIFY(member.session.queue().isEmpty());

        // Searching, the user leaves and sets up a host during the echo: hosting only, never joined too.
        member.config.connectMode = 1;
        member.config.vipList = {QStringLiteral("127.0.0.1")};
        member.session.setPinger([&](const QString &) {
            member.session.cmdDisconnect_Click();
            member.config.port = 0; // a port of its own to host on
            member.session.host().cmdHost_Click();
            member.config.port = host.port;
            return modPing::Echo::Answered;
        });
        member.session.member().cmdConnect_Click();
        SessionProbe third(QStringLiteral("丙"));
        QVERIFY(third.join(host.port));
        QCOMPARE(host.session.sockets().slotCount(), 2); // 乙 and 丙, never 甲
        QVERIFY(member.session.isHost());
        QCOMPARE(member.status_(), int(Session::HostingAlone));
        QCOMPARE(member.session.sockets().memberState(), QAbstractSocket::UnconnectedState);
        QVERIFY(!member.status.contains(QStringLiteral("连接失败")));
    }

    void searchJoinsTheSecondVipWhenTheFirstIsSilent() {
        SessionProbe host(QStringLiteral("主"));
        host.session.sockets().setListenAddress(QHostAddress(QStringLiteral("127.0.0.3")));
        const quint16 port = host.startHosting();
        SessionProbe member(QStringLiteral("甲"));
        member.config.port = port;
        member.config.connectMode = 1;
        member.config.vipList = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")};
        member.echo.insert(QStringLiteral("127.0.0.2"), modPing::Echo::Silent);
        QSignalSpy upload(&member.session, &Session::uploadLocalRecordsRequested);
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.session.address(), QStringLiteral("127.0.0.3"));
        QCOMPARE(member.pinged, (QStringList{"127.0.0.2", "127.0.0.3"}));
        QTRY_COMPARE(member.session.ownNumber(), 1);
        // 127.0.0.3 is not this member's own address nor 127.0.0.1: another computer, as far as it knows.
        QCOMPARE(upload.size(), 1);

        // Leaving stops searches; the next search starts afresh and walks the whole list again.
        member.session.cmdDisconnect_Click();
        QVERIFY(member.session.searchStopped());
        member.pinged.clear();
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.session.ownNumber(), 1);
        QCOMPARE(member.pinged, (QStringList{"127.0.0.2", "127.0.0.3"}));
    }

    void searchWithRealEchoesSkipsAnAddressWithoutHost() {
        if (tavlo::net::AvailableEchoMethod() == tavlo::net::EchoMethod::Unavailable)
            QSKIP("this system forbids ICMP sockets");
        SessionProbe host(QStringLiteral("主"));
        host.session.sockets().setListenAddress(QHostAddress(QStringLiteral("127.0.0.3")));
        const quint16 port = host.startHosting();
        SessionProbe member(QStringLiteral("甲"));
        member.session.setPinger({}); // the system's echo
        member.config.port = port;
        member.config.connectMode = 1;
        // 127.0.0.2 answers the echo but nothing listens there.
        member.config.vipList = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")};
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.session.address(), QStringLiteral("127.0.0.3"));
        QTRY_COMPARE(member.session.ownNumber(), 1);
    }

    void searchWithoutAnswerFails() {
        SessionProbe member(QStringLiteral("甲"));
        member.config.port = closedPort();
        member.config.connectMode = 1;
        member.config.vipList = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")};
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.status, (QStringList{"正在连接... ...", "连接失败"}));
        QCOMPARE(member.pinged.size(), 2);
        QCOMPARE(member.session.address(), QString());
        QVERIFY(!member.session.controlsLocked());

        member.config.vipList.clear();
        member.session.member().cmdConnect_Click();
        QCOMPARE(member.status.last(), QStringLiteral("连接失败"));
    }

    void withoutEchoAJoinProbesThePlatformPort() {
        HostProbe host;
        SessionProbe member(QStringLiteral("甲"));
        member.session.setPinger([](const QString &) { return modPing::Echo::Unavailable; });
        QVERIFY(member.join(host.port));
        const QString note =
            QStringLiteral("本机不能发送 ICMP 回显：查找主机改为试连端口，成员检测改看连接状态");
        QCOMPARE(member.status.first(), QStringLiteral("正在连接... ..."));
        QCOMPARE(member.status.count(note), 1);
        // The probe's own connection came and went without a word on the host.
        QCOMPARE(host.status, (QStringList{"主机建立", "甲加入"}));

        member.session.cmdDisconnect_Click();
        member.config.port = closedPort();
        member.session.member().cmdConnect_Click();
        QTRY_COMPARE(member.status.last(), QStringLiteral("连接失败"));
        QCOMPARE(member.status.count(note), 1);
    }

    void aKickedMemberOnlySeesItsConnectionEnd() {
        HostProbe host;
        SessionProbe member(QStringLiteral("甲"));
        QVERIFY(member.join(host.port));
        host.members().setSelected(1, true);
        host.session.host().cmdKick_Click();
        QVERIFY(member.waitForStatus(QStringLiteral("连接断开")));
        QCOMPARE(member.status, (QStringList{"正在连接... ...", "甲加入", "连接断开"}));
        QCOMPARE(member.members().count(), 0);
        QVERIFY(!member.session.controlsLocked());
        QCOMPARE(member.captions.last(), QStringLiteral("平台"));
    }

    void resetDropsWhatWasQueuedAndTheJoinLineWaitsForTheConnection() {
        LoopbackHost fakeHost;
        SessionProbe member(QStringLiteral("甲"));
        member.config.port = fakeHost.port();
        member.session.QueueToHost(QStringLiteral("[消息]旧"));
        member.session.ResetSession();
        member.session.QueueToHost(QStringLiteral("[加入]甲"));
        QTRY_VERIFY(!member.session.queue().isPumping());
        member.session.member().TryConnect(QStringLiteral("127.0.0.1"));
        QVERIFY(fakeHost.waitForPeer());
        LoopbackPeer *h = fakeHost.peers().first();
        QVERIFY(h->waitForLines(1));
        // A line queued now leaves after anything queued before it.
        member.session.QueueToHost(QStringLiteral("[画笔]0"));
        QVERIFY(h->waitForLines(2));
        QCOMPARE(h->lines(), (QStringList{"[加入]甲", "[画笔]0"}));
        QCOMPARE(member.sent, (QStringList{"主机: [加入]甲", "主机: [画笔]0"}));
    }

    void anOverlongLineFromTheHostEndsTheConnection() {
        LoopbackHost fakeHost;
        SessionProbe member(QStringLiteral("甲"));
        member.session.sockets().setMaxLineBytes(100);
        member.config.port = fakeHost.port();
        member.config.connectMode = 1;
        member.config.vipList = {QStringLiteral("127.0.0.1")};
        member.session.member().cmdConnect_Click();
        QVERIFY(fakeHost.waitForPeer());
        LoopbackPeer *h = fakeHost.peers().first();
        h->send(QStringLiteral("[人名]0000000007七"));
        h->sendRaw(QByteArray(300, 'x'));
        QVERIFY(member.waitForStatus(QStringLiteral("连接断开")));
        QVERIFY(member.status.contains(QStringLiteral("主机发来的一行超过 100 字节，连接已断开")));
        QCOMPARE(member.members().count(), 0);
        QVERIFY(!member.session.controlsLocked());
        QVERIFY(h->waitForClose());
    }
};

QTEST_MAIN(TestMemberRole)
#include "tst_memberrole.moc"
