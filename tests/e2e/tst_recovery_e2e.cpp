// Whole-program runs: unsaved work on screen survives SIGTERM as a recovery copy, and the next start
// says what it found and keeps it until the user decides.
#include "LineSocket.h"
#include "Python.h"
#include "TavloProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

namespace {

QStringList copies(const QString &home, const QString &pattern) {
    return QDir(home + QStringLiteral("/Recovery")).entryList({pattern}, QDir::Files, QDir::Name);
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
        tavlo.writeJoinSettings(host.serverAddress().toString(), host.serverPort(),
                                QStringLiteral("[MIS]\nShowMode=1\n"));
        QVERIFY(tavlo.start());
        const std::unique_ptr<LineSocket> member = LineSocket::acceptMember(host);
        QVERIFY(member);
        QCOMPARE(member->lines(), QStringList{"[加入]甲"});
        const QStringList rows{
            QStringLiteral("离心泵|IS80|DN80|一期|2026|南方|台|0012|12500.5|NC01|127.0.0.9"),
            QStringLiteral("闸阀|Z41H|DN100|二期|2026|北方|个|3|880|NC02|127.0.0.9")};
        member->send(QStringLiteral("[查询条数]0000000002"));
        for (const QString &row : rows)
            member->send(QStringLiteral("[查询]") + row);
        // Kept a moment after it was made, without any exit.
        QTRY_VERIFY_WITH_TIMEOUT(copies(tavlo.home(), QStringLiteral("*.json")).size() == 1, 60000);
        QCOMPARE(tavlo.terminate(), 0);

        const QStringList kept = copies(tavlo.home(), QStringLiteral("*.xlsx"));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(copies(tavlo.home(), QStringLiteral("*.json")).size(), 1);
        const QString cells = Python::xlsxRows(tavlo.home() + QStringLiteral("/Recovery/") + kept.first());
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
        QCOMPARE(Python::xlsxRows(tavlo.home() + QStringLiteral("/Recovery/") + kept.first()), cells);
    }
};

QTEST_GUILESS_MAIN(TestRecoveryEndToEnd)
#include "tst_recovery_e2e.moc"
