#pragma once

#include "LoopbackPeer.h"

#include "session/Dispatcher.h"
#include "session/HostRequests.h"
#include "session/HostRole.h"
#include "session/MemberList.h"
#include "session/MemberRole.h"
#include "session/ProtocolTags.h"
#include "session/SendQueue.h"
#include "session/Session.h"
#include "session/SessionSockets.h"

#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QTest>

// A Session on loopback with everything it reports collected: session log, tips, captions, traffic
// logs, and the lines of the tools' tags it routes to the stand-in tool (see routeStandInTool).
class SessionProbe : public QObject {
public:
    Session session;
    SessionConfig config;
    // Which addresses answer the echo; unlisted ones answer.
    QMap<QString, modPing::Echo> echo;
    QStringList pinged;

    QStringList status, tips, captions, sent, received;
    QStringList handled; // "[tag]payload" of every line routed to the stand-in tool, in order
    QStringList platformNames;

    explicit SessionProbe(const QString &id, const QString &platformName = QStringLiteral("平台")) {
        config.port = 0;
        session.setConfigSource([this] { return config; });
        session.setPinger([this](const QString &address) {
            pinged.append(address);
            return echo.value(address.trimmed(), modPing::Echo::Answered);
        });
        session.sockets().setListenAddress(QHostAddress::LocalHost);
        session.setId(id);
        session.setPlatformName(platformName);
        session.setCustomisationSource([] { return QStringLiteral("系统|名|述|型|项|日|牌|单|数|价|码"); });
        connect(&session, &Session::statusAppended, this, [this](const QString &s) { status.append(s); });
        connect(&session, &Session::tipRequested, this, [this](const QString &s) { tips.append(s); });
        connect(&session, &Session::captionChanged, this, [this](const QString &s) { captions.append(s); });
        connect(&session, &Session::lineSent, this, [this](const QString &s) { sent.append(s); });
        connect(&session, &Session::lineReceived, this, [this](const QString &s) { received.append(s); });
        connect(&session, &Session::platformNameReceived, this,
                [this](const QString &s) { platformNames.append(s); });
        routeStandInTool();
    }

    // A stand-in for the tools, so the transport can be watched: every line of a tool's tag is recorded
    // in `handled`; a host passes members' lines on as the chat and whiteboard do ("[消息]" and
    // "[清除图片]" to the other members, "[画笔]" and "[直线]" to all of them) and queues "[记录]" and
    // "[查询]" as the information system does. The tools' own rules are tested with the tools.
    void routeStandInTool() {
        namespace Tags = ProtocolTags;
        for (const Tags::Tag &tag :
             {Tags::kMessage, Tags::kNotify, Tags::kWhisper, Tags::kBrush, Tags::kLine, Tags::kClearPicture,
              Tags::kCustomisation, Tags::kRecord, Tags::kRecordResult, Tags::kQuery, Tags::kQueryCount}) {
            session.router().route(tag.text, [this, tag](const IncomingLine &line) {
                handled.append(line.tag + line.payload);
                HostRequests &requests = session.requests();
                if (tag == Tags::kRecord.text && requests.hasRecordStore())
                    requests.submitRecord(line.payload, line.source);
                if (tag == Tags::kQuery.text && session.isHost() && requests.hasQueryRunner() &&
                    line.source >= 1)
                    requests.submitQuery(line.payload, line.source);
                if (!line.fromMember)
                    return;
                if (tag == Tags::kMessage.text || tag == Tags::kClearPicture.text)
                    session.RelayExcept(tag.line(line.payload), line.source);
                else if (tag == Tags::kBrush.text || tag == Tags::kLine.text)
                    session.SendToAllMembers(tag.line(line.payload));
            });
        }
    }

    MemberList &members() { return session.members(); }
    int status_() const { return session.SessionStatus(); }

    // Hosts on an ephemeral loopback port; the port for members to use.
    quint16 startHosting() {
        session.host().cmdHost_Click();
        return session.sockets().listeningPort();
    }

    // Sets up a manual join to 127.0.0.1:port.
    void aimAt(quint16 port) {
        config.port = port;
        session.setAddress(QStringLiteral("127.0.0.1"));
    }

    // Joins a host on 127.0.0.1:port by searching a one-address VIP list, and waits for the host's
    // connection number.
    bool join(quint16 port) {
        config.port = port;
        config.connectMode = 1;
        config.vipList = {QStringLiteral("127.0.0.1")};
        session.member().cmdConnect_Click();
        return QTest::qWaitFor([this] { return session.ownNumber() > 0; }, 5000);
    }

