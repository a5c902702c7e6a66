// The host role over loopback: joins, slot reuse, refusal, kicking, members leaving, the liveness check.
#include "SessionProbe.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

class TestHostRole : public QObject {
    Q_OBJECT

private slots:
    void hostingNeedsAnId() {
        SessionProbe host(QStringLiteral("   "));
        QSignalSpy focus(&host.session, &Session::idFocusRequested);
        host.session.host().cmdHost_Click();
        QCOMPARE(focus.size(), 1);
        QVERIFY(host.status.isEmpty());
        QCOMPARE(host.status_(), int(Session::Idle));
        QVERIFY(!host.session.controlsLocked());
    }

    void aPortInUseIsReportedAndHostingDoesNotStart() {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        SessionProbe host(QStringLiteral("主"));
        host.config.port = squatter.serverPort();
        host.session.host().cmdHost_Click();
        QCOMPARE(host.status,
                 QStringList{QStringLiteral("端口 %1 已被占用，主机未建立").arg(squatter.serverPort())});
        QVERIFY(!host.session.isHost());
        QVERIFY(!host.session.controlsLocked());
        QCOMPARE(host.status_(), int(Session::Idle));
        QVERIFY(!host.session.host().tmrShutdown->isActive());

        // Another port works at once.
        host.config.port = 0;
        host.session.host().cmdHost_Click();
        QCOMPARE(host.status.last(), QStringLiteral("主机建立"));
        QCOMPARE(host.status_(), int(Session::HostingAlone));
        QVERIFY(host.session.controlsLocked());
        QCOMPARE(host.captions.last(), QStringLiteral("平台 - 主"));
        QVERIFY(host.session.host().tmrShutdown->isActive());
        QCOMPARE(host.session.host().tmrShutdown->interval(), 60000);
        // While hosting a second click does nothing.
        host.session.host().cmdHost_Click();
        QCOMPARE(host.status.size(), 2);
    }

