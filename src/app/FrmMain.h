#pragma once

#include "SettingsStore.h"
#include "common/ToolContext.h"
#include "common/modOffice.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class CadTool;
class RecoveryKeeper;
class ChatPanel;
class ChatTool;
class SoundPlayer;
class InfoPanel;
class InfoSystem;
class RequisitionTool;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollArea;
class QSystemTrayIcon;
class TextViewer;
class ZipCommands;
class Session;
class SessionPanel;

// The one main window: menus, the six panels of the tools, the status line and the tray icon. It owns
// start-up and shutdown and opens the settings dialogs; each tool builds its controls into its panel.
class FrmMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kPanelCount = 6;
    static constexpr int kMenuItemCount = 9;

    // `settingsPath` is the Tavlo.ini to load now and save at shutdown; its folder is the data folder
    // every tool works in (chosen once at start-up, by main()).
    explicit FrmMain(const QString &settingsPath, QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up after construction: settings, first panel, automatic connection, tray icon.
    void Form_Load();
    // Writes every setting to Tavlo.ini (at shutdown, and when the desktop session is about to end).
    void SaveSettings();
    // The desktop session is about to end: settings saved, recovery copies brought up to date.
    void commitData();

    void ShowPanel(int index);
    int currentPanel() const;

    // The status line's message half: every message of the window and its tools goes through here.
    void setTip(const QString &text);

    Settings &settings() { return m_settings; }
    // The LAN session; the tools send and register their tags through it.
    Session &session() { return *m_session; }
    const QString &settingsPath() const { return m_settingsPath; }
    const QString &dataFolder() const { return m_dataFolder; }
    // The platform name changed: window caption and tray tip follow at once.
    void applyPlatformName();
    // Names the information system and its attributes on the menu, the panel and its labels.
    void applySchema(const RecordSchema &schema);

    // Menu bar.
    QMenu *mnuBegin = nullptr;
    QAction *mnuShowOrHide = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuFunction = nullptr;
    std::array<QAction *, kMenuItemCount> mnuItem{};
    QMenu *mnuSetting = nullptr;
    QAction *mnuPlatform = nullptr;
    QAction *mnuMember = nullptr;
    QAction *mnuCustomize = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuNote = nullptr;
    QAction *mnuHomePage = nullptr;
    QAction *mnuAbout = nullptr;

    // Panels and status line.
    std::array<QGroupBox *, kPanelCount> fraMain{};
    std::array<QLabel *, 2> LabTip{};

    // Connection management panel.
    QLineEdit *txtID = nullptr;
    QLineEdit *txtIP = nullptr;
    QListWidget *lstConnections = nullptr;
    QListWidget *lstSent = nullptr;
    QListWidget *lstReceived = nullptr;
    QPushButton *cmdClear = nullptr;

    // The views of the chat panel (panel 1) and of the information-system panel (panel 2).
    ChatPanel *chatPanel = nullptr;
    InfoPanel *infoPanel = nullptr;
    // The chat and whiteboard tool (panel 1), the information system (panel 2), the purchase-requisition
    // tool (panel 4) and the CAD text tool (panel 5).
    ChatTool *chatTool() const { return m_chat; }
    InfoSystem *infoSystem() const { return m_infoSystem; }
    RequisitionTool *requisition() const { return m_requisition; }
    CadTool *cadTool() const { return m_cadTool; }

    QSystemTrayIcon *trayIcon() const { return m_tray; }
    // Recovery copies of the unsaved workbooks and documents on screen.
    RecoveryKeeper *recovery() const { return m_recovery; }
    // The window of the user guide when no program of the desktop could open it.
    TextViewer *textViewer() const { return m_viewer; }
    ZipCommands *zipCommands() const { return m_zipCommands; }

    // The spreadsheet slots the tools work through; all released at shutdown.
    OfficeSlots officeSlots;

public slots:
    void mnuItem_Click(int index);
    void mnuShowOrHide_Click();
    void mnuExit_Click();
    void mnuPlatform_Click();
    void mnuMember_Click();
    void mnuCustomize_Click();
    void mnuNote_Click();
    void mnuHomePage_Click();
    void mnuAbout_Click();
    void cmdClear_Click();
    // Brings a hidden or minimised window to the front (a second start asks for this).
    void bringToFront();
    // The system asks the program to end (SIGTERM): close as usual, but ask the user nothing.
    void terminate();
    // A whisper arrived: window to the front on the chat panel, with the notification sound.
    void NotifyUser();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildPanels();
    void buildConnectionPanel(QGroupBox *panel);
    void connectSession();
    // The tools on their panels: chat and whiteboard, the information system, the requisition and the
    // CAD text tools, the last three from toolContext().
    void startTools();
    // What every tool is given: this window, the slots, the data folder, the status line, the dialogs.
    ToolContext toolContext();
    void showCaption(const QString &caption);
    // The system name and attribute captions a host sent ("[定制信息]").
    void applyCustomisation(const QString &text);
    QString customisationText() const;
    void buildStatusLine(QWidget *parent);
    void centreOnScreen();
    // The window shows the whole client area when the screen has room for it, else as much as fits,
    // with scroll bars.
    void fitToScreen();
    void addTrayIcon();
    void startRecovery();
    // Copies an earlier run left: said on the status line and offered in FrmRecover.
    void offerRecovery();
    bool trayCanRestore() const;
    // Shows the user guide in the program's own viewer, saying on the status line that `what` found
    // no program to open it.
    void showGuideInViewer(const QString &readMe, const QString &what);

    void LoadSettings();
    void Form_Unload();

    // Places where the tools take part in start-up and shutdown.
    void startAutomaticConnection();
    bool isHosting() const;
    void closeSockets();
    void releaseOfficeSlots();

    QString m_settingsPath;
    QString m_dataFolder;
    Settings m_settings;
    QScrollArea *m_scroll = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    ZipCommands *m_zipCommands = nullptr;
    Session *m_session = nullptr;
    SoundPlayer *m_sound = nullptr;
    ChatTool *m_chat = nullptr;
    InfoSystem *m_infoSystem = nullptr;
    RequisitionTool *m_requisition = nullptr;
    CadTool *m_cadTool = nullptr;
    StatusLine m_status;
    SessionPanel *m_sessionPanel = nullptr;
    RecoveryKeeper *m_recovery = nullptr;
    TextViewer *m_viewer = nullptr;
    bool m_unloaded = false;
    bool m_terminating = false;
};
