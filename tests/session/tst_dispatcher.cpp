// The receiving side of the protocol over real loopback sockets: a hosting Session and raw peers that
// speak GB18030 lines.
#include "SessionProbe.h"

#include "platform/text/TextCodec.h"

#include "session/HostRequests.h"

#include <QElapsedTimer>
#include <QTest>

class TestDispatcher : public QObject {
    Q_OBJECT

private slots:
    void joinReplyComesInOrderWithTheHostEntryFirst() {
        HostProbe host(QStringLiteral("设计部"));
        QVERIFY(host.port != 0);
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(a);
        QCOMPARE(a->takeLines(), (QStringList{
                                     "[加入]甲",
                                     "[清除ID列表]",
                                     "[人名]-000000001主",
                                     "[人名]0000000001甲",
                                     "[连接号]1",
                                     "[平台名称]设计部",
                                     "[定制信息]系统|名|述|型|项|日|牌|单|数|价|码",
                                 }));
        QCOMPARE(host.status, (QStringList{"主机建立", "甲加入"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QVERIFY(host.received.contains(QStringLiteral("连线(1): [加入]甲")));
        QVERIFY(host.sent.contains(QStringLiteral("连线(1): [连接号]1")));

        // A second member: the others learn of it and get its entry, the newcomer its own reply.
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this);
        QVERIFY(b);
        QVERIFY(a->waitForLines(2));
        QCOMPARE(a->takeLines(), (QStringList{"[加入]乙", "[人名]0000000002乙"}));
        QCOMPARE(b->lines().mid(5, 1), QStringList{"[连接号]2"});
    }

    void linesAreFramedPerConnection() {
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(a);
        const int logged = host.received.size();

        // Two messages in one arrival, handled in order.
        a->sendRaw(tavlo::text::toWire(QStringLiteral("[清除图片]\r\n[消息]甲说： hi\r\n")));
        QTRY_COMPARE(host.handled, (QStringList{"[清除图片]", "[消息]甲说： hi"}));

        // An arrival without CR LF changes nothing and logs nothing...
        a->sendRaw(tavlo::text::toWire(QStringLiteral("[消息]半")));
        QVERIFY(host.waitUntilRead(a));
        QCOMPARE(host.handled.size(), 2);
        QCOMPARE(host.received.size(), logged + 2);
        // ... until the rest of the line arrives: the two pieces make one line, even when a GB18030
        // character is cut between them.
        const QByteArray rest = tavlo::text::toWire(QStringLiteral("句话\r\n"));
        a->sendRaw(rest.left(1));
        QVERIFY(host.waitUntilRead(a));
        a->sendRaw(rest.mid(1));
        QTRY_COMPARE(host.handled.size(), 3);
        QCOMPARE(host.handled.last(), QStringLiteral("[消息]半句话"));
        QCOMPARE(host.received.last(), QStringLiteral("连线(1): [消息]半句话"));
    }

    void noLineTheHostSendsIsLongerThanAMemberTakes() {
        HostProbe host;
        SessionProbe member(QStringLiteral("乙")); // a real member: it drops a host whose lines are too long
        QVERIFY(member.join(host.port));
        LoopbackPeer *attacker = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(attacker);

        // 20,000 bytes that are no GB18030: relayed as 20,000 "?", not as 80,000 bytes of U+FFFD.
        attacker->sendRaw(tavlo::text::toWire(QStringLiteral("[消息]")) + QByteArray(20000, '\xff') + "\r\n");
        // An ID of 17,000 such bytes would come back to everyone in the member list: refused.
        auto *longId = new LoopbackPeer(new QTcpSocket, this);
        QVERIFY(longId->connectTo(host.port));
        longId->sendRaw(tavlo::text::toWire(QStringLiteral("[加入]")) + QByteArray(17000, '\xff') + "\r\n");
        QVERIFY(longId->waitForClose());
        QVERIFY(host.waitForStatus(QStringLiteral("连线(3) 的登录帐号超过 64 个字符，已断开")));
        attacker->send(QStringLiteral("[消息]甲说： 之后"));
        QVERIFY(
            QTest::qWaitFor([&] { return member.handled.contains(QStringLiteral("[消息]甲说： 之后")); }));
        QCOMPARE(member.handled.filter(QStringLiteral("[消息]")),
                 (QStringList{QStringLiteral("[消息]") + QString(20000, u'?'), "[消息]甲说： 之后"}));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:乙", "2:甲"}));

        // The host's own line of 80,006 bytes is not sent, and says so.
        host.session.SendToAllMembers(QStringLiteral("[消息]") + QString(40000, u'长'));
        QVERIFY(
            host.status.last().startsWith(QStringLiteral("一行长 80006 字节，超过对方能接收的 65536 字节")));
        attacker->send(QStringLiteral("[消息]甲说： 最后"));
        QVERIFY(
            QTest::qWaitFor([&] { return member.handled.contains(QStringLiteral("[消息]甲说： 最后")); }));
        QCOMPARE(member.handled.filter(QStringLiteral("[消息]")).size(), 3);
        QCOMPARE(member.status_(), int(Session::Connected));
        QVERIFY(member.status.filter(QStringLiteral("连接断开")).isEmpty());
    }

    void aBurstOfJoinsSendsTheLatestListOnce() {
        HostProbe host;
        LoopbackPeer *first = joinRaw(host, QStringLiteral("m0"), this);
        QVERIFY(first);
        // Thirty members join at once.
        constexpr int kJoins = 30;
        QList<LoopbackPeer *> others;
        for (int i = 1; i <= kJoins; ++i) {
            others.append(new LoopbackPeer(new QTcpSocket, this));
            QVERIFY(others.last()->connectTo(host.port));
        }
        for (int i = 1; i <= kJoins; ++i)
            others[i - 1]->send(QStringLiteral("[加入]m%1").arg(i));
        for (LoopbackPeer *peer : std::as_const(others))
            QVERIFY(QTest::qWaitFor(
                [peer] { return peer->lines().filter(QStringLiteral("[定制信息]")).size() == 1; }));
        QVERIFY(host.waitUntilSettled());
        host.session.SendToAllMembers(QStringLiteral("[消息]主说： 到齐了"));
        for (LoopbackPeer *peer : QList<LoopbackPeer *>{first} + others)
            QVERIFY(QTest::qWaitFor(
                [peer] { return peer->lines().contains(QStringLiteral("[消息]主说： 到齐了")); }));

        // Every member was told of each join after its own, and holds the host's list in the end,
        // which came to it far fewer times than there were joins.
        const QStringList hostList = host.memberNames();
        QCOMPARE(hostList.size(), kJoins + 2);
        for (int k = 0; k <= kJoins; ++k) {
            LoopbackPeer *peer = k == 0 ? first : others[k - 1];
            QStringList list, joins;
            int clears = 0;
            for (const QString &line : peer->lines()) {
                if (line == QStringLiteral("[清除ID列表]")) {
                    list.clear();
                    ++clears;
                } else if (line.startsWith(QStringLiteral("[人名]"))) {
                    const QString entry =
                        QStringLiteral("%1:%2").arg(line.mid(4, 10).toInt()).arg(line.mid(14));
                    list.removeIf(
                        [&](const QString &e) { return e.section(u':', 0, 0) == entry.section(u':', 0, 0); });
                    list.append(entry);
                } else if (line.startsWith(QStringLiteral("[加入]"))) {
                    joins.append(line.mid(4));
                }
            }
            QVERIFY2(list == hostList,
                     qPrintable(QStringLiteral("m%1: %2").arg(k).arg(peer->lines().join(u' '))));
            // The host's list is in join order: its own join and each one after it.
            const QString name = QStringLiteral("m%1").arg(k);
            qsizetype at = 0;
            while (at < hostList.size() && hostList[at].section(u':', 1) != name)
                ++at;
            QStringList expected;
            for (qsizetype i = at; i < hostList.size(); ++i)
                expected.append(hostList[i].section(u':', 1));
            QCOMPARE(joins, expected);
            QVERIFY2(clears < kJoins / 3, qPrintable(QString::number(clears)));
        }
    }

    void aHostIgnoresWhatOnlyAHostMaySend() {
        HostProbe host(QStringLiteral("设计部"));
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        LoopbackPeer *b = joinRaw(host, QStringLiteral("乙"), this);
        QVERIFY(a && b);
        const QStringList before = host.memberNames();
        const QStringList forged{
            "[清除ID列表]", "[人名]0000000009冒名", "[人名]-000000001冒名",
            "[连接号]5",    "[平台名称]冒名平台",   "[定制信息]x|y",
            "[拒绝加入]2",  "[逐出]0000000002",     "[连接断开]0000000002",
            "[通知]",       "[记录结果]录入成功!",  "[查询条数] 3",
        };
        for (const QString &line : forged)
            a->send(line);
        QTRY_COMPARE(host.received.size(), 2 + forged.size());
        QCOMPARE(host.memberNames(), before);
        QCOMPARE(host.session.platformName(), QStringLiteral("设计部"));
        QCOMPARE(host.session.ownNumber(), -1);
        QVERIFY(host.tips.isEmpty());
        QVERIFY(host.handled.isEmpty());
        QVERIFY(host.platformNames.isEmpty());
        QCOMPARE(host.status, (QStringList{"主机建立", "甲加入", "乙加入"}));
        QVERIFY(b->isConnected());
    }

    void garbageNeitherCrashesNorCorruptsTheMemberList() {
        SessionProbe host(QStringLiteral("主"));
        host.session.sockets().setMaxLineBytes(1024);
        const quint16 port = host.startHosting();
        LoopbackPeer *good = joinRaw(host, port, QStringLiteral("甲"), this);
        LoopbackPeer *bad = joinRaw(host, port, QStringLiteral("乙"), this);
        QVERIFY(good && bad);
        good->takeLines();

        QByteArray noise;
        for (int i = 0; i < 4096; ++i)
            noise += char((i * 7919) % 251 + 1);
        noise.replace("\r\n", "  ");
        bad->sendRaw(noise.left(900) + "\r\n");
        bad->sendRaw("\x81\x20\xfe\xff[\xd0\xc5]\x80\r\n"); // invalid GB18030
        bad->sendRaw(tavlo::text::toWire(QStringLiteral("[未知]x\r\n]\r\n[\r\n\r\n")));
        bad->send(QStringLiteral("[悄悄话]-000000005-0000000070000000001x"));
        bad->send(QStringLiteral("[悄悄话]32767"));
        bad->send(QStringLiteral("[悄悄话]0000000003"));
        bad->send(QStringLiteral("[加入]")); // joining again, renamed
        // Its own brush line comes back once everything before it was handled.
        bad->send(QStringLiteral("[画笔]2"));
        QVERIFY(QTest::qWaitFor([bad] { return bad->lines().contains(QStringLiteral("[画笔]2")); }));
        QVERIFY(host.waitUntilQueueEmpty());
        QVERIFY(bad->isConnected());
        QCOMPARE(host.session.queue().entries().size(), 0);

        // An over-long line drops that peer only.
        bad->sendRaw(QByteArray(2000, 'x'));
        QVERIFY(bad->waitForClose());
        QVERIFY(host.waitForStatus(QStringLiteral("乙连接断开")));
        QVERIFY(host.status.contains(QStringLiteral("连线(2) 发来的一行超过 1024 字节，已断开")));
        QCOMPARE(host.memberNames(), (QStringList{"-1:主", "1:甲"}));
        QVERIFY(good->isConnected());
        good->send(QStringLiteral("[画笔]1"));
        QVERIFY(QTest::qWaitFor([good] { return good->lines().contains(QStringLiteral("[画笔]1")); }, 5000));
        QVERIFY(good->lines().contains(QStringLiteral("[连接断开]0000000002")));
    }

    void hostAnswersRecordsAndQueriesThroughTheTool() {
        HostProbe host;
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(a);
        a->takeLines();
        // Without the information system these lines are only logged.
        a->send(QStringLiteral("[记录]r"));
        a->send(QStringLiteral("[查询]q"));
        QTRY_COMPARE(host.received.size(), 3);
        QCOMPARE(host.session.requests().waiting(), 0);
        a->send(QStringLiteral("[画笔]0"));
        QVERIFY(a->waitForLines(1));
        QCOMPARE(a->takeLines(), QStringList{"[画笔]0"});

        QStringList stored;
        host.session.requests().setRecordStore([&stored](const QString &record) {
            stored.append(record);
            return record != QLatin1String("bad");
        });
        host.session.requests().setQueryRunner([](const QString &query) {
            return query == QLatin1String("none") ? QStringList{} : QStringList{query + "1", query + "2"};
        });
        a->send(QStringLiteral("[记录]a|b"));
        a->send(QStringLiteral("[记录]bad"));
        a->send(QStringLiteral("[查询]k"));
        a->send(QStringLiteral("[查询]none"));
        QVERIFY(a->waitForLines(6));
        QCOMPARE(a->takeLines(), (QStringList{"[记录结果]录入成功!", "[记录结果]未录入成功!", "[查询条数] 2",
                                              "[查询]k1", "[查询]k2", "[查询条数] 0"}));
        QCOMPARE(stored, (QStringList{"a|b", "bad"}));
    }

    void requestsAreServedOneAtATimeAfterAPauseThatHoldsNothingUp() {
        HostProbe host;
        const QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙"}, this);
        QCOMPARE(peers.size(), 2);
        QElapsedTimer clock;
        clock.start();
        QList<qint64> served;
        host.session.requests().setQueryRunner([&](const QString &query) {
            served.append(clock.elapsed());
            return QStringList{query};
        });
        for (int i = 0; i < 4; ++i)
            peers[0]->send(QStringLiteral("[查询]q%1").arg(i));
        // Lines of other members go on being relayed while the requests wait their turn: the relay comes
        // down the same connection ahead of the last answer, however slow the machine.
        peers[1]->send(QStringLiteral("[消息]乙说： 还在"));
        QVERIFY(peers[0]->waitForLines(9));
        QStringList lines = peers[0]->takeLines();
        const qsizetype relayed = lines.indexOf(QStringLiteral("[消息]乙说： 还在"));
        QVERIFY(relayed >= 0 && relayed < lines.indexOf(QStringLiteral("[查询]q3")));
        lines.removeAt(relayed);
        QCOMPARE(lines, (QStringList{"[查询条数] 1", "[查询]q0", "[查询条数] 1", "[查询]q1", "[查询条数] 1",
                                     "[查询]q2", "[查询条数] 1", "[查询]q3"}));
        QCOMPARE(served.size(), 4);
        QVERIFY(served[0] >= HostRequests::kPauseMs - 5);
        for (int i = 1; i < 4; ++i)
            QVERIFY(served[i] - served[i - 1] >= HostRequests::kPauseMs - 5);

        // The requests of a member who left are forgotten, not answered to whoever takes its slot.
        for (int i = 0; i < 5; ++i)
            peers[0]->send(QStringLiteral("[查询]gone%1").arg(i));
        QTRY_COMPARE(host.received.filter(QStringLiteral("gone")).size(), 5);
        peers[0]->socket()->abort();
        QVERIFY(host.waitForStatus(QStringLiteral("甲连接断开")));
        const qsizetype servedBefore = served.size();
        QVERIFY(servedBefore < 4 + 5);
        QCOMPARE(host.session.requests().waiting(), 0);
        LoopbackPeer *c = joinRaw(host, QStringLiteral("丙"), this);
        QVERIFY(c);
        // Requests are served in turn: a forgotten one still waiting would be served before this.
        c->send(QStringLiteral("[查询]mine"));
        QVERIFY(QTest::qWaitFor([c] { return c->lines().contains(QStringLiteral("[查询]mine")); }));
        QCOMPARE(served.size(), servedBefore + 1);
        QCOMPARE(c->lines().filter(QStringLiteral("[查询")), (QStringList{"[查询条数] 1", "[查询]mine"}));
    }

    void aRequestFloodDropsTheFloodingConnection() {
        HostProbe host;
        const QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙"}, this);
        QCOMPARE(peers.size(), 2);
        host.session.requests().setRecordStore([](const QString &) { return true; });
        QByteArray flood;
        for (int i = 0; i <= HostRequests::kMaxWaitingPerConnection; ++i)
            flood += tavlo::text::toWire(QStringLiteral("[记录]r%1\r\n").arg(i));
        peers[1]->sendRaw(flood);
        QVERIFY(host.waitForStatus(QStringLiteral("连线(2) 的记录和查询请求过多，已断开")));
        QVERIFY(peers[1]->waitForClose());
        QVERIFY(host.waitForStatus(QStringLiteral("乙连接断开")));
        QCOMPARE(host.session.requests().waiting(), 0);
        peers[0]->send(QStringLiteral("[记录]a"));
        QVERIFY(QTest::qWaitFor(
            [&] { return peers[0]->lines().contains(QStringLiteral("[记录结果]录入成功!")); }));
    }

    void clientsThatQueryAndLeaveOverAndOverNeitherNestNorPileUp() {
        HostProbe host;
        // A tool that lets events run while it searches, as a slow workbook might.
        int depth = 0, deepest = 0, calls = 0;
        quintptr lowest = ~quintptr(0), highest = 0;
        host.session.requests().setQueryRunner([&](const QString &) {
            const char here = 0;
            lowest = qMin(lowest, quintptr(&here));
            highest = qMax(highest, quintptr(&here));
            ++calls;
            deepest = qMax(deepest, ++depth);
            // Until another line comes in (or a while has passed): events run, as in a slow workbook.
            const qsizetype seen = host.received.size();
            (void)QTest::qWaitFor([&] { return host.received.size() > seen; }, 1000);
            --depth;
            return QStringList{QStringLiteral("行")};
        });
        QByteArray burst = tavlo::text::toWire(QStringLiteral("[加入]x\r\n"));
        for (int i = 0; i < 10; ++i)
            burst += tavlo::text::toWire(QStringLiteral("[查询]a\r\n"));
        // Rounds of three kinds: the clients leave at once, once the host has read their lines, or once
        // one of their queries is being served. However slow the machine, enough rounds of each.
        int rounds = 0;
        while ((rounds < 12 || calls < 3) && rounds < 300) {
            QList<QTcpSocket *> clients;
            for (int i = 0; i < 20; ++i) {
                auto *client = new QTcpSocket(this);
                client->connectToHost(QHostAddress::LocalHost, host.port);
                clients.append(client);
            }
            const qsizetype received = host.received.size();
            const int callsBefore = calls;
            for (QTcpSocket *client : clients) {
                if (client->waitForConnected(2000))
                    client->write(burst);
            }
            if (rounds % 3 == 1)
                (void)QTest::qWaitFor([&] { return host.received.size() >= received + 20; }, 10000);
            else if (rounds % 3 == 2)
                (void)QTest::qWaitFor([&] { return calls > callsBefore; }, 10000);
            for (QTcpSocket *client : clients) {
                client->abort();
                client->deleteLater();
            }
            // The next round comes once the host has seen these leave (their slots are free again).
            (void)QTest::qWaitFor([&] { return !host.session.sockets().anySlotConnected(); }, 10000);
            ++rounds;
        }
        QVERIFY(calls >= 3);
        QCOMPARE(deepest, 1);
        QVERIFY2(highest - lowest < 64 * 1024, qPrintable(QString::number(highest - lowest)));
        QTRY_COMPARE(host.memberNames(), QStringList{"-1:主"});
        QCOMPARE(host.session.requests().waiting(), 0);
        QVERIFY2(host.session.sockets().slotCount() <= 40,
                 qPrintable(QString::number(host.session.sockets().slotCount())));
        QTRY_VERIFY(host.session.queue().isEmpty());

        // The host still answers.
        LoopbackPeer *a = joinRaw(host, QStringLiteral("甲"), this);
        QVERIFY(a);
        a->takeLines();
        a->send(QStringLiteral("[查询]a"));
        QVERIFY(a->waitForLines(2));
        QCOMPARE(a->lines(), (QStringList{"[查询条数] 1", "[查询]行"}));
    }

    void aFloodDoesNotHoldUpAnotherMembersLine() {
        HostProbe host;
        const QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙", "丙"}, this);
        QCOMPARE(peers.size(), 3);
        constexpr int kFlood = 20000;
        QByteArray flood;
        for (int i = 0; i < kFlood; ++i)
            flood += tavlo::text::toWire(QStringLiteral("[消息]甲说： 刷屏%1\r\n").arg(i));
        peers[0]->sendRaw(flood);
        peers[1]->send(QStringLiteral("[消息]乙说： 插一句"));
        QVERIFY(peers[2]->waitForLines(kFlood + 1, 30000));
        // Arrivals are read a piece at a time, so the flood's sender does not keep the others waiting.
        const qsizetype at = peers[2]->lines().indexOf(QStringLiteral("[消息]乙说： 插一句"));
        QVERIFY2(at >= 0 && at < kFlood / 2, qPrintable(QString::number(at)));
        // Per sender the order is kept.
        QStringList fromA = peers[2]->lines();
        fromA.removeAt(at);
        for (int i = 0; i < kFlood; i += 997)
            QCOMPARE(fromA.at(i), QStringLiteral("[消息]甲说： 刷屏%1").arg(i));
        QVERIFY(peers[1]->waitForLines(kFlood));
        QCOMPARE(peers[1]->lines().last(), QStringLiteral("[消息]甲说： 刷屏%1").arg(kFlood - 1));
    }

    void linesSentJustBeforeAPeerClosesAreStillHandled() {
        HostProbe host;
        const QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙"}, this);
        QCOMPARE(peers.size(), 2);
        // More than one arrival's worth, then the close right behind it.
        constexpr int kLines = 5000;
        QByteArray last;
        for (int i = 0; i < kLines; ++i)
            last += tavlo::text::toWire(QStringLiteral("[消息]甲说： 最后的话%1\r\n").arg(i));
        peers[0]->sendRaw(last);
        peers[0]->close();
        QVERIFY(host.waitForStatus(QStringLiteral("甲连接断开")));
        QVERIFY(peers[1]->waitForLines(kLines + 1));
        QCOMPARE(peers[1]->lines().at(kLines - 1), QStringLiteral("[消息]甲说： 最后的话%1").arg(kLines - 1));
        QCOMPARE(peers[1]->lines().last(), QStringLiteral("[连接断开]0000000001"));
    }

    void aConnectionThatNeverJoinedNeitherHearsNorIsHeard() {
        HostProbe host;
        const QList<LoopbackPeer *> peers = joinRawMembers(host, {"甲", "乙"}, this);
        QCOMPARE(peers.size(), 2);
        auto *stranger = new LoopbackPeer(new QTcpSocket, this);
        QVERIFY(stranger->connectTo(host.port));
        QTRY_COMPARE(host.session.sockets().slotCount(), 3);
        stranger->send(QStringLiteral("[消息]丙说： 我在听"));
        stranger->send(QStringLiteral("[悄悄话]00000000010000000001丙悄悄说：x"));
        stranger->send(QStringLiteral("[直线]00000000010000000002000000000300000000040000000255"));
        peers[0]->send(QStringLiteral("[消息]甲说： 只给大家"));
        peers[1]->send(QStringLiteral("[画笔]2"));
        QVERIFY(peers[1]->waitForLines(2));
        // Everything the stranger sent was handled, and everything the host sent has been read.
        QVERIFY(host.waitUntilRead(stranger));
        host.rawPeers.append(stranger);
        QVERIFY(host.waitUntilSettled());
        QVERIFY2(stranger->lines().isEmpty(), qPrintable(stranger->lines().join(u'\n')));
        QCOMPARE(peers[0]->lines(), QStringList{"[画笔]2"});
        QCOMPARE(peers[1]->lines(), (QStringList{"[消息]甲说： 只给大家", "[画笔]2"}));
        QCOMPARE(host.handled, (QStringList{"[消息]甲说： 只给大家", "[画笔]2"}));
        QVERIFY(host.received.contains(QStringLiteral("连线(3): [消息]丙说： 我在听"))); // logged only

        // Once it joins it is one of the session.
        peers[0]->takeLines();
        stranger->send(QStringLiteral("[加入]丙"));
        QVERIFY(stranger->waitForLines(8));
        QCOMPARE(stranger->lines().first(), QStringLiteral("[加入]丙"));
        QVERIFY(stranger->lines().contains(QStringLiteral("[连接号]3")));
        stranger->send(QStringLiteral("[消息]丙说： 大家好"));
        QVERIFY(QTest::qWaitFor(
            [&] { return peers[0]->lines().contains(QStringLiteral("[消息]丙说： 大家好")); }));
    }

    void aMemberIgnoresWhatOnlyAMemberSends() {
        LoopbackHost fakeHost;
        SessionProbe member(QStringLiteral("甲"));
        LoopbackPeer *h = joinFakeHost(member, fakeHost);
        QVERIFY(h);
        QCOMPARE(h->lines(), QStringList{"[加入]甲"});
        h->send(QStringLiteral("[悄悄话]0000000001-000000001x"));
        h->send(QStringLiteral("[记录]a|b"));
        h->send(QStringLiteral("[记录结果]录入成功!"));
        QTRY_COMPARE(member.received.size(), 3);
        QCOMPARE(member.handled, QStringList{"[记录结果]录入成功!"});
    }

    void tagsAreComparedWholeAndExactly() {
        LoopbackHost fakeHost;
        SessionProbe member(QStringLiteral("甲"));
        LoopbackPeer *h = joinFakeHost(member, fakeHost);
        QVERIFY(h);
        h->sendRaw(tavlo::text::toWire(QStringLiteral("[消息 ]a\r\n[消息]]b\r\n [消息]c\r\n[Unknown]d\r\n")));
        QTRY_COMPARE(member.received.size(), 4);
        QCOMPARE(member.handled, QStringList{"[消息]]b"});
        QCOMPARE(ProtocolTags::KnownTags().size(), 19);

        // A tool may bring a tag of its own.
        QStringList own;
        member.session.router().route(u"[Unknown]", [&own](const IncomingLine &l) { own.append(l.payload); });
        h->send(QStringLiteral("[Unknown]d"));
        QTRY_COMPARE(own, QStringList{"d"});
    }
};

QTEST_MAIN(TestDispatcher)
#include "tst_dispatcher.moc"