    void closedSlotsAreReusedAndClosesAreBroadcast() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this);
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this);
        LoopbackPeer *c = joinRaw(host, port, QStringLiteral("丙"), this);
        QVERIFY(a && b && c);
        QCOMPARE(host.status_(), int(Session::HostingWithMembers));
        a->takeLines();
        c->takeLines();

        b->close();
        QVERIFY(host.waitForStatus(QStringLiteral("乙连接断开")));
        QVERIFY(a->waitForLines(1));
        QVERIFY(c->waitForLines(1));
        QCOMPARE(a->takeLines(), QStringList{"[连接断开]0000000002"});
        QCOMPARE(c->takeLines(), QStringList{"[连接断开]0000000002"});
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "3:丙"}));

        // The next member takes the lowest closed slot.
        LoopbackPeer *d = joinRaw(host, port, QStringLiteral("丁"), this);
        QVERIFY(d);
        QVERIFY(d->lines().contains(QStringLiteral("[连接号]2")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "3:丙", "2:丁"}));
        QCOMPARE(host.session.sockets().slotCount(), 3);

        // A connection that closes before joining goes silently.
        LoopbackPeer e(new QTcpSocket);
        QVERIFY(e.connectTo(port));
        QTRY_COMPARE(host.session.sockets().slotCount(), 4);
        const int lines = host.status.size();
        e.close();
        QTRY_VERIFY(host.session.sockets().isSlotClosed(4));
        QTest::qWait(50);
        QCOMPARE(host.status.size(), lines);
    }

    void aBlackListedMemberIsRefusedAndTheOthersAreTold() {
        SessionProbe host(QStringLiteral("主"));
        host.config.blackList = {QStringLiteral("127.0.0.7")};
        const quint16 port = host.startHosting();
        SessionProbe member(QStringLiteral("甲"));
        QVERIFY(member.join(port));

        auto *refused = new LoopbackPeer(new QTcpSocket, this);
        QVERIFY(refused->connectTo(port, QStringLiteral("127.0.0.7")));
        refused->send(QStringLiteral("[加入]丙"));
        QVERIFY(refused->waitForClose());
        QVERIFY(host.waitForStatus(QStringLiteral("拒绝丙")));
        QCOMPARE(host.status, (QStringList{"主机建立", "甲加入", "丙加入", "拒绝丙"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QCOMPARE(host.members().selectedCount(), 0);
        // The refused one got the join reply the queue delivered before its slot closed.
        QVERIFY(!refused->lines().isEmpty());
        QCOMPARE(refused->lines().first(), QStringLiteral("[加入]丙"));

        QVERIFY(member.waitForStatus(QStringLiteral("拒绝丙")));
        QCOMPARE(member.status, (QStringList{"正在连接... ...", "甲加入", "丙加入", "拒绝丙"}));
        QCOMPARE(member.memberNames(), (QStringList{"-1:主", "1:甲"}));
        // The refused member's own close is not announced again.
        QTest::qWait(100);
        QVERIFY(!member.received.contains(QStringLiteral("主机: [连接断开]0000000002")));
    }

    void twoMembersKickedAtOnce() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        QList<LoopbackPeer *> peers;
        for (const char16_t *id : {u"甲", u"乙", u"丙", u"丁"}) {
            peers.append(joinRaw(host, port, QString::fromUtf16(id), this));
            QVERIFY(peers.last());
        }
        for (LoopbackPeer *p : peers)
            p->takeLines();
        host.members().setSelected(host.members().positionOf(2), true);
        host.members().setSelected(host.members().positionOf(3), true);
        host.members().setSelected(0, true); // the host's own entry is never kicked
        host.session.host().cmdKick_Click();

        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "4:丁"}));
        QCOMPARE(host.status.mid(5), (QStringList{"逐出丙", "逐出乙"}));
        QCOMPARE(host.members().selectedCount(), 0);
        QVERIFY(peers[1]->waitForClose());
        QVERIFY(peers[2]->waitForClose());
        for (LoopbackPeer *p : {peers[0], peers[3]}) {
            QVERIFY(p->waitForLines(2));
            QCOMPARE(p->takeLines(), (QStringList{"[逐出]0000000003", "[逐出]0000000002"}));
        }
        QVERIFY(peers[1]->lines().isEmpty());
        QVERIFY(peers[2]->lines().isEmpty());
        // Their closes come back as slot closes of members already gone: nothing more is said.
        QTest::qWait(100);
        QCOMPARE(host.status.size(), 7);
    }

    void aMemberOnlyLearnsItHasNoHostPrivilege() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        SessionProbe member(QStringLiteral("甲"));
        QVERIFY(member.join(port));
        member.members().setSelected(0, true);
        member.session.host().cmdKick_Click();
        QCOMPARE(member.tips, QStringList{"主机特权"});
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
    }

    void theHostLeaving() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        SessionProbe a(QStringLiteral("甲"));
        SessionProbe b(QStringLiteral("乙"));
        QVERIFY(a.join(port));
        QVERIFY(b.join(port));
        QVERIFY(a.session.controlsLocked());

        host.session.cmdDisconnect_Click();
        QCOMPARE(host.status.last(), QStringLiteral("连接断开"));
        QVERIFY(!host.session.isHost());
        QVERIFY(!host.session.controlsLocked());
        QCOMPARE(host.status_(), int(Session::Idle));
        QCOMPARE(host.members().count(), 0);
        QVERIFY(host.session.searchStopped());
        QVERIFY(!host.session.host().tmrShutdown->isActive());
        QCOMPARE(host.captions.last(), QStringLiteral("平台"));

        for (SessionProbe *m : {&a, &b}) {
            QVERIFY(m->waitForStatus(QStringLiteral("连接断开")));
            QCOMPARE(m->members().count(), 0);
            QVERIFY(!m->session.controlsLocked());
            QCOMPARE(m->status_(), int(Session::Idle));
            QCOMPARE(m->session.ownNumber(), 0);
        }
    }

    void livenessCheckDropsMembersThatStopAnswering() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this, QStringLiteral("127.0.0.5"));
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this, QStringLiteral("127.0.0.6"));
        LoopbackPeer *c = joinRaw(host, port, QStringLiteral("丙"), this, QStringLiteral("127.0.0.8"));
        QVERIFY(a && b && c);
        a->takeLines();
        host.echo.insert(QStringLiteral("127.0.0.6"), modPing::Echo::Silent);
        host.pinged.clear();

        host.session.host().tmrShutdown_Timer();
        QCOMPARE(host.pinged, (QStringList{"127.0.0.5", "127.0.0.6", "127.0.0.8"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "3:丙"}));
        QCOMPARE(host.status.last(), QStringLiteral("乙连接断开"));
        QVERIFY(b->waitForClose());
        QVERIFY(a->waitForLines(1));
        QCOMPARE(a->takeLines(), QStringList{"[连接断开]0000000002"});
    }

    void livenessCheckSurvivesMembersLeavingDuringTheWalk() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        QList<LoopbackPeer *> peers;
        for (int i = 1; i <= 4; ++i) {
            peers.append(joinRaw(host, port, QStringLiteral("m%1").arg(i), this,
                                 QStringLiteral("127.0.0.%1").arg(10 + i)));
            QVERIFY(peers.last());
        }
        host.pinged.clear();
        // While the first member is pinged (the event loop runs), members 2 and 3 go; member 4 is silent.
        host.session.setPinger([&](const QString &address) {
            host.pinged.append(address);
            if (address == QLatin1String("127.0.0.11")) {
                host.session.host().sckConnection_Close(2);
                peers[2]->close();
                QTest::qWait(100);
            }
            return address == QLatin1String("127.0.0.14") ? modPing::Echo::Silent : modPing::Echo::Answered;
        });
        host.session.host().tmrShutdown_Timer();
        QCOMPARE(host.pinged, (QStringList{"127.0.0.11", "127.0.0.14"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:m1"}));
        QCOMPARE(host.status.mid(5), (QStringList{"m2连接断开", "m3连接断开", "m4连接断开"}));
    }

    void withoutEchoTheConnectionStateDecidesAndThatIsSaidOnce() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this);
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this);
        QVERIFY(a && b);
        host.session.setPinger([](const QString &) { return modPing::Echo::Unavailable; });
        host.session.host().tmrShutdown_Timer();
        host.session.host().tmrShutdown_Timer();
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "2:乙"}));
        const QString note =
            QStringLiteral("本机不能发送 ICMP 回显：查找主机改为试连端口，成员检测改看连接状态");
        QCOMPARE(host.status.count(note), 1);
    }

    void memberListTooltipShowsTheOneSelectedAddress() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        QVERIFY(joinRaw(host, port, QStringLiteral("甲"), this, QStringLiteral("127.0.0.9")));
        HostRole &role = host.session.host();
        QCOMPARE(role.selectedAddressTip(), QString());
        host.members().setSelected(1, true);
        QCOMPARE(role.selectedAddressTip(), QStringLiteral("127.0.0.9"));
        host.members().setSelected(0, true);
        QCOMPARE(role.selectedAddressTip(), QString());
        host.members().setSelected(1, false);
        QCOMPARE(role.selectedAddressTip(), QStringLiteral("127.0.0.1"));
    }

    void linesQueuedForAClosedSlotGoToItsNextMember() {
        SessionProbe host(QStringLiteral("主"));
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this);
        QVERIFY(a);
        a->close();
        QVERIFY(host.waitForStatus(QStringLiteral("甲连接断开")));
        host.session.QueueMessage(QStringLiteral("[消息]留言"), 1);
        QTest::qWait(30);
        QCOMPARE(host.session.queue().entries().size(), 1);
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this);
        QVERIFY(b);
        QCOMPARE(b->lines().first(), QStringLiteral("[消息]留言"));
        QCOMPARE(b->lines().at(1), QStringLiteral("[加入]乙"));
    }
};

QTEST_MAIN(TestHostRole)
#include "tst_hostrole.moc"
