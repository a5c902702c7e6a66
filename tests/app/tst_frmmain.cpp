#include "app/ElidedLabel.h"
#include "app/FrmMain.h"
#include "app/FrmMember.h"
#include "app/FrmPlatform.h"
#include "app/OfficeWindows.h"
#include "chat/ChatPanel.h"
#include "common/TextViewer.h"
#include "infosys/InfoPanel.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "TestFiles.h"

class TestFrmMain : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("Tavlo.ini")); }

    static QStringList captions(const QMenu *menu) {
        QStringList result;
        for (const QAction *a : menu->actions())
            result << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return result;
    }

private slots:
    void initTestCase() { installOfficeWindows(); }
    void menusCarryTheirCaptions() {
        FrmMain w(settingsPath());
        w.Form_Load();
        QCOMPARE(captions(w.mnuBegin), (QStringList{"隐藏(&H)", "-", "退出(&E)"}));
        QCOMPARE(w.mnuBegin->defaultAction(), w.mnuShowOrHide);
        QCOMPARE(captions(w.mnuFunction),
                 (QStringList{"进程管理", "ICQ", "物料信息管理系统", "-", "采购申请单", "AutoCAD 文字", "-",
                              "压缩文件", "解压文件"}));
        QCOMPARE(captions(w.mnuSetting), (QStringList{"平台设置", "成员管理", "-", "定制<信息管理系统>"}));
        QCOMPARE(captions(w.mnuHelp), (QStringList{"说明", "-", "Morvane主页", "-", "关于"}));
        QCOMPARE(w.LabTip[0]->text(), QStringLiteral("提示："));
        QCOMPARE(w.fraMain[3]->title(), QStringLiteral("对应菜单选项"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavlo"));
    }

    void memberListFollowsPanelsZeroAndOne() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.show();
        QCOMPARE(w.currentPanel(), 0);
        QCOMPARE(w.lstConnections->parentWidget(), w.fraMain[0]);
        QCOMPARE(w.lstConnections->geometry(), QRect(144, 137, 129, 228));

        w.mnuItem[1]->trigger();
        QCOMPARE(w.currentPanel(), 1);
        QCOMPARE(w.lstConnections->parentWidget(), w.fraMain[1]);
        QCOMPARE(w.lstConnections->geometry(), QRect(562, 24, 129, 340));
        QVERIFY(w.lstConnections->isVisible());

        w.ShowPanel(3); // the placeholder is never shown
        QCOMPARE(w.currentPanel(), 1);
        w.ShowPanel(2);
        QCOMPARE(w.currentPanel(), 2);
        QVERIFY(!w.lstConnections->isVisible());
        w.ShowPanel(0);
        QCOMPARE(w.lstConnections->parentWidget(), w.fraMain[0]);
        QCOMPARE(w.lstConnections->geometry(), QRect(144, 137, 129, 228));
    }

    void whisperNotificationRaisesTheChatPanel() {
        QVERIFY(QFile::exists(QStringLiteral(":/tavlo/Notify.wav"))); // the built-in sound
        FrmMain w(settingsPath());
        w.Form_Load();
        w.showMinimized();
        w.NotifyUser();
        QCOMPARE(w.currentPanel(), 1);
        QVERIFY(!w.isMinimized());
        QVERIFY(w.isVisible());
    }

    // No notification area (the offscreen desktop has none): the icon waits for one to appear, and
    // minimising leaves an ordinary minimised window instead of hiding it where nothing can restore it.
    void minimisingWithoutATrayKeepsTheWindowReachable() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.trayIcon() && w.trayIcon()->isVisible());
        w.mnuShowOrHide_Click();
        QTRY_COMPARE(w.mnuShowOrHide->text(), QStringLiteral("显示(&S)"));
        QCoreApplication::processEvents(); // a queued hide would run here
        QVERIFY(w.isMinimized());
        QVERIFY(!w.isHidden());
        w.mnuShowOrHide_Click();
        QTRY_VERIFY(!w.isMinimized());
        QCOMPARE(w.mnuShowOrHide->text(), QStringLiteral("隐藏(&H)"));
    }

    // With no program to open files or links (no xdg-open on the PATH), both help items still show the
    // guide in Tavlo's own viewer and say why on the status line.
    void helpWithoutADesktopHelperShowsTheGuideInItsOwnViewer() {
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir emptyBin;
        qputenv("PATH", emptyBin.path().toUtf8());
        FrmMain w(settingsPath());
        w.Form_Load();
        w.mnuNote->trigger();
        qputenv("PATH", path);
        QVERIFY(w.textViewer());
        QTRY_VERIFY(w.textViewer()->isVisible());
        QVERIFY(w.textViewer()->text().startsWith(QStringLiteral("一、进程管理部分\n1.在此处建立连接；")));
        QCOMPARE(w.textViewer()->windowTitle(), QStringLiteral("ReadMe.txt"));
        QVERIFY2(w.LabTip[1]->text().contains(QStringLiteral("没有可以打开")),
                 qPrintable(w.LabTip[1]->text()));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("ReadMe.txt")))); // in the data folder

        w.textViewer()->close();
        qputenv("PATH", emptyBin.path().toUtf8());
        w.mnuHomePage->trigger();
        qputenv("PATH", path);
        QTRY_VERIFY(w.textViewer()->isVisible());
        QVERIFY2(w.LabTip[1]->text().contains(QStringLiteral("https://morvane.example/")),
                 qPrintable(w.LabTip[1]->text()));
    }

    void terminationAsksNothingAboutUnsavedWorkbooks() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.officeSlots.AttachExcel(OfficeSlots::QueryDisplay, true, true);
        auto *book = w.officeSlots.excel(OfficeSlots::QueryDisplay)->application->Workbooks().Add();
        book->Sheets(1)->setValue(1, 1, QStringLiteral("unsaved"));
        QVERIFY(!book->Saved());
        // A question would block until answered: any shown while terminating is noticed and answered
        // "不保存", so that the termination goes on.
        bool asked = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&asked] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                asked = true;
                auto *box = qobject_cast<QMessageBox *>(modal);
                if (box && box->button(QMessageBox::Discard))
                    box->button(QMessageBox::Discard)->click();
                else
                    modal->close();
            }
        });
        watcher.start(20);
        w.terminate();
        QVERIFY(!asked);
        QVERIFY(tavlo::sheet::Application::instances().isEmpty());
    }

    // At exit "保存" for an unsaved workbook opens the save dialog; cancelling it brings the question
    // back instead of dropping the workbook. Only "不保存" then lets it go.
    void cancellingTheSaveAtExitAsksAgain() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.officeSlots.AttachExcel(OfficeSlots::QueryDisplay, true, true);
        auto *book = w.officeSlots.excel(OfficeSlots::QueryDisplay)->application->Workbooks().Add();
        book->Sheets(1)->setValue(1, 1, QStringLiteral("unsaved"));
        QStringList seen;
        QPointer<QWidget> last;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == last || !modal->isVisible())
                return;
            last = modal;
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen << QStringLiteral("question");
                box->button(seen.size() == 1 ? QMessageBox::Save : QMessageBox::Discard)->click();
            } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                seen << QStringLiteral("save dialog");
                dialog->reject();
            } else {
                seen << QString::fromLatin1(modal->metaObject()->className());
                modal->close();
            }
        });
        answerer.start(20);
        w.mnuExit_Click();
        QCOMPARE(seen, (QStringList{"question", "save dialog", "question"}));
        QVERIFY(tavlo::sheet::Application::instances().isEmpty());
    }

    // A status text longer than the line, set by any tool, shows cut short with the whole text as its
    // tooltip; a short one shows whole, without a tooltip.
    void aLongStatusTextIsElidedWithTheWholeTextAsTooltip() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *tip = qobject_cast<ElidedLabel *>(w.LabTip[1]);
        QVERIFY(tip);
        const QString reason = QStringLiteral("“/home/设计部/编码/物料编码表.xlsx”：无法打开（") +
                               QString(60, u'损') + QStringLiteral("）结尾");
        tip->setText(reason);
        QCOMPARE(tip->text(), reason);
        QVERIFY(tip->isElided());
        QVERIFY(tip->shownText().endsWith(QChar(0x2026)));
        QVERIFY(tip->fontMetrics().horizontalAdvance(tip->shownText()) <= tip->contentsRect().width());
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), tip->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(tip, &help);
        QCOMPARE(tip->toolTip(), reason);
        w.setTip(QStringLiteral("批量编码完成：共写入 66 行"));
        QVERIFY(!tip->isElided());
        QApplication::sendEvent(tip, &help);
        QVERIFY(tip->toolTip().isEmpty());
    }

    void clearEmptiesBothTrafficLogs() {
        FrmMain w(settingsPath());
        w.lstSent->addItem(QStringLiteral("主机: [加入]甲"));
        w.lstReceived->addItem(QStringLiteral("x"));
        QTest::mouseClick(w.cmdClear, Qt::LeftButton);
        QCOMPARE(w.lstSent->count(), 0);
        QCOMPARE(w.lstReceived->count(), 0);
    }

    void platformDialogRefusesBadInputWithFocus() {
        Settings s;
        s.platformName = QStringLiteral("Tavlo");
        FrmPlatform dialog(s);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        dialog.txtConnect[1]->setText(QStringLiteral("12.5"));
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.txtConnect[1]->hasFocus());
        QCOMPARE(dialog.txtConnect[1]->selectedText(), QStringLiteral("12.5"));
        QCOMPARE(s.port, 1006);

        dialog.txtConnect[1]->setText(QStringLiteral("2000"));
        dialog.txtConnect[2]->setText(QStringLiteral("198.51.100"));
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QVERIFY(dialog.txtConnect[2]->hasFocus());

        dialog.txtConnect[0]->setText(QStringLiteral("   "));
        dialog.txtConnect[2]->setText(QStringLiteral("127.0.0.9"));
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QVERIFY(dialog.txtConnect[0]->hasFocus());
        QCOMPARE(s.platformName, QStringLiteral("Tavlo"));

        dialog.txtConnect[0]->setText(QStringLiteral("设计部"));
        dialog.optConnectMode[1]->setChecked(true);
        dialog.chkAutoConnect->setChecked(true);
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(s.platformName, QStringLiteral("设计部"));
        QCOMPARE(s.port, 2000);
        QCOMPARE(s.ip, QStringLiteral("127.0.0.9"));
        QCOMPARE(s.connectMode, 1);
        QCOMPARE(s.autoConnect, 1);
    }

    void platformNameChangesCaptionAtOnce() {
        FrmMain w(settingsPath());
        w.Form_Load();
        w.settings().platformName = QStringLiteral("设计部");
        w.applyPlatformName();
        QCOMPARE(w.windowTitle(), QStringLiteral("设计部"));
    }

    void schemaNamesMenuPanelAndLabels() {
        FrmMain w(settingsPath());
        w.Form_Load();
        QCOMPARE(w.infoPanel->LabRecord[7]->text(), QStringLiteral("数量"));
        RecordSchema schema = w.settings().schema;
        schema.systemName = QStringLiteral("图纸管理系统");
        schema.attributes[7] = QStringLiteral("张数");
        w.applySchema(schema);
        QCOMPARE(w.mnuItem[2]->text(), QStringLiteral("图纸管理系统"));
        QCOMPARE(w.fraMain[2]->title(), QStringLiteral("图纸管理系统"));
        QCOMPARE(w.infoPanel->LabRecord[7]->text(), QStringLiteral("张数"));
        QCOMPARE(w.settings().schema, schema);
    }

    // The brush, colour and whisper choice of the chat panel and the query options of the information
    // system reach their panels at start-up and come back from them into Tavlo.ini.
    void chatAndQueryChoicesSurviveARestart() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Tavlo.ini"));
        const QList<QByteArray> chat{"Brush=3", "Color=5", "Private=1"};
        const QList<QByteArray> query{"MatchCase=1", "WholeWord=1", "AndOr=1", "ShowMode=1"};
        QVERIFY(TestFiles::write(path, "[ICQ]\n" + chat.join('\n') + "\n[MIS]\n" + query.join('\n') + '\n'));
        {
            FrmMain w(path);
            w.Form_Load();
            QCOMPARE(w.infoPanel->showMode(), QStringLiteral("Excel"));
            QCOMPARE(w.chatPanel->brushWidth(), 4);
            QVERIFY(TestFiles::write(path, QByteArray())); // what is saved comes from the panels
            w.SaveSettings();
        }
        const QByteArray saved = TestFiles::read(path);
        for (const QByteArray &line : chat + query)
            QVERIFY2(saved.contains(line + '\n'), line.constData());
    }

    void memberDialogKeepsListsApartAndNeverBlacklistsItself() {
        Settings s;
        s.vipList = {"127.0.0.5"};
        FrmMember dialog(s, {"127.0.0.1"});
        auto add = [&dialog](int list, const QString &address) {
            dialog.txtMember[list]->setText(address);
            QTest::mouseClick(dialog.cmdAdd[list], Qt::LeftButton);
        };
        add(1, QStringLiteral("127.0.0.1")); // own address: refused on the black list
        add(0, QStringLiteral("127.0.0.1")); // ... but fine as a VIP
        add(1, QStringLiteral("127.0.0.5")); // already a VIP
        add(0, QStringLiteral("not an ip"));
        add(1, QStringLiteral("127.0.0.7"));
        add(0, QStringLiteral("127.0.0.7")); // already black-listed
        QCOMPARE(dialog.lstMember[0]->count(), 2);
        QCOMPARE(dialog.lstMember[1]->count(), 1);

        QTest::mouseClick(dialog.cmdRemove[0], Qt::LeftButton); // nothing selected: nothing removed
        QCOMPARE(dialog.lstMember[0]->count(), 2);
        dialog.lstMember[0]->item(0)->setSelected(true);
        QTest::mouseClick(dialog.cmdRemove[0], Qt::LeftButton);

        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QCOMPARE(s.vipList, (QStringList{"127.0.0.1"}));
        QCOMPARE(s.blackList, (QStringList{"127.0.0.7"}));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
