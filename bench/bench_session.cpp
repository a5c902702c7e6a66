// The LAN session on loopback, with the hosting Session, its connection panel (traffic logs included,
// on the offscreen platform) and plain member sockets in this process:
// - relay throughput member -> member, and the latency of single lines at 50 lines/s;
// - 50 members joining one after another; N members joining at once and talking, N = 2, 10, 50;
// - one member flooding 50,000 lines: how long another member's line takes, and the memory it costs;
// - an idle host: how often the send pump wakes up.
#include "platform/text/TextCodec.h"
#include "session/HostRole.h"
#include "session/SendQueue.h"
#include "session/Session.h"
#include "session/SessionPanel.h"
#include "session/SessionSockets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
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

void pause(int ms) {
    waitUntil([] { return false; }, ms);
}

// Resident memory of this process in bytes.
qint64 residentBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

// A member socket that counts the lines it receives, notes its own connection number and when chosen
// lines arrived.
struct Member {
    QTcpSocket socket;
    QByteArray pending;
    int lines = 0;
    int messages = 0;
    bool numbered = false;
    bool replied = false; // the join reply's last line came
    QString watchFor;     // a line whose arrival time is wanted
    qint64 watchedAtNs = -1;
    std::function<void(const QString &)> onMessage;
    QElapsedTimer *clock = nullptr;

    Member() {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            pending += socket.readAll();
            for (qsizetype cut = pending.indexOf("\r\n"); cut >= 0; cut = pending.indexOf("\r\n")) {
                const QString line = tavlo::text::fromWire(pending.left(cut));
                pending.remove(0, cut + 2);
                ++lines;
                if (line.startsWith(QStringLiteral("[消息]"))) {
                    ++messages;
                    if (onMessage)
                        onMessage(line);
                }
                numbered = numbered || line.startsWith(QStringLiteral("[连接号]"));
                replied = replied || line.startsWith(QStringLiteral("[定制信息]"));
                if (!watchFor.isEmpty() && line == watchFor && clock)
                    watchedAtNs = clock->nsecsElapsed();
            }
        });
    }
    void send(const QString &line) { socket.write(tavlo::text::toWire(line + QStringLiteral("\r\n"))); }
    bool connectTo(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(5000);
    }
};

using Members = std::vector<std::unique_ptr<Member>>;

// A hosting Session with its panel on screen, so the traffic logs cost what they cost in the program.
struct Host {
    QGroupBox frame{QStringLiteral("进程管理")};
    Session session;
    SessionPanel panel{session, &frame};
    quint16 port = 0;

    Host() {
        frame.resize(699, 410);
        frame.show();
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

Members connectMembers(Host &host, int n) {
    Members members;
    for (int i = 0; i < n; ++i) {
        members.push_back(std::make_unique<Member>());
        members.back()->socket.connectToHost(QHostAddress::LocalHost, host.port);
    }
    waitUntil([&] {
        return std::all_of(members.begin(), members.end(), [](const auto &m) {
            return m->socket.state() == QAbstractSocket::ConnectedState;
        });
    });
    return members;
}

// Members that joined one after another, each once the one before had its whole join reply.
Members joinOneByOne(Host &host, int n, qint64 *elapsedMs) {
    Members members;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i) {
        members.push_back(std::make_unique<Member>());
        Member &m = *members.back();
        if (!m.connectTo(host.port))
            return {};
        m.send(QStringLiteral("[加入]m%1").arg(i + 1));
        if (!waitUntil([&m] { return m.replied; }, 30000))
            return {};
    }
    waitUntil([&] { return host.session.queue().isEmpty(); });
    *elapsedMs = clock.elapsed();
    return members;
}

void benchRelayAndLatency() {
    Host host;
    qint64 ms = 0;
    Members members = joinOneByOne(host, 2, &ms);
    if (members.empty()) {
        std::printf("relay    could not join\n");
        return;
    }
    Member &a = *members[0];
    Member &b = *members[1];
    pause(200);

    // Throughput: a burst of lines from a to b.
    constexpr int kLines = 100000;
    b.messages = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kLines; ++i)
        a.send(QStringLiteral("[消息]甲说： 第%1行").arg(i));
    const bool done = waitUntil([&] { return b.messages >= kLines; });
    const qint64 burstMs = clock.elapsed();
    if (done)
        std::printf("relay    %d lines member -> member: %.3f s, %.0f lines/s   (target >= 20,000)\n", kLines,
                    burstMs / 1000.0, kLines * 1000.0 / qMax<qint64>(1, burstMs));
    else
        std::printf("relay    not finished within %d s\n", kTimeLimitMs / 1000);
    pause(200);

