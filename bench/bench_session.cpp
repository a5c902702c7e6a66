// The LAN session on loopback, with the hosting Session, its connection panel (traffic logs included,
// on the offscreen platform) and plain member sockets in this process:
// - relay throughput member -> member, and the latency of single lines at 50 lines/s;
// - 50 members joining one after another; N members joining at once and talking, N = 2, 10, 50;
// - one member flooding 50,000 lines: how long another member's line takes, and the memory it costs;
// - an idle host: how often the send pump wakes up;
// - attacks by one hostile member (long undecodable lines, a long ID, whispers naming one member or the
//   host thousands of times, a flood of chat lines and a member that stops reading, silent
//   connections, 300 joins in a row): the median time another member's chat line takes meanwhile,
//   whether a real member was dropped, and the host's memory before and after (with the chat panel
//   and its transcript, as in the program).
//
// "bench_session attacks [lines|ids|whispers|whispers-host|silent|joins|volume ...]" runs the attacks
// only (all, or those named).
#include "BenchSupport.h"
#include "Python.h"
#include "chat/ChatTool.h"
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
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>

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
    return qint64(statusKb("VmRSS:")) * 1024;
}

// A member socket that counts the lines it receives, notes its own connection number and when chosen
// lines arrived.
struct Member {
    QTcpSocket socket;
    QByteArray pending;
    int lines = 0;
    int messages = 0;
    qsizetype longest = 0; // bytes of the longest line received
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
                longest = qMax(longest, cut);
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

// A hosting Session with its panel on screen, so the traffic logs cost what they cost in the program,
// and the chat with its transcript.
struct Host {
    QGroupBox frame{QStringLiteral("进程管理")};
    Session session;
    SessionPanel panel{session, &frame};
    QGroupBox chatFrame{QStringLiteral("ICQ")};
    ChatTool chat{&chatFrame, session, [] {}};
    quint16 port = 0;

