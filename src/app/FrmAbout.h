#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "关于": platform name, the five tools, the notices and the program's version.
class FrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit FrmAbout(const QString &platformName, QWidget *parent = nullptr);

    // "Version " + major.minor.patch of the build.
    static QString versionText();

    QLabel *lblTitle = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblVersion = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;

public slots:
    void cmdSysInfo_Click();
};
