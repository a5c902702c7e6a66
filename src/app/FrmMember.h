#pragma once

#include <QDialog>

#include <array>

class QLineEdit;
class QListWidget;
class QPushButton;
struct Settings;

// "成员管理": the VIP list (index 0), searched for a running host, and the black list (index 1),
// whose join requests the host refuses.
class FrmMember : public QDialog {
    Q_OBJECT

public:
    // `ownAddresses` are this computer's addresses, which the black list must never hold.
    FrmMember(Settings &settings, const QStringList &ownAddresses, QWidget *parent = nullptr);

    // This computer's IPv4 addresses.
    static QStringList ownAddresses();

    std::array<QListWidget *, 2> lstMember{};
    std::array<QLineEdit *, 2> txtMember{};
    std::array<QPushButton *, 2> cmdAdd{};
    std::array<QPushButton *, 2> cmdRemove{};
    QPushButton *cmdConfirm = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdAdd_Click(int index);
    void cmdRemove_Click(int index);
    void cmdConfirm_Click();

private:
    static QStringList items(const QListWidget *list);

    Settings &m_settings;
    QStringList m_ownAddresses;
};