    bool waitForStatus(const QString &line, int timeoutMs = 5000) {
        return QTest::qWaitFor([&] { return status.contains(line); }, timeoutMs);
    }
    bool waitUntilQueueEmpty(int timeoutMs = 5000) {
        return QTest::qWaitFor([this] { return session.queue().isEmpty(); }, timeoutMs);
    }
    // Raw peers that joined this host (see joinRaw).
    QList<QPointer<LoopbackPeer>> rawPeers;

    // Until the member-list update that joins set off has gone out with the rest of the queue, every
    // socket of the host has handed on what it was given, and the raw peers have read it all.
    bool waitUntilSettled(int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [this] {
                if (session.host().memberListPending() || !session.queue().isEmpty())
                    return false;
                const auto sockets = session.sockets().findChildren<QTcpSocket *>();
                for (const QTcpSocket *socket : sockets) {
                    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0)
                        return false;
                }
                for (const QPointer<LoopbackPeer> &peer : std::as_const(rawPeers)) {
                    if (peer && peer->unread() > 0)
                        return false;
                }
                return true;
            },
            timeoutMs);
    }
    // Until the host has read everything `peer` sent, and so handled each complete line of it.
    bool waitUntilRead(LoopbackPeer *peer, int timeoutMs = 5000) {
        const quint16 port = peer->socket()->localPort();
        return QTest::qWaitFor(
            [this, peer, port] {
                if (peer->socket()->bytesToWrite() > 0)
                    return false;
                const auto sockets = session.sockets().findChildren<QTcpSocket *>();
                for (const QTcpSocket *socket : sockets) {
                    if (socket->state() == QAbstractSocket::ConnectedState && socket->peerPort() == port)
                        return LoopbackPeer::unreadBytes(socket) == 0;
                }
                return false;
            },
            timeoutMs);
    }
    QStringList memberNames() const {
        QStringList names;
        const MemberList &list = session.members();
        for (int i = 0; i < list.count(); ++i)
            names.append(QStringLiteral("%1:%2").arg(list.at(i).number).arg(list.at(i).name));
        return names;
    }
};

// A probe that hosts as 主 from the start, on an ephemeral loopback port.
class HostProbe : public SessionProbe {
public:
    const quint16 port;
    explicit HostProbe(const QString &platformName = QStringLiteral("平台"))
        : SessionProbe(QStringLiteral("主"), platformName)
        , port(startHosting()) {}
};

// A raw peer that joined the probe's host as `id` and whose join reply has been read.
inline LoopbackPeer *joinRaw(SessionProbe &host, quint16 port, const QString &id, QObject *owner,
                             const QString &from = QStringLiteral("127.0.0.1")) {
    auto *peer = new LoopbackPeer(new QTcpSocket, owner);
    if (!peer->connectTo(port, from))
        return nullptr;
    peer->send(QStringLiteral("[加入]") + id);
    // Wait for the join reply's last line.
    if (!QTest::qWaitFor(
            [peer] {
                return !peer->lines().isEmpty() &&
                       peer->lines().last().startsWith(QStringLiteral("[定制信息]"));
            },
            5000))
        return nullptr;
    host.rawPeers.append(peer);
    host.waitUntilSettled();
    return peer;
}

// Raw peers joined in order under the given IDs, their join replies already read; empty when one
// could not join.
inline QList<LoopbackPeer *> joinRawMembers(SessionProbe &host, quint16 port, const QStringList &ids,
                                            QObject *owner) {
    QList<LoopbackPeer *> peers;
    for (const QString &id : ids) {
        LoopbackPeer *peer = joinRaw(host, port, id, owner);
        if (!peer)
            return {};
        peers.append(peer);
    }
    for (LoopbackPeer *peer : peers)
        peer->takeLines();
    return peers;
}

inline LoopbackPeer *joinRaw(HostProbe &host, const QString &id, QObject *owner,
                             const QString &from = QStringLiteral("127.0.0.1")) {
    return joinRaw(host, host.port, id, owner, from);
}
inline QList<LoopbackPeer *> joinRawMembers(HostProbe &host, const QStringList &ids, QObject *owner) {
    return joinRawMembers(host, host.port, ids, owner);
}

// A member probe joined to a plain loopback listener that plays the host: the host's end of the
// connection once the join line has come, or nullptr.
inline LoopbackPeer *joinFakeHost(SessionProbe &member, LoopbackHost &fakeHost) {
    member.config.port = fakeHost.port();
    member.config.connectMode = 1;
    member.config.vipList = {QStringLiteral("127.0.0.1")};
    member.session.member().cmdConnect_Click();
    if (!fakeHost.waitForPeer())
        return nullptr;
    LoopbackPeer *h = fakeHost.peers().first();
    return h->waitForLines(1) ? h : nullptr;
}
