#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct Settings;

// "平台设置": platform name, port, host address, connection mode and automatic connection.
// Confirming writes the values into the settings held in memory; the file is written at exit.
class FrmPlatform : public QDialog {
    Q_OBJECT

public:
    explicit FrmPlatform(Settings &settings, QWidget *parent = nullptr);

    std::array<QLineEdit *, 3> txtConnect{};
    std::array<QRadioButton *, 2> optConnectMode{};
    QCheckBox *chkAutoConnect = nullptr;
    QPushButton *cmdConfirm = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdConfirm_Click();

private:
    void focusAndSelect(int box);

    Settings &m_settings;
};