    // Latency of single lines at 50 lines/s.
    constexpr int kSamples = 250;
    std::vector<qint64> sentAt(kSamples, -1), latencyUs;
    clock.restart();
    b.onMessage = [&](const QString &line) {
        const int i = line.section(u'#', 1).toInt();
        if (i >= 0 && i < kSamples && sentAt[size_t(i)] >= 0)
            latencyUs.push_back((clock.nsecsElapsed() - sentAt[size_t(i)]) / 1000);
    };
    for (int i = 0; i < kSamples; ++i) {
        sentAt[size_t(i)] = clock.nsecsElapsed();
        a.send(QStringLiteral("[消息]甲说： 行#%1").arg(i));
        a.socket.flush();
        pause(20);
    }
    waitUntil([&] { return latencyUs.size() >= size_t(kSamples); }, 5000);
    b.onMessage = nullptr;
    std::sort(latencyUs.begin(), latencyUs.end());
    if (latencyUs.empty()) {
        std::printf("latency  no line arrived\n");
        return;
    }
    auto at = [&](double q) {
        return latencyUs[std::min(latencyUs.size() - 1, size_t(q * latencyUs.size()))];
    };
    std::printf(
        "latency  %zu lines at 50 lines/s: p50 %.2f ms, p90 %.2f ms, max %.2f ms   (target p50 <= 2 ms)\n",
        latencyUs.size(), at(0.5) / 1000.0, at(0.9) / 1000.0, latencyUs.back() / 1000.0);
}

void benchJoinOneByOne(int n) {
    Host host;
    qint64 ms = 0;
    const Members members = joinOneByOne(host, n, &ms);
    if (members.empty()) {
        std::printf("join     one by one: not finished\n");
        return;
    }
    std::printf("join     %d members one after another: %.3f s   (target <= 5 s)\n", n, ms / 1000.0);
}

// N members join at once; then the first of them talks and the host relays to the others.
void benchJoinAndRelay(int n) {
    Host host;
    auto members = connectMembers(host, n);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i)
        members[size_t(i)]->send(QStringLiteral("[加入]m%1").arg(i + 1));
    const bool numbered = waitUntil(
        [&] { return std::all_of(members.begin(), members.end(), [](auto &m) { return m->numbered; }); });
    const qint64 numberedMs = clock.elapsed();
    const bool settled = numbered && waitUntil([&] { return host.session.queue().isEmpty(); });
    const qint64 settledMs = clock.elapsed();
    if (!settled) {
        std::printf("at once  N=%-3d  not finished within %d s\n", n, kTimeLimitMs / 1000);
        return;
    }
    long long lines = 0;
    for (const auto &m : members)
        lines += m->lines;
    std::printf("at once  N=%-3d  all numbered after %7.3f s, member lists settled after %7.3f s "
                "(%lld lines)\n",
                n, numberedMs / 1000.0, settledMs / 1000.0, lines);

    const int sent = qMax(20, 30000 / (n - 1));
    clock.restart();
    for (int i = 0; i < sent; ++i)
        members[0]->send(QStringLiteral("[消息]m1说： 第%1行").arg(i));
    const bool done = waitUntil([&] {
        return std::all_of(members.begin() + 1, members.end(),
                           [sent](auto &m) { return m->messages >= sent; });
    });
    const qint64 ms = clock.elapsed();
    if (!done) {
        std::printf("at once  N=%-3d  relay not finished within %d s\n", n, kTimeLimitMs / 1000);
        return;
    }
    const long long relayed = (long long)sent * (n - 1);
    std::printf("at once  N=%-3d  %5d lines from one member to %2d others: %7.3f s, %.0f relayed lines/s\n",
                n, sent, n - 1, ms / 1000.0, relayed * 1000.0 / qMax<qint64>(1, ms));
}

