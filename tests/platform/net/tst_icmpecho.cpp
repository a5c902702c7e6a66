#include "platform/net/IcmpEcho.h"
#include "platform/net/IcmpPacket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <optional>
#include <utility>

#ifdef Q_OS_LINUX
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

using namespace tavlo::net;

namespace {

// An echo reply as a raw socket receives it: a 20-byte IPv4 header, then the ICMP message.
QByteArray rawReply(quint16 id, quint16 seq, const QByteArray &data, quint8 type = icmp::kEchoReply) {
    QByteArray message = icmp::BuildEchoRequest(id, seq, data);
    message[0] = char(type);
    message[2] = message[3] = 0;
    qToBigEndian<quint16>(icmp::Checksum(message), message.data() + 2);
    QByteArray ip(20, '\0');
    ip[0] = char(0x45);
    ip[8] = char(64);
    return ip + message;
}

// One echo carrying "My Request" to the address with a 200 ms time-out, waited for: its result and
// reply; a result of 1 with an empty reply when it never reported.
std::pair<int, EchoReply> echo(const QString &address) {
    QObject context;
    std::optional<std::pair<int, EchoReply>> outcome;
    StartEcho(ParseIPv4(address), "My Request", 200, &context,
              [&outcome](int result, const EchoReply &reply) { outcome.emplace(result, reply); });
    if (outcome)
        return {1, EchoReply{}}; // it must not report from inside the call that starts it
    if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 5000))
        return {1, EchoReply{}};
    return *outcome;
}

#ifdef Q_OS_LINUX
// Moves this thread into a network namespace of its own whose loopback is up but ignores echo requests.
bool enterSilentNamespace() {
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = ::ioctl(fd, SIOCGIFFLAGS, &ifr) == 0 && (ifr.ifr_flags |= IFF_UP, true) &&
                    ::ioctl(fd, SIOCSIFFLAGS, &ifr) == 0;
    ::close(fd);
    QFile ignore(QStringLiteral("/proc/sys/net/ipv4/icmp_echo_ignore_all"));
    return up && ignore.open(QIODevice::WriteOnly) && ignore.write("1") == 1;
}
#endif

} // namespace

class TestIcmpEcho : public QObject {
    Q_OBJECT

private slots:
    void addressesKeepTheFirstPartInTheLowestByte() {
        const quint32 value = ParseIPv4(QStringLiteral("198.51.100.20"));
        QCOMPARE(value & 0xFF, 198u);
        QCOMPARE(value >> 24, 20u);
        QCOMPARE(value, 198u + 51u * 256u + 100u * 65536u + 20u * 16777216u);
        QCOMPARE(FormatIPv4(value), QStringLiteral("198.51.100.20"));
        QCOMPARE(ParseIPv4(QStringLiteral("1.2.3")), 0u);
        QCOMPARE(ParseIPv4(QStringLiteral("1.2.3.4.5")), 0u);
        QCOMPARE(ParseIPv4(QString()), 0u);
        QCOMPARE(ParseIPv4(QStringLiteral("257.0.0.1")), 1u + (1u << 24)); // each part modulo 256
        QCOMPARE(ParseIPv4(QStringLiteral(" 127.0.0.1 ")), ParseIPv4(QStringLiteral("127.0.0.1")));
    }

    void requestsCarryAValidChecksum() {
        const QByteArray request = icmp::BuildEchoRequest(0x1234, 7, "My Request");
        QCOMPARE(request.size(), 18);
        QCOMPARE(quint8(request[0]), icmp::kEchoRequest);
        QCOMPARE(icmp::Checksum(request), quint16(0));
        QCOMPARE(request.mid(8), QByteArray("My Request"));
        // Odd lengths are padded for the sum.
        QCOMPARE(icmp::Checksum(icmp::BuildEchoRequest(1, 1, "abc")), quint16(0));
    }

    void onlyTheMatchingReplyIsAccepted() {
        const icmp::EchoMatch match{0x1234, 7, true};
        QByteArray data;
        quint8 ttl = 0;
        QVERIFY(icmp::ReadEchoReply(rawReply(0x1234, 7, "My Request"), true, match, &data, &ttl));
        QCOMPARE(data, QByteArray("My Request"));
        QCOMPARE(ttl, quint8(64));

        QVERIFY(!icmp::ReadEchoReply(rawReply(0x1235, 7, "x"), true, match, &data)); // someone else's
        QVERIFY(!icmp::ReadEchoReply(rawReply(0x1234, 8, "x"), true, match, &data)); // older request
        QVERIFY(!icmp::ReadEchoReply(rawReply(0x1234, 7, "x", icmp::kEchoRequest), true, match, &data));
        QByteArray corrupt = rawReply(0x1234, 7, "My Request");
        corrupt[30] = 'X';
        QVERIFY(!icmp::ReadEchoReply(corrupt, true, match, &data));
        QVERIFY(!icmp::ReadEchoReply(rawReply(0x1234, 7, "x").left(25), true, match, &data));
        QVERIFY(!icmp::ReadEchoReply(QByteArray(3, '\0'), false, match, &data));

        // Datagram sockets hand over the ICMP message only, and the kernel picks the identifier.
        const QByteArray message = rawReply(0x9999, 7, "My Request").mid(20);
        QVERIFY(icmp::ReadEchoReply(message, false, {0x1234, 7, false}, &data));
        QCOMPARE(data, QByteArray("My Request"));
    }

    void loopbackAnswersARealEcho() {
        if (AvailableEchoMethod() == EchoMethod::Unavailable)
            QSKIP("this system forbids ICMP sockets");
        // An echo whose context goes first never reports; the echo after it is the marker.
        bool reported = false;
        {
            QObject gone;
            StartEcho(ParseIPv4(QStringLiteral("127.0.0.1")), "My Request", 200, &gone,
                      [&reported](int, const EchoReply &) { reported = true; });
        }
        const auto [result, reply] = echo(QStringLiteral("127.0.0.1"));
        QVERIFY(!reported);
        QVERIFY2(result >= 0, qPrintable(QString::number(result)));
        QCOMPARE(reply.status, kEchoSuccess);
        QCOMPARE(reply.data, QByteArray("My Request"));
        QCOMPARE(reply.dataSize(), 10);
        QCOMPARE(FormatIPv4(reply.address), QStringLiteral("127.0.0.1"));
        QVERIFY(reply.roundTripTime < 200);
    }

    // Last: it moves the test's thread into a namespace of its own.
    void aSilentAddressTimesOutWhileTheEventLoopRuns() {
#ifdef Q_OS_LINUX
        if (AvailableEchoMethod() == EchoMethod::Unavailable)
            QSKIP("this system forbids ICMP sockets");
        if (!enterSilentNamespace())
            QSKIP("cannot make a network namespace here");
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(10);
        QElapsedTimer clock;
        clock.start();
        const auto [result, reply] = echo(QStringLiteral("127.0.0.1"));
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(result, -int(kEchoTimedOut));
        QCOMPARE(reply.status, kEchoTimedOut);
        QCOMPARE(reply.dataSize(), 0);
        QVERIFY2(elapsed >= 190 && elapsed < 1000, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
#else
        QSKIP("network namespaces are a Linux feature");
#endif
    }
};

QTEST_GUILESS_MAIN(TestIcmpEcho)
#include "tst_icmpecho.moc"
