#include "FrmMain.h"

#include "AppIcon.h"
#include "ElidedLabel.h"
#include "FrmAbout.h"
#include "FrmMember.h"
#include "FrmPlatform.h"
#include "FrmRecover.h"
#include "HelpText.h"

#include "cadtext/CadTool.h"
#include "chat/ChatTool.h"
#include "chat/SoundPlayer.h"
#include "infosys/FrmCustomize.h"
#include "infosys/InfoPanel.h"
#include "infosys/InfoSystem.h"
#include "requisition/RequisitionTool.h"

#include "common/BusyPointer.h"
#include "common/DataFolder.h"
#include "common/RecoveryKeeper.h"
#include "common/TextViewer.h"
#include "common/Twips.h"
#include "common/ZipCommands.h"
#include "common/modCommon.h"
#include "platform/document/Application.h"
#include "platform/sheet/Application.h"
#include "session/HostRole.h"
#include "session/MemberRole.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/SessionPanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QHostInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace {

// Panel captions by index; the menu captions are the same except for the separators at 3 and 6.
const std::array<QString, FrmMain::kPanelCount> kPanelCaptions{
    QStringLiteral("进程管理"),     QStringLiteral("ICQ"),        RecordSchemaText::designed().systemName,
    QStringLiteral("对应菜单选项"), QStringLiteral("采购申请单"), QStringLiteral("AutoCAD 文字")};

const std::array<QString, FrmMain::kMenuItemCount> kMenuCaptions{
    QStringLiteral("进程管理"), QStringLiteral("ICQ"),        RecordSchemaText::designed().systemName,
    QStringLiteral("-"),        QStringLiteral("采购申请单"), QStringLiteral("AutoCAD 文字"),
    QStringLiteral("-"),        QStringLiteral("压缩文件"),   QStringLiteral("解压文件")};

constexpr int kPlaceholderPanel = 3;
constexpr QRect kPanelRect = twipsRect(120, 0, 10485, 6155);
constexpr QRect kConnectionsOnPanel0 = twipsRect(2160, 2055, 1935, 3420); // where SessionPanel puts it
constexpr QRect kConnectionsOnPanel1 = twipsRect(8430, 360, 1935, 5100);
constexpr int kClientWidth = twips(10800) - 8;
constexpr int kClientHeight = twips(6600);
// The panels are placed in fixed pixels drawn for this font size; a larger desktop font would cut their
// captions, so the panels keep it (high-DPI scaling still enlarges everything alike).
constexpr qreal kDesignPointSize = 9.0;

QLabel *addLabel(QWidget *parent, const QString &text, const QRect &rect) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(rect);
    return label;
}

} // namespace

FrmMain::FrmMain(const QString &settingsPath, QWidget *parent)
    : QMainWindow(parent)
    , m_settingsPath(settingsPath)
    , m_dataFolder(QFileInfo(settingsPath).absolutePath())
    , m_session(new Session(this)) {
    setWindowIcon(AppIcon::icon());
    auto *client = new QWidget;
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    QFont designFont = client->font();
    designFont.setPointSizeF(kDesignPointSize);
    client->setFont(designFont);
    // On a screen smaller than the window (a small screen scaled up) the panels scroll instead of being
    // cut off at the screen's edge.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidget(client);
    setCentralWidget(m_scroll);
    buildMenus();
    buildPanels();
    buildStatusLine(client);
    m_zipCommands = new ZipCommands(
        this, [this](const QString &text) { setTip(text); }, this);
    m_zipCommands->setProgramFolder(m_dataFolder);
    connectSession();
    startTools();
    startRecovery();
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    fitToScreen();
}

