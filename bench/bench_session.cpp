// The LAN session on loopback: how fast a host relays chat lines to N members, and how long N members
// take to join, for N = 2, 10, 50. A hosting Session in this process; the members are plain sockets.
#include "platform/text/TextCodec.h"
#include "session/HostRole.h"
#include "session/SendQueue.h"
#include "session/Session.h"
#include "session/SessionSockets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kTimeLimitMs = 180000; // no figure takes longer than this

bool waitUntil(const std::function<bool()> &done, int timeoutMs = kTimeLimitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// A member socket that counts the lines it receives and notes its own connection number.
struct Member {
    QTcpSocket socket;
    QByteArray pending;
    int lines = 0;
    int messages = 0;
    bool numbered = false;

    Member() {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            pending += socket.readAll();
            for (qsizetype cut = pending.indexOf("\r\n"); cut >= 0; cut = pending.indexOf("\r\n")) {
                const QString line = tavlo::text::fromWire(pending.left(cut));
                pending.remove(0, cut + 2);
                ++lines;
                messages += line.startsWith(QStringLiteral("[消息]")) ? 1 : 0;
                numbered = numbered || line.startsWith(QStringLiteral("[连接号]"));
            }
        });
    }
    void send(const QString &line) { socket.write(tavlo::text::toWire(line + QStringLiteral("\r\n"))); }
};

struct Host {
    Session session;
    quint16 port = 0;

    Host() {
        session.setConfigSource([] {
            SessionConfig c;
            c.port = 0;
            return c;
        });
        session.setPinger([](const QString &) { return modPing::Echo::Answered; });
        session.sockets().setListenAddress(QHostAddress::LocalHost);
        session.setId(QStringLiteral("主"));
        session.setPlatformName(QStringLiteral("平台"));
        session.host().cmdHost_Click();
        port = session.sockets().listeningPort();
    }
};

std::vector<std::unique_ptr<Member>> connectMembers(Host &host, int n) {
    std::vector<std::unique_ptr<Member>> members;
    for (int i = 0; i < n; ++i) {
        members.push_back(std::make_unique<Member>());
        members.back()->socket.connectToHost(QHostAddress::LocalHost, host.port);
    }
    waitUntil([&] {
        for (const auto &m : members) {
            if (m->socket.state() != QAbstractSocket::ConnectedState)
                return false;
        }
        return true;
    });
    return members;
}

bool allNumbered(const std::vector<std::unique_ptr<Member>> &members) {
    for (const auto &m : members) {
        if (!m->numbered)
            return false;
    }
    return true;
}

// N members join at once; then the first of them talks and the host relays to the others.
void benchJoinAndRelay(int n) {
    Host host;
    auto members = connectMembers(host, n);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i)
        members[size_t(i)]->send(QStringLiteral("[加入]m%1").arg(i + 1));
    const bool numbered = waitUntil([&] { return allNumbered(members); });
    const qint64 numberedMs = clock.elapsed();
    const bool settled = numbered && waitUntil([&] { return host.session.queue().isEmpty(); });
    const qint64 settledMs = clock.elapsed();
    if (!settled) {
        std::printf("join     N=%-3d  not finished within %d s\n", n, kTimeLimitMs / 1000);
        return;
    }
    long long lines = 0;
    for (const auto &m : members)
        lines += m->lines;
    std::printf("join     N=%-3d  all numbered after %7.3f s, member lists settled after %7.3f s "
                "(%lld lines, %.0f lines/s)\n",
                n, numberedMs / 1000.0, settledMs / 1000.0, lines,
                lines * 1000.0 / qMax<qint64>(1, settledMs));

    // Member 1 talks; every other member must receive every line once.
    const int sent = qMax(20, 3000 / (n - 1));
    clock.restart();
    for (int i = 0; i < sent; ++i)
        members[0]->send(QStringLiteral("[消息]m1说： 第%1行").arg(i));
    const bool done = waitUntil([&] {
        for (size_t i = 1; i < members.size(); ++i) {
            if (members[i]->messages < sent)
                return false;
        }
        return true;
    });
    const qint64 ms = clock.elapsed();
    if (!done) {
        std::printf("relay    N=%-3d  not finished within %d s\n", n, kTimeLimitMs / 1000);
        return;
    }
    const long long relayed = (long long)sent * (n - 1);
    std::printf("relay    N=%-3d  %5d lines from one member to %2d others: %7.3f s, %.0f relayed lines/s\n",
                n, sent, n - 1, ms / 1000.0, relayed * 1000.0 / qMax<qint64>(1, ms));
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    std::printf("LAN session on loopback (one queued line per %d ms tick)\n", SendQueue::kTickMs);
    for (const int n : {2, 10, 50})
        benchJoinAndRelay(n);
    return 0;
}
