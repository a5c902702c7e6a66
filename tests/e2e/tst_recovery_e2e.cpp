// Whole-program runs: unsaved work on screen survives SIGTERM as a recovery copy, and the next start
// says what it found and keeps it until the user decides.
#include "TavloProcess.h"

#include "platform/text/TextCodec.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

void sendLine(QTcpSocket &socket, const QString &line) {
    socket.write(tavlo::text::toWire(line + QStringLiteral("\r\n")));
    socket.flush();
}

// The joining `tavlo`'s connection, once it has announced itself with "[加入]".
QTcpSocket *acceptMember(QTcpServer &host) {
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (!host.waitForNewConnection(200))
            continue;
        QTcpSocket *candidate = host.nextPendingConnection();
        QByteArray got;
        const QDeadlineTimer line(10000);
        while (!got.contains("\r\n") && !line.hasExpired()) {
            candidate->waitForReadyRead(200);
            got += candidate->readAll();
        }
        if (tavlo::text::fromWire(got).startsWith(QStringLiteral("[加入]")))
            return candidate;
        delete candidate;
    }
    return nullptr;
}

QStringList copies(const QString &home, const QString &pattern) {
    return QDir(home + QStringLiteral("/Recovery")).entryList({pattern}, QDir::Files, QDir::Name);
}

// Cells of the first sheet, read by openpyxl, one line per row, cells joined by "|".
QString readXlsx(const QString &path) {
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, openpyxl\n"
                                 "ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                                 "for row in ws.iter_rows(values_only=True):\n"
                                 "    print('|'.join('' if v is None else str(v) for v in row))\n"),
                  path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QStringLiteral("openpyxl failed: ") + QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput());
}

} // namespace

class TestRecoveryEndToEnd : public QObject {
    Q_OBJECT

private slots:
    // A member shows a host's query answer in a new workbook on screen. SIGTERM: the program exits
    // normally, and the workbook is in a recovery copy that openpyxl reads. The next start names it;
    // ended again before anyone answered, it keeps the copy.
    void anUnsavedWorkbookSurvivesSigtermAndIsOfferedAtTheNextStart() {
        QTcpServer host;
        // 127.0.0.2 is this computer, but not the address a join treats as itself.
        QVERIFY(host.listen(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        TavloProcess tavlo;
        tavlo.writeFile(
            QStringLiteral("Tavlo.ini"),
            QStringLiteral("[Tavlo]\nPort=%1\nIP=127.0.0.2\nRecentID=甲\nConnectMode=0\nAutoConnect=1\n"
                           "RecentServer=False\n[MIS]\nShowMode=1\n")
                .arg(host.serverPort())
                .toUtf8());
        QVERIFY(tavlo.start());
        std::unique_ptr<QTcpSocket> member(acceptMember(host));
        QVERIFY(member);
        const QStringList rows{
            QStringLiteral("离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9"),
            QStringLiteral("闸阀|Z41H|DN100|二期|2026|北方|个|3|880|NC02|127.0.0.9")};
        sendLine(*member, QStringLiteral("[查询条数]0000000002"));
        for (const QString &row : rows)
            sendLine(*member, QStringLiteral("[查询]") + row);
        // Kept a moment after it was made, without any exit.
        QTRY_VERIFY_WITH_TIMEOUT(copies(tavlo.home(), QStringLiteral("*.json")).size() == 1, 60000);
        QCOMPARE(tavlo.terminate(), 0);

        const QStringList kept = copies(tavlo.home(), QStringLiteral("*.xlsx"));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(copies(tavlo.home(), QStringLiteral("*.json")).size(), 1);
        const QString cells = readXlsx(tavlo.home() + QStringLiteral("/Recovery/") + kept.first());
        for (const QString &row : rows)
            QVERIFY2(cells.contains(row), qPrintable(cells));

        TavloProcess again(tavlo.home());
        again.process().setProcessChannelMode(QProcess::MergedChannels);
        QVERIFY(again.start());
        QByteArray said;
        const QDeadlineTimer deadline(60000);
        const QByteArray announcement =
            QStringLiteral("找到上次未保存的 1 个文件的恢复副本：工作簿1").toUtf8();
        while (!said.contains(announcement) && !deadline.hasExpired()) {
            again.process().waitForReadyRead(200);
            said += again.process().readAll();
        }
        QVERIFY2(said.contains(announcement), said.constData());
        QCOMPARE(again.terminate(), 0);
        QCOMPARE(copies(tavlo.home(), QStringLiteral("*.xlsx")), kept);
        QCOMPARE(readXlsx(tavlo.home() + QStringLiteral("/Recovery/") + kept.first()), cells);
    }
};

QTEST_GUILESS_MAIN(TestRecoveryEndToEnd)
#include "tst_recovery_e2e.moc"