// One member floods; another member's line must still come through, and memory must stay bounded.
void benchFlood(int others) {
    Host host;
    qint64 ms = 0;
    Members members = joinOneByOne(host, 2 + others, &ms);
    if (members.empty()) {
        std::printf("flood    could not join\n");
        return;
    }
    Member &flooder = *members[0];
    Member &talker = *members[1];
    Member &listener = *members[2 % members.size()];
    pause(300);
    const qint64 before = residentBytes();
    qint64 peak = before;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peak = qMax(peak, residentBytes()); });
    sampler.start(10);

    constexpr int kFlood = 50000;
    QElapsedTimer clock;
    clock.start();
    listener.clock = &clock;
    listener.watchFor = QStringLiteral("[消息]乙说： 插一句");
    for (int i = 0; i < kFlood; ++i)
        flooder.send(QStringLiteral("[消息]甲说： 刷屏第%1行，占住主机的发送队列").arg(i));
    // The other member speaks once the flood is well under way.
    waitUntil([&] { return listener.messages >= 2000; }, 30000);
    const int floodSeen = listener.messages;
    const qint64 spokeAtNs = clock.nsecsElapsed();
    talker.send(listener.watchFor);
    waitUntil([&] { return listener.watchedAtNs >= 0; }, 60000);
    const bool arrived = listener.watchedAtNs >= 0;
    const bool floodDone = waitUntil([&] { return listener.messages >= kFlood + 1; }, 120000);
    waitUntil([&] { return host.session.queue().isEmpty(); }, 10000);
    sampler.stop();
    peak = qMax(peak, residentBytes());
    if (arrived)
        std::printf("flood    %d lines by one member (%d others): another member's line, sent after %d flood "
                    "lines had arrived, came after %.1f ms   (target < 1 s)\n",
                    kFlood, others + 1, floodSeen, (listener.watchedAtNs - spokeAtNs) / 1e6);
    else
        std::printf("flood    another member's line never arrived\n");
    std::printf(
        "flood    whole flood relayed: %s in %.3f s; memory grew by %.1f MB at most   (target < 50 MB); "
        "backlog left: %lld lines (resident before: %.1f MB)\n",
        floodDone ? "yes" : "no", clock.elapsed() / 1000.0, (peak - before) / 1048576.0,
        (long long)host.session.queue().size(), before / 1048576.0);
}

void benchIdle() {
    Host host;
    qint64 ms = 0;
    const Members members = joinOneByOne(host, 5, &ms);
    pause(500);
    const quint64 ticks = host.session.queue().ticks();
    pause(3000);
    std::printf(
        "idle     host with %zu members, 3 s without traffic: %llu pump ticks, pump %s   (target none)\n",
        members.size(), (unsigned long long)(host.session.queue().ticks() - ticks),
        host.session.queue().isPumping() ? "running" : "stopped");
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("LAN session on loopback (pump tick %d ms, traffic logs shown)\n", SendQueue::kTickMs);
    // The floods first, while the process has not grown yet: the memory figure is honest then.
    benchFlood(1);
    benchFlood(8);
    benchRelayAndLatency();
    benchJoinOneByOne(50);
    for (const int n : {2, 10, 50})
        benchJoinAndRelay(n);
    benchIdle();
    return 0;
}