    Host() {
        frame.resize(699, 410);
        frame.show();
        chatFrame.resize(699, 410);
        chatFrame.show();
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

// --- Attacks -------------------------------------------------------------------------------------

// What members enforce: a longer line makes a member drop the host.
constexpr qsizetype kMemberLineCap = 64 * 1024;

qint64 trimmedResidentBytes() {
    malloc_trim(0);
    return residentBytes();
}

// Two real members, one talking every 20 ms to the other while an attack runs; the chat lines' delays.
struct Watch {
    Host &host;
    Members members; // [0] talker, [1] listener, then the attacker's joined sockets
    std::vector<qint64> sentAtNs;
    std::vector<qint64> delaysUs;
    QElapsedTimer clock;
    QTimer talk;
    int next = 0;

    Watch(Host &h, int attackers)
        : host(h) {
        qint64 ms = 0;
        members = joinOneByOne(host, 2 + attackers, &ms);
        clock.start();
        if (members.size() < 2)
            return;
        members[1]->onMessage = [this](const QString &line) {
            const int i = line.section(u'#', 1).toInt();
            if (line.startsWith(QStringLiteral("[消息]乙说： 插话#")) && i >= 0 && i < int(sentAtNs.size()))
                delaysUs.push_back((clock.nsecsElapsed() - sentAtNs[size_t(i)]) / 1000);
        };
        QObject::connect(&talk, &QTimer::timeout, [this] {
            sentAtNs.push_back(clock.nsecsElapsed());
            members[0]->send(QStringLiteral("[消息]乙说： 插话#%1").arg(next++));
            members[0]->socket.flush();
        });
    }
    bool ok() const { return members.size() >= 2; }
    Member &attacker(int i = 0) { return *members[size_t(2 + i)]; }
    void start() { talk.start(20); }
    // Stops talking once the attack is over and the last line came (or could not).
    void stop() {
        talk.stop();
        waitUntil([this] { return delaysUs.size() >= sentAtNs.size(); }, 30000);
    }
    bool realMemberDropped() const {
        for (size_t i = 0; i < 2 && i < members.size(); ++i) {
            if (members[i]->socket.state() != QAbstractSocket::ConnectedState ||
                members[i]->longest > kMemberLineCap)
                return true;
        }
        return false;
    }
    double medianMs() {
        if (delaysUs.empty())
            return -1;
        std::sort(delaysUs.begin(), delaysUs.end());
        return delaysUs[delaysUs.size() / 2] / 1000.0;
    }
    double maxMs() const {
        return delaysUs.empty() ? -1 : *std::max_element(delaysUs.begin(), delaysUs.end()) / 1000.0;
    }
};

void report(const char *name, Watch &watch, qint64 before, qint64 elapsedMs) {
    // After the attack: the attacker's connections are gone and the host has settled.
    for (size_t i = 2; i < watch.members.size(); ++i)
        watch.members[i]->socket.abort();
    waitUntil([&] { return watch.host.session.queue().isEmpty(); }, 30000);
    pause(300);
    const qint64 after = trimmedResidentBytes();
    std::printf(
        "attack   %-34s %6.1f s: chat median %7.1f ms (max %7.1f, %zu/%zu lines)   (target < 100 ms); "
        "real member dropped: %s; memory %+.1f MB after   (target within 20 MB)\n",
        name, elapsedMs / 1000.0, watch.medianMs(), watch.maxMs(), watch.delaysUs.size(),
        watch.sentAtNs.size(), watch.realMemberDropped() ? "YES" : "no", (after - before) / 1048576.0);
    std::fflush(stdout);
}

// One attack on a new host that two real members use meanwhile; `attackers` more joined members are the
// attacker's. The attack returns false when it could not run (nothing is reported then).
void runAttack(const char *name, int attackers, const std::function<bool(Host &, Watch &)> &attack) {
    Host host;
    Watch watch(host, attackers);
    if (!watch.ok())
        return;
    const qint64 before = trimmedResidentBytes();
    QElapsedTimer clock;
    clock.start();
    watch.start();
    const bool ran = attack(host, watch);
    watch.stop();
    if (ran)
        report(name, watch, before, clock.elapsed());
}

// One joined attacker sends lines of 20,000 bytes that are no GB18030.
void attackUndecodableLines() {
    runAttack("100 lines of 20,000 bytes 0xFF", 1, [](Host &, Watch &watch) {
        const QByteArray line =
            tavlo::text::toWire(QStringLiteral("[消息]")) + QByteArray(20000, '\xff') + "\r\n";
        for (int i = 0; i < 100; ++i) {
            watch.attacker().socket.write(line);
            waitUntil([&] { return watch.members[1]->messages >= i + 1 || watch.realMemberDropped(); },
                      10000);
        }
        return true;
    });
}

// Attackers join with IDs of 17,000 undecodable bytes; the real members stay.
void attackLongIds() {
    runAttack("50 joins with 17,000-byte IDs", 0, [](Host &host, Watch &watch) {
        const QByteArray join =
            tavlo::text::toWire(QStringLiteral("[加入]")) + QByteArray(17000, '\xff') + "\r\n";
        const auto answeredOrGone = [](Member &m) {
            return waitUntil(
                [&m] { return m.replied || m.socket.state() != QAbstractSocket::ConnectedState; }, 10000);
        };
        Members attackers;
        for (int i = 0; i < 50; ++i) {
            attackers.push_back(std::make_unique<Member>());
            if (!attackers.back()->connectTo(host.port))
                break;
            attackers.back()->socket.write(join);
            answeredOrGone(*attackers.back());
            // A real member joining meanwhile gets the member list with every ID in it.
            Member newcomer;
            if (newcomer.connectTo(host.port)) {
                newcomer.send(QStringLiteral("[加入]新%1").arg(i));
                answeredOrGone(newcomer);
                if (newcomer.longest > kMemberLineCap)
                    watch.members[1]->longest = newcomer.longest; // counts as a dropped real member
            }
        }
        return true;
    });
}

// Whispers naming the listener 3,000 times, then the host 300 times.
void attackWhispers(bool toHost) {
    runAttack(toHost ? "20 whispers naming the host 300x" : "20 whispers naming a member 3000x", 1,
              [toHost](Host &host, Watch &watch) {
                  const int copies = toHost ? 300 : 3000;
                  const QString number = toHost ? QStringLiteral("-000000001") : QStringLiteral("0000000002");
                  const QString whisper = QStringLiteral("[悄悄话]") +
                                          QStringLiteral("%1").arg(copies, 10, 10, QLatin1Char('0')) +
                                          number.repeated(copies) + QStringLiteral("甲悄悄说：") +
                                          QString(20000, u'x');
                  for (int i = 0; i < 20; ++i)
                      watch.attacker().send(whisper);
                  watch.attacker().send(QStringLiteral("[消息]甲说： 完"));
                  waitUntil(
                      [&] {
                          return watch.members[1]->messages > 0 && watch.members[1]->lines > 0 &&
                                 host.session.queue().isEmpty() && watch.sentAtNs.size() > 25;
                      },
                      180000);
                  return true;
              });
}

// 300,000 chat lines through the host (its transcript and traffic logs), and a member that never reads.
void attackChatVolume() {
    runAttack("300,000 chat lines, one non-reader", 1, [](Host &host, Watch &watch) {
        // A joined member that takes nothing it is sent.
        QTcpSocket sink;
        sink.setReadBufferSize(1);
        sink.connectToHost(QHostAddress::LocalHost, host.port);
        sink.waitForConnected(5000);
        sink.write(tavlo::text::toWire(QStringLiteral("[加入]不读\r\n")));
        constexpr int kLines = 300000;
        for (int sent = 0; sent < kLines;) {
            QByteArray chunk;
            for (int i = 0; i < 1000; ++i, ++sent)
                chunk +=
                    tavlo::text::toWire(QStringLiteral("[消息]甲说： 第%1行，一句平常的话\r\n").arg(sent));
            watch.attacker().socket.write(chunk);
            waitUntil([&] { return watch.attacker().socket.bytesToWrite() < 1024 * 1024; }, 30000);
        }
        waitUntil([&] { return watch.members[1]->messages >= kLines; }, 180000);
        return true;
    });
}

// Another process holds 295 connections that never join while this one may open 256 descriptors;
// then a newcomer joins and the host opens a file (as records open MIS.xls).
void attackSilentConnections() {
    runAttack("295 silent connections", 0, [](Host &host, Watch &) {
        QProcess holder;
        holder.start(Python::kPath, Python::connectionHolderArguments(295, host.port));
        if (!holder.waitForStarted(10000)) {
            std::printf("attack   silent connections: no python3\n");
            return false;
        }
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = 256;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        holder.write("go\n");
        waitUntil([&] { return holder.canReadLine() || holder.state() != QProcess::Running; }, 60000);
        pause(500);
        QElapsedTimer joinClock;
        joinClock.start();
        Member newcomer;
        const bool connected = newcomer.connectTo(host.port);
        if (connected)
            newcomer.send(QStringLiteral("[加入]新人"));
        const bool joined = connected && waitUntil([&] { return newcomer.replied; }, 30000);
        const qint64 joinMs = joinClock.elapsed();
        QTemporaryFile file;
        const bool fileOpens = file.open();
        file.close();
        std::printf("attack   295 silent connections, 256 descriptors: a newcomer %s (%.0f ms), a file %s\n",
                    joined ? "joined" : "could NOT join", double(joinMs),
                    fileOpens ? "opens" : "does NOT open");
        holder.closeWriteChannel();
        holder.waitForFinished(10000);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        return true;
    });
}

// 300 members join one after another while two others talk.
void attackJoinStorm() {
    runAttack("300 joins in a row (target < 1 s)", 0, [](Host &host, Watch &) {
        QElapsedTimer clock;
        clock.start();
        Members joiners;
        for (int i = 0; i < 300; ++i) {
            joiners.push_back(std::make_unique<Member>());
            Member &m = *joiners.back();
            if (!m.connectTo(host.port))
                break;
            m.send(QStringLiteral("[加入]j%1").arg(i + 1));
            if (!waitUntil([&m] { return m.replied; }, 30000))
                break;
        }
        const qint64 joinedMs = clock.elapsed();
        waitUntil([&] { return host.session.queue().isEmpty(); }, 180000);
        pause(200);
        long long lines = 0;
        for (const auto &m : joiners)
            lines += m->lines;
        std::printf("attack   300 joins in a row: all joined after %.1f s, %lld lines to the joiners\n",
                    joinedMs / 1000.0, lines);
        return true;
    });
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
    const bool attacksOnly = argc > 1 && qstrcmp(argv[1], "attacks") == 0;
    if (attacksOnly) {
        // "attacks" runs all of them, "attacks NAME..." the ones named.
        const QStringList chosen = QCoreApplication::arguments().mid(2);
        const std::pair<const char *, std::function<void()>> attacks[] = {
            {"lines", attackUndecodableLines},
            {"ids", attackLongIds},
            {"whispers", [] { attackWhispers(false); }},
            {"whispers-host", [] { attackWhispers(true); }},
            {"silent", attackSilentConnections},
            {"joins", attackJoinStorm},
            {"volume", attackChatVolume},
        };
        for (const auto &[name, run] : attacks) {
            if (chosen.isEmpty() || chosen.contains(QLatin1String(name)))
                run();
        }
        return 0;
    }
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