void FrmMain::fitToScreen() {
    const QSize full(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    QSize room = screen ? screen->availableGeometry().size() : full;
    room -= QSize(16, 48); // the window manager's frame and title bar
    if (room.width() >= full.width() && room.height() >= full.height()) {
        setFixedSize(full);
        return;
    }
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setMinimumSize(QSize(200, 150));
    setMaximumSize(full + QSize(bar, bar));
    resize(full.boundedTo(room));
}

FrmMain::~FrmMain() = default;

void FrmMain::buildMenus() {
    mnuBegin = menuBar()->addMenu(QStringLiteral("开始"));
    mnuShowOrHide = mnuBegin->addAction(QStringLiteral("隐藏(&H)"), this, &FrmMain::mnuShowOrHide_Click);
    mnuBegin->addSeparator();
    mnuExit = mnuBegin->addAction(QStringLiteral("退出(&E)"), this, &FrmMain::mnuExit_Click);
    mnuBegin->setDefaultAction(mnuShowOrHide);

    mnuFunction = menuBar()->addMenu(QStringLiteral("功能"));
    for (int i = 0; i < kMenuItemCount; ++i) {
        if (kMenuCaptions[i] == QLatin1String("-")) {
            mnuItem[i] = mnuFunction->addSeparator();
            continue;
        }
        mnuItem[i] = mnuFunction->addAction(kMenuCaptions[i], this, [this, i] { mnuItem_Click(i); });
    }

    mnuSetting = menuBar()->addMenu(QStringLiteral("设置"));
    mnuPlatform = mnuSetting->addAction(QStringLiteral("平台设置"), this, &FrmMain::mnuPlatform_Click);
    mnuMember = mnuSetting->addAction(QStringLiteral("成员管理"), this, &FrmMain::mnuMember_Click);
    mnuSetting->addSeparator();
    mnuCustomize =
        mnuSetting->addAction(QStringLiteral("定制<信息管理系统>"), this, &FrmMain::mnuCustomize_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("帮助"));
    mnuNote = mnuHelp->addAction(QStringLiteral("说明"), this, &FrmMain::mnuNote_Click);
    mnuHelp->addSeparator();
    mnuHomePage = mnuHelp->addAction(QStringLiteral("Morvane主页"), this, &FrmMain::mnuHomePage_Click);
    mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction(QStringLiteral("关于"), this, &FrmMain::mnuAbout_Click);
}

void FrmMain::buildPanels() {
    for (int i = 0; i < kPanelCount; ++i) {
        fraMain[i] = new QGroupBox(kPanelCaptions[i], m_scroll->widget());
        fraMain[i]->setObjectName(QStringLiteral("fraMain%1").arg(i));
        fraMain[i]->setGeometry(kPanelRect);
        fraMain[i]->hide();
    }
    buildConnectionPanel(fraMain[0]);
}

void FrmMain::startTools() {
    m_sound = new SoundPlayer(this);
    m_chat = new ChatTool(
        fraMain[1], *m_session, [this] { NotifyUser(); }, this);
    chatPanel = &m_chat->panel();

    infoPanel = new InfoPanel(fraMain[2]);
    infoPanel->showSchema(RecordSchemaText::designed());
    InfoSystem::Context info;
    info.settingsPath = m_settingsPath;
    info.schema = [this] { return m_settings.schema; };
    info.writeSetting = [this](const QString &section, const QString &key, const QString &value,
                               QString *error) {
        return SettingsStore::saveValue(m_settingsPath, section, key, value, error);
    };
    m_infoSystem = new InfoSystem(*m_session, *infoPanel, toolContext(), info, this);

    m_requisition = new RequisitionTool(fraMain[4], toolContext(), this);
    m_cadTool = new CadTool(fraMain[5], toolContext(), this);
}

ToolContext FrmMain::toolContext() {
    ToolContext context;
    context.window = this;
    context.office = &officeSlots;
    context.dataFolder = m_dataFolder;
    context.status.show = [this](const QString &text) { setTip(text); };
    context.status.highlight = [this](bool on) { m_status.highlight(on); };
    return context;
}

void FrmMain::buildConnectionPanel(QGroupBox *panel) {
    m_sessionPanel = new SessionPanel(*m_session, panel);
    txtID = m_sessionPanel->txtID;
    txtIP = m_sessionPanel->txtIP;
    lstConnections = m_sessionPanel->lstConnections;
    lstSent = m_sessionPanel->lstSent;
    lstReceived = m_sessionPanel->lstReceived;
    cmdClear = m_sessionPanel->cmdClear;
    connect(cmdClear, &QPushButton::clicked, this, &FrmMain::cmdClear_Click);
}

void FrmMain::startRecovery() {
    m_recovery = new RecoveryKeeper(modCommon::JoinPath(m_dataFolder, QStringLiteral("Recovery")), this);
    m_recovery->setBusyTest([] { return BusyPointer::isBusy(); });
    m_recovery->setReporter([this](const QString &text) { setTip(text); });
    connect(&officeSlots, &OfficeSlots::excelAttached, m_recovery,
            qOverload<tavlo::sheet::Application *>(&RecoveryKeeper::watch));
    connect(&officeSlots, &OfficeSlots::wordAttached, m_recovery,
            qOverload<tavlo::document::Application *>(&RecoveryKeeper::watch));
}

void FrmMain::offerRecovery() {
    if (m_unloaded || m_recovery->found().isEmpty())
        return;
    QStringList names;
    for (const RecoveryEntry &entry : m_recovery->found())
        names << entry.name;
    const QString text =
        QStringLiteral("找到上次未保存的 %1 个文件的恢复副本：%2").arg(names.size()).arg(names.join(u'、'));
    setTip(text);
    qInfo().noquote() << QStringLiteral("Tavlo: ") + text;
    auto *dialog = new FrmRecover(
        *m_recovery, [this](const QString &result) { setTip(result); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void FrmMain::NotifyUser() {
    bringToFront();
    m_sound->play(SoundPlayer::notifySound(m_dataFolder));
    ShowPanel(1);
}

void FrmMain::connectSession() {
    m_session->setConfigSource([this] {
        SessionConfig config;
        config.port = m_settings.port;
        config.vipList = m_settings.vipList;
        config.blackList = m_settings.blackList;
        config.connectMode = m_settings.connectMode;
        return config;
    });
    m_session->setCustomisationSource([this] { return customisationText(); });
    m_session->router().route(ProtocolTags::kCustomisation.text,
                              [this](const IncomingLine &line) { applyCustomisation(line.payload); });
    connect(m_session, &Session::captionChanged, this, &FrmMain::showCaption);
    connect(m_session, &Session::tipRequested, this, &FrmMain::setTip);
    connect(m_session, &Session::platformNameReceived, this,
            [this](const QString &name) { m_settings.platformName = name; });
    connect(m_session, &Session::serverAddressChosen, this, [this](const QString &address) {
        if (modCommon::IsIPv4Address(address))
            m_settings.ip = address.trimmed();
    });
    connect(m_session, &Session::controlsLockedChanged, this, [this](bool locked) {
        mnuPlatform->setEnabled(!locked);
        mnuCustomize->setEnabled(!locked);
    });
}

void FrmMain::showCaption(const QString &caption) {
    setWindowTitle(caption);
    if (m_tray)
        m_tray->setToolTip(caption);
}

QString FrmMain::customisationText() const {
    return RecordSchemaText::customisationText(m_settings.schema);
}

void FrmMain::applyCustomisation(const QString &text) {
    RecordSchema schema = m_settings.schema;
    RecordSchemaText::applyCustomisationText(text, schema);
    applySchema(schema);
}

void FrmMain::buildStatusLine(QWidget *parent) {
    LabTip[0] = addLabel(parent, QStringLiteral("提示："), twipsRect(120, 6210, 510, 300));
    LabTip[1] = new ElidedLabel(parent);
    LabTip[1]->setGeometry(twipsRect(630, 6210, 9975, 300));
    LabTip[0]->setObjectName(QStringLiteral("LabTip0"));
    LabTip[1]->setObjectName(QStringLiteral("LabTip1"));
    m_status = StatusLine::onLabel(LabTip[1]);
}

void FrmMain::centreOnScreen() {
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    fitToScreen();
    const QRect available = screen->geometry();
    move(available.x() + (available.width() - width()) / 2,
         available.y() + (available.height() - height()) / 2);
}

void FrmMain::Form_Load() {
    centreOnScreen();
    LoadSettings();
    const QFileInfo settingsFile(m_settingsPath);
    if (settingsFile.exists() && !settingsFile.isFile())
        setTip(QStringLiteral("“%1”不是普通文件：设置只用默认值，也不会保存").arg(m_settingsPath));
    setWindowTitle(m_settings.platformName);
    txtIP->setText(m_settings.ip);
    ShowPanel(0);
    if (m_settings.autoConnect == 1)
        startAutomaticConnection();
    addTrayIcon();
    // Once the window is up.
    QTimer::singleShot(0, this, &FrmMain::offerRecovery);
}

void FrmMain::LoadSettings() {
    SettingsDefaults defaults;
    defaults.applicationTitle = QStringLiteral("Tavlo");
    defaults.hostName = QHostInfo::localHostName();
    defaults.schema = RecordSchemaText::designed();
    m_settings = SettingsStore::load(m_settingsPath, defaults);
    m_session->setPlatformName(m_settings.platformName);

    txtID->setText(m_settings.recentId);
    ChatTool::Values chat;
    chat.brush = m_settings.brush;
    chat.color = m_settings.color;
    chat.privateChat = m_settings.privateChat;
    m_chat->applyValues(chat);
    InfoSystem::Values info;
    info.matchCase = m_settings.matchCase == 1;
    info.wholeWord = m_settings.wholeWord == 1;
    info.andOr = m_settings.andOr;
    info.showMode = m_settings.showMode;
    m_infoSystem->applyValues(info);
    RequisitionTool::Values requisition;
    requisition.form.behavior = m_settings.behavior;
    requisition.form.projectName = m_settings.projectName;
    requisition.form.designCode = m_settings.designCode;
    requisition.form.projectCode = m_settings.projectCode;
    requisition.dataSource = m_settings.dataSource;
    m_requisition->applyValues(requisition);
    applySchema(m_settings.schema);
}

void FrmMain::applySchema(const RecordSchema &schema) {
    m_settings.schema = schema;
    mnuItem[2]->setText(schema.systemName);
    fraMain[2]->setTitle(schema.systemName);
    infoPanel->showSchema(schema);
}

void FrmMain::SaveSettings() {
    m_settings.recentServer = isHosting();
    m_settings.recentId = txtID->text();
    const ChatTool::Values chat = m_chat->values();
    m_settings.brush = chat.brush;
    m_settings.color = chat.color;
    m_settings.privateChat = chat.privateChat;
    const InfoSystem::Values info = m_infoSystem->values();
    m_settings.matchCase = info.matchCase ? 1 : 0;
    m_settings.wholeWord = info.wholeWord ? 1 : 0;
    m_settings.andOr = info.andOr;
    m_settings.showMode = info.showMode;
    const RequisitionTool::Values requisition = m_requisition->values();
    m_settings.behavior = requisition.form.behavior;
    m_settings.projectName = requisition.form.projectName;
    m_settings.designCode = requisition.form.designCode;
    m_settings.projectCode = requisition.form.projectCode;
    if (!requisition.dataSource.isEmpty())
        m_settings.dataSource = requisition.dataSource;
    QString error;
    if (!SettingsStore::save(m_settingsPath, m_settings, &error)) {
        // At shutdown nobody may be there to read a window: the status line and the log say it.
        setTip(QStringLiteral("设置未能保存：") + error);
        qWarning().noquote() << QStringLiteral("Tavlo: 设置未能保存：") + error;
    }
}

void FrmMain::commitData() {
    SaveSettings();
    m_recovery->writeNow();
}

void FrmMain::addTrayIcon() {
    // Shown even when the desktop has no notification area yet: the icon then appears as soon as a
    // panel with one starts.
    if (!m_tray) {
        m_tray = new QSystemTrayIcon(windowIcon(), this);
        m_tray->setContextMenu(mnuBegin);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::DoubleClick)
                mnuShowOrHide_Click();
        });
    }
    m_tray->setToolTip(windowTitle());
    m_tray->show();
}

bool FrmMain::trayCanRestore() const {
    return m_tray && m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void FrmMain::applyPlatformName() {
    m_session->setPlatformName(m_settings.platformName);
    setWindowTitle(m_settings.platformName);
    if (m_tray)
        m_tray->setToolTip(windowTitle());
}

void FrmMain::ShowPanel(int index) {
    mnuItem_Click(index);
}

int FrmMain::currentPanel() const {
    for (int i = 0; i < kPanelCount; ++i) {
        if (!fraMain[i]->isHidden())
            return i;
    }
    return -1;
}

void FrmMain::mnuItem_Click(int index) {
    if (index == 7) {
        m_zipCommands->compressFiles();
        return;
    }
    if (index == 8) {
        m_zipCommands->extractArchive();
        return;
    }
    if (index < 0 || index >= kPanelCount || index == kPlaceholderPanel)
        return;
    for (QGroupBox *panel : fraMain)
        panel->hide();
    if (index == 0 || index == 1) {
        lstConnections->setParent(fraMain[index]);
        lstConnections->setGeometry(index == 0 ? kConnectionsOnPanel0 : kConnectionsOnPanel1);
        lstConnections->show();
    }
    fraMain[index]->show();
}

void FrmMain::setTip(const QString &text) {
    m_status.show(text);
}

void FrmMain::cmdClear_Click() {
    lstSent->clear();
    lstReceived->clear();
}

void FrmMain::mnuShowOrHide_Click() {
    if (isMinimized() || isHidden()) {
        bringToFront();
    } else {
        showMinimized();
    }
}

void FrmMain::bringToFront() {
    showNormal();
    raise();
    activateWindow();
}

void FrmMain::changeEvent(QEvent *event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized()) {
        mnuShowOrHide->setText(QStringLiteral("显示(&S)"));
        // Only hide when the tray icon can bring the window back; otherwise it stays a normal
        // minimised window the taskbar or the window list can restore.
        if (trayCanRestore())
            QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
    } else {
        mnuShowOrHide->setText(QStringLiteral("隐藏(&H)"));
    }
}

void FrmMain::terminate() {
    m_terminating = true;
    // Nobody may be there to answer a question about unsaved work: its copies are written first.
    m_recovery->keepAll();
    close();
}

void FrmMain::mnuExit_Click() {
    close();
}

void FrmMain::closeEvent(QCloseEvent *event) {
    Form_Unload();
    event->accept();
    QApplication::quit();
}

void FrmMain::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    SaveSettings();
    m_requisition->finish();
    if (m_terminating)
        m_recovery->keepAll(); // the finished form as it will be lost
    // What was queued last (a line typed just before, the answer to a record) still leaves.
    m_session->flushOutgoing();
    closeSockets();
    if (m_tray)
        m_tray->hide();
    releaseOfficeSlots();
    // Modal dialogs are children of this window and close with it.
    const auto dialogs = findChildren<QDialog *>(Qt::FindDirectChildrenOnly);
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it)
        (*it)->close();
}

