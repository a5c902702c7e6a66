#pragma once

#include "SettingsStore.h"
#include "common/modOffice.h"

#include <QMainWindow>
#include <QPointer>

#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

// The one main window: menus, the six panels of the tools, the status line and the tray icon. It owns
// start-up and shutdown and opens the settings dialogs; each tool builds its controls into its panel.
class FrmMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kPanelCount = 6;
    static constexpr int kMenuItemCount = 9;

    // `settingsPath` is the Tavlo.ini to load now and save at shutdown.
    explicit FrmMain(const QString &settingsPath, QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up after construction: settings, first panel, automatic connection, tray icon.
    void Form_Load();

    void ShowPanel(int index);
    int currentPanel() const;

    // The status line's message half.
    void setTip(const QString &text);

    Settings &settings() { return m_settings; }
    const QString &settingsPath() const { return m_settingsPath; }
    // The platform name changed: window caption and tray tip follow at once.
    void applyPlatformName();

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

    QSystemTrayIcon *trayIcon() const { return m_tray; }

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

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildPanels();
    void buildConnectionPanel(QGroupBox *panel);
    void buildStatusLine(QWidget *parent);
    void centreOnScreen();
    void addTrayIcon();

    void LoadSettings();
    void SaveSettings();
    void Form_Unload();

    // Places where the tools take part in start-up and shutdown.
    void startAutomaticConnection();
    bool isHosting() const;
    void finishRequisitionForm();
    void closeSockets();
    void releaseOfficeSlots();

    QString m_settingsPath;
    Settings m_settings;
    QSystemTrayIcon *m_tray = nullptr;
    bool m_unloaded = false;
};
