// The main window's part in the session: menus locked while a session runs, the caption, and what is
// saved at exit.
#include "LoopbackPeer.h"
#include "app/FrmMain.h"
#include "chat/ChatPanel.h"
#include "chat/DrawingBoard.h"
#include "session/HostRole.h"
#include "session/MemberRole.h"
#include "session/Session.h"
#include "session/SessionSockets.h"

#include "TestFiles.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

class TestFrmMainSession : public QObject {
    Q_OBJECT

private slots:
    void hostingLocksTheSettingsMenusAndIsRememberedAtExit() {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Tavlo.ini"));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        QVERIFY(TestFiles::write(
            ini, QStringLiteral("[Tavlo]\nPlatformName=设计部\nPort=%1\nRecentID=主\n").arg(port).toUtf8()));

        FrmMain w(ini);
        w.Form_Load();
        w.session().sockets().setListenAddress(QHostAddress::LocalHost);
        QCOMPARE(w.txtID->text(), QStringLiteral("主"));
        w.session().host().cmdHost_Click();
        QCOMPARE(w.session().SessionStatus(), int(Session::HostingAlone));
        QCOMPARE(w.windowTitle(), QStringLiteral("设计部 - 主"));
        QVERIFY(!w.mnuPlatform->isEnabled());
        QVERIFY(!w.mnuCustomize->isEnabled());
        QVERIFY(w.mnuMember->isEnabled());

        // What a host sends as its customisation is what the window shows.
        QCOMPARE(
            w.session().customisationText(),
            QStringLiteral("物料信息管理系统|物料名称|物料描述|型号与规格|应用项目|项目日期|品牌或厂家|单位|"
                           "数量|价格(元)|NC 编码"));

        w.close();
        QVERIFY(QString::fromUtf8(TestFiles::read(ini)).contains(QStringLiteral("RecentServer=True\n")));
        QCOMPARE(w.session().SessionStatus(), int(Session::Idle)); // every socket closed at exit
    }

    void aStrokeOnTheHostsBoardReachesAPlainClient() {
        QTemporaryDir dir;
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        const QString ini = dir.filePath(QStringLiteral("Tavlo.ini"));
        QVERIFY(TestFiles::write(
            ini,
            QStringLiteral("[Tavlo]\nPort=%1\nRecentID=主\n[ICQ]\nBrush=2\nColor=15\n").arg(port).toUtf8()));

        FrmMain w(ini);
        w.Form_Load();
        w.session().sockets().setListenAddress(QHostAddress::LocalHost);
        w.session().host().cmdHost_Click();
        LoopbackPeer client(new QTcpSocket);
        QVERIFY(client.connectTo(port));
        client.send(QStringLiteral("[加入]客"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return !client.lines().isEmpty() &&
                       client.lines().last().startsWith(QStringLiteral("[定制信息]"));
            },
            5000));
        const int before = int(client.lines().size());

        w.ShowPanel(1);
        QTest::mouseClick(w.chatPanel->picDraw, Qt::LeftButton, {}, QPoint(4, 6));
        // Closing at once: what was queued last still leaves before the connections close.
        w.close();
        QVERIFY(client.waitForLines(before + 2));
        QCOMPARE(client.lines().mid(before),
                 (QStringList{QStringLiteral("[画笔]2"),
                              QStringLiteral("[直线]0000000060000000009000000000600000000090") +
                                  QStringLiteral("0016711680")}));
    }

    void aHostsCustomisationReplacesTheCaptions() {
        LoopbackHost fakeHost;
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Tavlo.ini"));
        QVERIFY(TestFiles::write(
            ini, QStringLiteral("[Tavlo]\nPort=%1\nRecentID=客\nConnectMode=1\nVIPList=127.0.0.1\n")
                     .arg(fakeHost.port())
                     .toUtf8()));
        FrmMain w(ini);
        w.Form_Load();
        w.session().setPinger([](const QString &) { return modPing::Echo::Answered; });
        w.session().member().cmdConnect_Click();
        QVERIFY(fakeHost.waitForPeer());
        LoopbackPeer *h = fakeHost.peers().first();
        QVERIFY(h->waitForLines(1));

        h->send(QStringLiteral("[定制信息]资产系统|名称|描述|型号|项目|日期|品牌|单位|数量|价格|编码"));
        QTRY_COMPARE(w.fraMain[2]->title(), QStringLiteral("资产系统"));
        QCOMPARE(w.mnuItem[2]->text(), QStringLiteral("资产系统"));
        QCOMPARE(w.settings().schema.attributes[0], QStringLiteral("名称"));
        QCOMPARE(w.settings().schema.attributes[9], QStringLiteral("编码"));
        QCOMPARE(w.settings().schema.attributes[10], QStringLiteral("录入者"));
        // A short list changes what it names and nothing else.
        h->send(QStringLiteral("[定制信息]系统二|甲"));
        QTRY_COMPARE(w.settings().schema.attributes[0], QStringLiteral("甲"));
        QCOMPARE(w.settings().schema.attributes[1], QStringLiteral("描述"));

        h->send(QStringLiteral("[平台名称]总部"));
        QTRY_COMPARE(w.settings().platformName, QStringLiteral("总部"));
        w.close();
    }
};

QTEST_MAIN(TestFrmMainSession)
#include "tst_frmmain_session.moc"