void FrmMain::startAutomaticConnection() {
    // From the running event loop: a join waits while events run, and the program must be able to
    // close (SIGTERM, logout) during that wait.
    QTimer::singleShot(0, this, [this] {
        if (m_unloaded)
            return;
        if (m_settings.recentServer)
            m_session->host().cmdHost_Click();
        else
            m_session->member().cmdConnect_Click();
    });
}

bool FrmMain::isHosting() const {
    return m_session->isHost();
}

void FrmMain::closeSockets() {
    m_session->shutdown();
}

void FrmMain::releaseOfficeSlots() {
    m_cadTool->ReleaseAll(!m_terminating);
    officeSlots.ReleaseAll(!m_terminating);
}

void FrmMain::mnuPlatform_Click() {
    FrmPlatform dialog(m_settings, this);
    if (dialog.exec() == QDialog::Accepted) {
        applyPlatformName();
        txtIP->setText(m_settings.ip);
    }
}

void FrmMain::mnuMember_Click() {
    FrmMember dialog(m_settings, FrmMember::ownAddresses(), this);
    dialog.exec();
}

void FrmMain::mnuCustomize_Click() {
    RecordSchema schema = m_settings.schema;
    FrmCustomize dialog(schema, this);
    if (dialog.exec() == QDialog::Accepted)
        applySchema(schema);
}

