// The host role over loopback: joins, slot reuse, refusal, kicking, members leaving, the liveness check.
#include "Python.h"
#include "SessionProbe.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#endif

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
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this);
        LoopbackPeer *c = joinRaw(host, QStringLiteral("丙"), this);
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
        LoopbackPeer *d = joinRaw(host, QStringLiteral("丁"), this);
        QVERIFY(d);
        QVERIFY(d->lines().contains(QStringLiteral("[连接号]2")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "3:丙", "2:丁"}));
        QCOMPARE(host.session.sockets().slotCount(), 3);

        // A connection that closes before joining goes silently.
        LoopbackPeer e(new QTcpSocket);
        QVERIFY(e.connectTo(host.port));
        QTRY_COMPARE(host.session.sockets().slotCount(), 4);
        const int lines = host.status.size();
        e.close();
        QTRY_VERIFY(host.session.sockets().isSlotClosed(4));
        d->send(QStringLiteral("[画笔]0"));
        QVERIFY(QTest::qWaitFor([d] { return d->lines().contains(QStringLiteral("[画笔]0")); }));
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
        // The refused member's own close is not announced again: not before a line sent after it.
        host.session.SendToAllMembers(QStringLiteral("[画笔]1"));
        QVERIFY(QTest::qWaitFor([&] { return member.handled.contains(QStringLiteral("[画笔]1")); }));
        QVERIFY(!member.received.contains(QStringLiteral("主机: [连接断开]0000000002")));
    }

    void twoMembersKickedAtOnce() {
        HostProbe host;
        QList<LoopbackPeer *> peers;
        for (const char16_t *id : {u"甲", u"乙", u"丙", u"丁"}) {
            peers.append(joinRaw(host, QString::fromUtf16(id), this));
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
        peers[0]->send(QStringLiteral("[画笔]0"));
        QVERIFY(QTest::qWaitFor([&] { return peers[0]->lines().contains(QStringLiteral("[画笔]0")); }));
        QCOMPARE(host.status.size(), 7);
    }

    void aMemberOnlyLearnsItHasNoHostPrivilege() {
        HostProbe host;
        SessionProbe member(QStringLiteral("甲"));
        QVERIFY(member.join(host.port));
        member.members().setSelected(0, true);
        member.session.host().cmdKick_Click();
        QCOMPARE(member.tips, QStringList{"主机特权"});
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
    }

    void theHostLeaving() {
        HostProbe host;
        SessionProbe a(QStringLiteral("甲"));
        SessionProbe b(QStringLiteral("乙"));
        QVERIFY(a.join(host.port));
        QVERIFY(b.join(host.port));
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
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this, QStringLiteral("127.0.0.5"));
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this, QStringLiteral("127.0.0.6"));
        LoopbackPeer *c = joinRaw(host, QStringLiteral("丙"), this, QStringLiteral("127.0.0.8"));
        QVERIFY(a && b && c);
        a->takeLines();
        host.echo.insert(QStringLiteral("127.0.0.6"), modPing::Echo::Silent);
        host.pinged.clear();

        host.session.host().tmrShutdown_Timer();
        QTRY_VERIFY(!host.session.host().isChecking());
        QCOMPARE(host.pinged, (QStringList{"127.0.0.5", "127.0.0.6", "127.0.0.8"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "3:丙"}));
        QCOMPARE(host.status.last(), QStringLiteral("乙连接断开"));
        QVERIFY(b->waitForClose());
        QVERIFY(a->waitForLines(1));
        QCOMPARE(a->takeLines(), QStringList{"[连接断开]0000000002"});
    }

    void livenessCheckSurvivesMembersLeavingDuringTheWalk() {
        HostProbe host;
        QList<LoopbackPeer *> peers;
        for (int i = 1; i <= 4; ++i) {
            peers.append(
                joinRaw(host, QStringLiteral("m%1").arg(i), this, QStringLiteral("127.0.0.%1").arg(10 + i)));
            QVERIFY(peers.last());
        }
        host.pinged.clear();
        // While the first member is pinged (the event loop runs), members 2 and 3 go; member 4 is silent.
        host.session.setPinger([&](const QString &address) {
            host.pinged.append(address);
            if (address == QLatin1String("127.0.0.11")) {
                host.session.host().sckConnection_Close(2);
                peers[2]->close();
                (void)QTest::qWaitFor([&] { return !host.members().contains(3); }, 5000);
            }
            return address == QLatin1String("127.0.0.14") ? modPing::Echo::Silent : modPing::Echo::Answered;
        });
        host.session.host().tmrShutdown_Timer();
        QTRY_VERIFY(!host.session.host().isChecking());
        QCOMPARE(host.pinged, (QStringList{"127.0.0.11", "127.0.0.14"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:m1"}));
        QCOMPARE(host.status.mid(5), (QStringList{"m2连接断开", "m3连接断开", "m4连接断开"}));
    }

    void withoutEchoTheConnectionStateDecidesAndThatIsSaidOnce() {
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this);
        QVERIFY(a && b);
        host.session.setPinger([](const QString &) { return modPing::Echo::Unavailable; });
        for (int walk = 0; walk < 2; ++walk) {
            host.session.host().tmrShutdown_Timer();
            QTRY_VERIFY(!host.session.host().isChecking());
        }
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "2:乙"}));
        const QString note =
            QStringLiteral("本机不能发送 ICMP 回显：查找主机改为试连端口，成员检测改看连接状态");
        QCOMPARE(host.status.count(note), 1);
    }

    void memberListTooltipShowsTheOneSelectedAddress() {
        HostProbe host;
        QVERIFY(joinRaw(host, QStringLiteral("甲"), this, QStringLiteral("127.0.0.9")));
        HostRole &role = host.session.host();
        QCOMPARE(role.selectedAddressTip(), QString());
        host.members().setSelected(1, true);
        QCOMPARE(role.selectedAddressTip(), QStringLiteral("127.0.0.9"));
        host.members().setSelected(0, true);
        QCOMPARE(role.selectedAddressTip(), QString());
        host.members().setSelected(1, false);
        QCOMPARE(role.selectedAddressTip(), QStringLiteral("127.0.0.1"));
    }

    void linesForAMemberWhoLeftNeverReachTheNextMemberOnItsSlot() {
        HostProbe host;
        QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙", "丙"}, this);
        QCOMPARE(peers.size(), 3);
        // 乙 stops reading: once the system's buffers are full, what is meant for it waits in the queue.
        peers[1]->socket()->setReadBufferSize(1);
        const QString filler = QStringLiteral("[消息]") + QString(1000, u'x');
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (int i = 0; i < 200; ++i)
                    host.session.QueueMessage(filler, 2);
                return host.session.queue().backlog(2) > 1000;
            },
            30000));
        peers[0]->send(QStringLiteral("[悄悄话]00000000010000000002甲悄悄说：只给乙的秘密"));
        QVERIFY(QTest::qWaitFor([&] { return host.received.last().contains(QStringLiteral("秘密")); }));
        peers[1]->socket()->abort();
        QVERIFY(host.waitForStatus(QStringLiteral("乙连接断开")));
        QCOMPARE(host.session.queue().backlog(2), 0);
        // Lines queued for the closed slot are not kept for its next member either.
        host.session.QueueMessage(QStringLiteral("[消息]留言"), 2);
        QCOMPARE(host.session.queue().backlog(2), 0);

        LoopbackPeer *d = joinRaw(host, QStringLiteral("丁"), this);
        QVERIFY(d);
        QCOMPARE(d->lines().first(), QStringLiteral("[加入]丁"));
        QVERIFY(d->lines().contains(QStringLiteral("[连接号]2")));
        // Anything still meant for slot 2 would come before this.
        d->send(QStringLiteral("[画笔]0"));
        QVERIFY(QTest::qWaitFor([d] { return d->lines().contains(QStringLiteral("[画笔]0")); }));
        for (const QString &line : d->lines())
            QVERIFY2(!line.contains(QStringLiteral("秘密")) && line != filler &&
                         line != QStringLiteral("[通知]") && !line.contains(QStringLiteral("留言")),
                     qPrintable(line));
    }

    void aMemberThatStopsReadingIsCutWhenItsBacklogOverflows() {
        HostProbe host;
        QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙"}, this);
        QCOMPARE(peers.size(), 2);
        peers[1]->socket()->setReadBufferSize(1);
        const QString line = QStringLiteral("[消息]") + QString(1000, u'y');
        const QString cut = QStringLiteral("连线(2) 积压的数据过多（对方不接收），已断开");
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (int i = 0; i < 500; ++i)
                    host.session.QueueMessage(line, 2);
                return host.status.contains(cut);
            },
            60000));
        QVERIFY(host.waitForStatus(QStringLiteral("乙连接断开")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QCOMPARE(host.session.queue().backlog(2), 0);
        QVERIFY(host.session.queue().backlogBytes() < SendQueue::kMaxBacklogBytes / 4);
        QVERIFY(QTest::qWaitFor(
            [&] { return peers[0]->lines().contains(QStringLiteral("[连接断开]0000000002")); }));
        QVERIFY(peers[0]->isConnected());
    }

    void aConnectionThatClosesAlwaysFreesItsSlotAndEntry() {
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(a);
        a->takeLines();
        // A raw peer that joins with an empty ID, then closes.
        auto *nameless = new LoopbackPeer(new QTcpSocket, this);
        QVERIFY(nameless->connectTo(host.port));
        nameless->send(QStringLiteral("[加入]")); // nothing after the tag
        QVERIFY(nameless->waitForLines(7));
        QCOMPARE(host.members().count(), 3);
        nameless->close();
        QVERIFY(host.waitForStatus(QStringLiteral("连线(2)连接断开")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QVERIFY(QTest::qWaitFor([a] { return a->lines().contains(QStringLiteral("[连接断开]0000000002")); }));

        // The next member on that slot gets its whole join reply.
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this);
        QVERIFY(b);
        QVERIFY(b->lines().contains(QStringLiteral("[连接号]2")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲", "2:乙"}));
    }

    void aRefusalClosesOnlyTheRefusedConnection() {
        SessionProbe host(QStringLiteral("主"));
        host.config.blackList = {QStringLiteral("127.0.0.7")};
        const quint16 port = host.startHosting();
        auto *refused = new LoopbackPeer(new QTcpSocket, this);
        QVERIFY(refused->connectTo(port, QStringLiteral("127.0.0.7")));
        refused->send(QStringLiteral("[加入]丙"));
        QTRY_VERIFY(host.members().contains(1));
        // It leaves within the refusal's pause and a welcome member takes its slot at once.
        refused->socket()->abort();
        QTRY_VERIFY(!host.members().contains(1));
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this);
        QVERIFY(b);
        // A timer started after the refusal's pause, as long, fires after it.
        bool paused = false;
        QTimer::singleShot(HostRole::kRefuseDelayMs, this, [&paused] { paused = true; });
        QVERIFY(QTest::qWaitFor([&paused] { return paused; }));
        QVERIFY(b->isConnected());
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:乙"}));
        // Reported once: as leaving (or, on a slow machine, as refused when the pause ended first).
        QCOMPARE(host.status.filter(QStringLiteral("丙")).size(), 2);
    }

    void livenessCheckComparesTheConnectionNotTheNumber() {
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this, QStringLiteral("127.0.0.5"));
        QVERIFY(a);
        LoopbackPeer *b = nullptr;
        // While 甲's computer is pinged (and does not answer), 甲 leaves and 乙 takes slot 1.
        host.session.setPinger([&](const QString &address) {
            if (address == QLatin1String("127.0.0.5")) {
                a->close();
                if (!QTest::qWaitFor([&] { return !host.members().contains(1); }, 5000))
                    return modPing::Echo::Silent;
                b = joinRaw(host, QStringLiteral("乙"), this, QStringLiteral("127.0.0.6"));
                return modPing::Echo::Silent;
            }
            return modPing::Echo::Answered;
        });
        host.session.host().tmrShutdown_Timer();
        QTRY_VERIFY(!host.session.host().isChecking());
        QVERIFY(b);
        b->send(QStringLiteral("[画笔]0"));
        QVERIFY(QTest::qWaitFor([b] { return b->lines().contains(QStringLiteral("[画笔]0")); }));
        QVERIFY(b->isConnected());
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:乙"}));
    }

    void memberConnectionsProbeAVanishedPeer() {
#ifndef Q_OS_LINUX
        QSKIP("the keep-alive timing is set on Linux only");
#else
        HostProbe host;
        QVERIFY(joinRaw(host, QStringLiteral("甲"), this));
        const int fd = int(host.session.sockets()
                               .findChild<QTcpSocket *>(QStringLiteral("sckConnection1"))
                               ->socketDescriptor());
        QVERIFY(fd >= 0);
        auto option = [fd](int level, int name) {
            int value = -1;
            socklen_t size = sizeof value;
            return ::getsockopt(fd, level, name, &value, &size) == 0 ? value : -1;
        };
        QCOMPARE(option(SOL_SOCKET, SO_KEEPALIVE), 1);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPIDLE), SessionSockets::kKeepAliveIdleSeconds);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPINTVL), SessionSockets::kKeepAliveIntervalSeconds);
        QCOMPARE(option(IPPROTO_TCP, TCP_KEEPCNT), SessionSockets::kKeepAliveProbes);
        QCOMPARE(option(IPPROTO_TCP, TCP_USER_TIMEOUT), SessionSockets::kUserTimeoutMs);
