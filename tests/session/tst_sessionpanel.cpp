// The connection-management panel as a user sees it: buttons, boxes, lists and the session log.
#include "SessionProbe.h"

#include "session/SessionPanel.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestSessionPanel : public QObject {
    Q_OBJECT

    struct Window {
        QGroupBox frame{QStringLiteral("进程管理")};
        SessionProbe probe{QString()};
        SessionPanel panel{probe.session, &frame};
        Window() { frame.resize(699, 410); }
    };

private slots:
    void controlsCarryTheirCaptionsAndFitThePanel() {
        Window w;
        QCOMPARE(w.panel.cmdHost->text(), QStringLiteral("建立主机"));
        QCOMPARE(w.panel.cmdConnect->text(), QStringLiteral("加入连接"));
        QCOMPARE(w.panel.cmdDisconnect->text(), QStringLiteral("断开"));
        QCOMPARE(w.panel.cmdKick->text(), QStringLiteral("逐出"));
        QCOMPARE(w.panel.cmdClear->text(), QStringLiteral("清除"));
        QVERIFY(w.panel.txtStatus->isReadOnly());
        QCOMPARE(w.panel.lstConnections->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(w.panel.txtStatus->geometry(), QRect(288, 32, 400, 86));
        const QList<QWidget *> children = w.frame.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *child : children) {
            QVERIFY2(w.frame.rect().contains(child->geometry()), qPrintable(child->objectName()));
            for (QWidget *other : children) {
                if (other != child && !other->objectName().isEmpty() && !child->objectName().isEmpty())
                    QVERIFY2(!child->geometry().intersects(other->geometry()),
                             qPrintable(child->objectName() + " " + other->objectName()));
            }
        }
    }

    void hostingFromThePanel() {
        Window w;
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.frame));
        // Without an ID the focus goes to the ID box.
        w.panel.txtIP->setFocus();
        QTest::mouseClick(w.panel.cmdHost, Qt::LeftButton);
        QVERIFY(w.panel.txtID->hasFocus());
        QVERIFY(w.panel.txtStatus->toPlainText().isEmpty());

        w.panel.txtID->insert(QStringLiteral("主")); // as typed (QTest types Latin-1 only)
        QCOMPARE(w.probe.session.id(), QStringLiteral("主"));
        QTest::mouseClick(w.panel.cmdHost, Qt::LeftButton);
        QCOMPARE(w.panel.txtStatus->toPlainText(), QStringLiteral("主机建立"));
        for (QWidget *locked :
             {static_cast<QWidget *>(w.panel.cmdHost), static_cast<QWidget *>(w.panel.cmdConnect),
              static_cast<QWidget *>(w.panel.txtID), static_cast<QWidget *>(w.panel.txtIP)})
            QVERIFY(!locked->isEnabled());
        QVERIFY(w.panel.cmdDisconnect->isEnabled());
        QCOMPARE(w.panel.lstConnections->count(), 1);
        QCOMPARE(w.panel.lstConnections->item(0)->text(), QStringLiteral("主"));
        QCOMPARE(w.panel.lstConnections->item(0)->data(Qt::UserRole).toInt(), -1);

        // A member joins: list, logs and session log follow.
        LoopbackPeer *a = joinRaw(w.probe, w.probe.session.sockets().listeningPort(), QStringLiteral("甲"),
                                  this, QStringLiteral("127.0.0.9"));
        QVERIFY(a);
        QCOMPARE(w.panel.txtStatus->toPlainText(), QStringLiteral("主机建立\n甲加入"));
        QCOMPARE(w.panel.lstConnections->count(), 2);
        QCOMPARE(w.panel.lstConnections->item(1)->data(Qt::UserRole).toInt(), 1);
        // The traffic logs follow in their next batch.
        QTRY_COMPARE(w.panel.lstSent->count(), 7);
        QCOMPARE(w.panel.lstReceived->item(0)->text(), QStringLiteral("连线(1): [加入]甲"));

        // Selecting one entry shows its address; a double-click clears the selection.
        QListWidget *list = w.panel.lstConnections;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        QCOMPARE(w.probe.members().selectedCount(), 1);
        QCOMPARE(list->toolTip(), QStringLiteral("127.0.0.9"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(list->toolTip(), QString());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           list->visualItemRect(list->item(0)).center());
        QTRY_COMPARE(w.probe.members().selectedCount(), 0);
        QVERIFY(list->selectedItems().isEmpty());

        // Kicking through the list's selection.
        list->item(1)->setSelected(true);
        QTest::mouseClick(w.panel.cmdKick, Qt::LeftButton);
        QCOMPARE(list->count(), 1);
        QVERIFY(a->waitForClose());

        QTest::mouseClick(w.panel.cmdDisconnect, Qt::LeftButton);
        QCOMPARE(w.panel.txtStatus->toPlainText().split(u'\n').last(), QStringLiteral("连接断开"));
        QVERIFY(w.panel.cmdHost->isEnabled());
        QVERIFY(w.panel.txtID->isEnabled());
        QCOMPARE(list->count(), 0);
        QCOMPARE(w.panel.lstSent->count(), 0); // the logs start afresh
    }

    void trafficLogsKeepTheNewestLineInView() {
        Window w;
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        for (int i = 0; i < 60; ++i)
            w.panel.LogSent(QStringLiteral("主机: [消息]%1").arg(i));
        // As far up as the list can scroll: the newest line is in view.
        QListWidget *log = w.panel.lstSent;
        QVERIFY(log->viewport()->rect().contains(log->visualItemRect(log->item(59))));
        QCOMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());

        for (int i = 0; i < SessionPanel::kMaxLogLines; ++i)
            w.panel.LogReceived(QString::number(i));
        QCOMPARE(w.panel.lstReceived->count(), SessionPanel::kMaxLogLines);
        w.panel.LogReceived(QStringLiteral("last"));
        QCOMPARE(w.panel.lstReceived->count(), SessionPanel::kMaxLogLines);
        QCOMPARE(w.panel.lstReceived->item(0)->text(), QStringLiteral("1"));

        // A long line is shown cut, with its length: it is neither laid out nor kept whole.
        w.panel.LogReceived(QString(60000, u'长'));
        QCOMPARE(w.panel.lstReceived->item(w.panel.lstReceived->count() - 1)->text(),
                 QString(SessionPanel::kMaxLogLineChars, u'长') + QStringLiteral("…（共 60000 字符）"));
    }

    void trafficLogsAreUpdatedInBatches() {
        Window w;
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        int updates = 0;
        connect(w.panel.lstSent->model(), &QAbstractItemModel::rowsInserted, this, [&] { ++updates; });
        QElapsedTimer clock;
        clock.start();
        int lines = 0;
        // Lines keep coming until the log has been updated a few times.
        while (updates < 5 && clock.elapsed() < 60000) {
            for (int i = 0; i < 20; ++i)
                w.probe.session.LogSent(QStringLiteral("连线(1): [消息]%1").arg(lines++));
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE(w.panel.lstSent->item(w.panel.lstSent->count() - 1)->text(),
                     QStringLiteral("连线(1): [消息]%1").arg(lines - 1));
        QCOMPARE(w.panel.lstSent->count(), qMin(lines, SessionPanel::kMaxLogLines));
        // At most 20 updates a second (and one for what was left at the end).
        QVERIFY2(updates <= clock.elapsed() * SessionPanel::kLogUpdatesPerSecond / 1000 + 2,
                 qPrintable(QString::number(updates)));
        QVERIFY(updates >= 2);
    }

    void theAddressBoxFollowsTheSearch() {
        Window w;
        w.probe.session.setAddress(QStringLiteral("127.0.0.3"));
        QCOMPARE(w.panel.txtIP->text(), QStringLiteral("127.0.0.3"));
        w.panel.txtIP->setText(QStringLiteral("127.0.0.4"));
        QCOMPARE(w.probe.session.address(), QStringLiteral("127.0.0.4"));
    }
};

QTEST_MAIN(TestSessionPanel)
#include "tst_sessionpanel.moc"
