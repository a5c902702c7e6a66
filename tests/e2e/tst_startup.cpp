#include "TavloProcess.h"

#include <QFileInfo>
#include <QTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void appliesItsSettingsAndWritesThemBackOnSigterm() {
        TavloProcess tavlo;
        tavlo.writeFile(QStringLiteral("Tavlo.ini"),
                        "; office settings\n[Tavlo]\nPlatformName=设计部\nPort=1500\nIP=300.1.1.1\n"
                        "VIPList=127.0.0.2|bad|127.0.0.2\nRecentID=甲\n[ICQ]\nColor=16\n[MIS]\nName=图号\n");
        // SIGTERM at once, while the program is still starting: it is caught from the first moment and
        // ends in a normal exit once the window stands.
        QVERIFY(tavlo.start());
        QCOMPARE(tavlo.terminate(), 0);

        const QString saved = QString::fromUtf8(tavlo.readFile(QStringLiteral("Tavlo.ini")));
        QVERIFY(saved.startsWith(
            QStringLiteral("; office settings\n[Tavlo]\nPlatformName=设计部\nPort=1500\n"
                           "IP=127.0.0.1\nVIPList=127.0.0.2\nRecentID=甲\nRecentServer=False\n")));
        QVERIFY(saved.contains(QStringLiteral("Color=1\n")));
        QVERIFY(saved.contains(QStringLiteral("Name=图号\n")));
        QVERIFY(saved.contains(QStringLiteral("Inputer=录入者\n")));
    }

    void aSecondCopyEndsAtOnce() {
        TavloProcess tavlo;
        QVERIFY(tavlo.start());
        QProcess *second = tavlo.startSecond();
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(tavlo.process().state(), QProcess::Running);
        QCOMPARE(tavlo.terminate(), 0);
        QVERIFY(QFileInfo::exists(tavlo.file(QStringLiteral("Tavlo.ini"))));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