#endif
    }

    void connectionsThatDoNotJoinAreCappedAndExpire() {
        SessionProbe host(QStringLiteral("主"));
        host.session.sockets().setJoinLimits(4, 60000);
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this);
        QVERIFY(a);
        QList<LoopbackPeer *> silent;
        for (int i = 0; i < 10; ++i) {
            silent.append(new LoopbackPeer(new QTcpSocket, this));
            QVERIFY(silent.last()->connectTo(port, QStringLiteral("127.0.0.2")));
        }
        auto closed = [&] {
            return std::count_if(silent.cbegin(), silent.cend(),
                                 [](LoopbackPeer *p) { return !p->isConnected(); });
        };
        // Those that waited longest make room: four wait, the first six are gone.
        QVERIFY(QTest::qWaitFor([&] { return closed() == 6; }, 10000));
        for (int i = 0; i < 6; ++i)
            QVERIFY(!silent[i]->isConnected());
        QVERIFY(QTest::qWaitFor([&] {
            return !host.status.filter(QStringLiteral("个等候最久的连接：尚未加入的连接已达 4 个")).isEmpty();
        }));
        QCOMPARE(host.session.sockets().waitingConnections(), 4);

        // A newcomer still joins, and talks.
        LoopbackPeer *b = joinRaw(host, port, QStringLiteral("乙"), this);
        QVERIFY(b);
        b->send(QStringLiteral("[消息]乙说： 进来了"));
        QVERIFY(QTest::qWaitFor([a] { return a->lines().contains(QStringLiteral("[消息]乙说： 进来了")); }));

        // Waiting has an end; joined members stay.
        host.session.sockets().setJoinLimits(4, 200);
        QVERIFY(QTest::qWaitFor([&] { return closed() == silent.size(); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] { return !host.status.filter(QStringLiteral("连接后 0.2 秒内未加入")).isEmpty(); }));
        QCOMPARE(host.session.sockets().waitingConnections(), 0);
        QVERIFY(a->isConnected() && b->isConnected());
        QCOMPARE(host.memberNames().mid(0, 2), (QStringList{"-1:主", "1:甲"}));
        QCOMPARE(host.memberNames().size(), 3);
        QVERIFY(host.memberNames().value(2).endsWith(QStringLiteral(":乙")));
    }

    void descriptorsAreKeptForFilesWhileConnectionsPileUp() {
#ifndef Q_OS_LINUX
        QSKIP("descriptor limits are read the Linux way");
#else
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("no python3 to hold the connections");
        SessionProbe host(QStringLiteral("主"));
        host.session.sockets().setJoinLimits(100000, 60000); // only the descriptors count here
        const quint16 port = host.startHosting();
        LoopbackPeer *a = joinRaw(host, port, QStringLiteral("甲"), this);
        QVERIFY(a);
        QTemporaryDir dir;
        const QString records = dir.filePath(QStringLiteral("records.txt"));
        host.session.requests().setRecordStore([&records](const QString &record) {
            QFile file(records);
            return file.open(QIODevice::Append) && file.write(record.toUtf8() + '\n') > 0;
        });

        // Another process will open 300 connections and hold them.
        QProcess holder;
        holder.start(Python::kPath, Python::connectionHolderArguments(300, port));
        QVERIFY(holder.waitForStarted(30000));

        // This process may open only a hundred descriptors more than it has open now.
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &before), 0);
        const rlim_t open =
            rlim_t(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
        rlimit lowered = before;
        lowered.rlim_cur = open + 100;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        struct Restore {
            rlimit limit;
            ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
        } restore{before};

        holder.write("go\n");
        QVERIFY(QTest::qWaitFor(
            [&] { return holder.canReadLine() || holder.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("300"));
        QVERIFY(QTest::qWaitFor([&] {
            return !host.status.filter(QStringLiteral("个连接：连接过多，须为文件留出余量")).isEmpty();
        }));

        // Records still open their file, and the member is answered.
        a->send(QStringLiteral("[记录]离心泵|IS80"));
        QVERIFY(QTest::qWaitFor([a] { return a->lines().contains(QStringLiteral("[记录结果]录入成功!")); }));
        QCOMPARE(TestFiles::read(records), QByteArray("离心泵|IS80\n"));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(30000));
#endif
    }
};

QTEST_MAIN(TestHostRole)
#include "tst_hostrole.moc"