void FrmMain::mnuNote_Click() {
    const QString path = modCommon::JoinPath(m_dataFolder, QStringLiteral("ReadMe.txt"));
    if (!HelpText::ensureReadMe(path)) {
        setTip(QStringLiteral("无法写入说明文件 %1").arg(path));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        showGuideInViewer(path, path);
}

void FrmMain::mnuHomePage_Click() {
    const QString address = HelpText::homePage(m_settingsPath);
    if (QDesktopServices::openUrl(QUrl(address)))
        return;
    const QString path = modCommon::JoinPath(m_dataFolder, QStringLiteral("ReadMe.txt"));
    if (HelpText::ensureReadMe(path))
        showGuideInViewer(path, address);
    else
        setTip(QStringLiteral("没有可以打开 %1 的程序").arg(address));
}

void FrmMain::showGuideInViewer(const QString &readMe, const QString &what) {
    if (!m_viewer)
        m_viewer = new TextViewer(this);
    if (m_viewer->showFile(readMe))
        setTip(QStringLiteral("没有可以打开 %1 的程序，已在 Tavlo 的窗口中显示说明。").arg(what));
    else
        setTip(QStringLiteral("没有可以打开 %1 的程序，说明文件也无法读取。").arg(what));
}

void FrmMain::mnuAbout_Click() {
    FrmAbout dialog(m_settings.platformName, this);
    dialog.exec();
}
