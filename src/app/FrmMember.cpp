#include "FrmMember.h"

#include "SettingsStore.h"

#include "common/OptionGroup.h"
#include "common/Twips.h"
#include "common/modCommon.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkInterface>
#include <QPushButton>

FrmMember::FrmMember(Settings &settings, const QStringList &ownAddresses, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_ownAddresses(ownAddresses) {
    setWindowTitle(QStringLiteral("成员管理"));
    setFixedSize(twips(5400), twips(5100));
    const std::array<QString, 2> labels{QStringLiteral("VIP 名单"), QStringLiteral("黑名单")};
    const std::array<QStringList, 2> lists{settings.vipList, settings.blackList};
    for (int i = 0; i < 2; ++i) {
        const int left = 240 + i * 2580;
        auto *label = new QLabel(labels[i], this);
        label->setGeometry(twipsRect(left, 180, 2340, 300));
        lstMember[i] = new QListWidget(this);
        lstMember[i]->setObjectName(QStringLiteral("lstMember%1").arg(i));
        lstMember[i]->setGeometry(twipsRect(left, 480, 2340, 2700));
        lstMember[i]->addItems(lists[i]);
        txtMember[i] = new QLineEdit(this);
        txtMember[i]->setObjectName(QStringLiteral("txtMember%1").arg(i));
        txtMember[i]->setGeometry(twipsRect(left, 3300, 2340, 330));
        cmdAdd[i] = new QPushButton(QStringLiteral("添加↓"), this);
        cmdAdd[i]->setGeometry(twipsRect(left, 3720, 1110, 400));
        cmdRemove[i] = new QPushButton(QStringLiteral("删除↑"), this);
        cmdRemove[i]->setGeometry(twipsRect(left + 1230, 3720, 1110, 400));
        connect(cmdAdd[i], &QPushButton::clicked, this, [this, i] { cmdAdd_Click(i); });
        connect(cmdRemove[i], &QPushButton::clicked, this, [this, i] { cmdRemove_Click(i); });
    }
    cmdConfirm = new QPushButton(QStringLiteral("确认"), this);
    cmdConfirm->setGeometry(twipsRect(2340, 4440, 1320, 420));
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setGeometry(twipsRect(3840, 4440, 1320, 420));
    connect(cmdConfirm, &QPushButton::clicked, this, &FrmMember::cmdConfirm_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QStringList FrmMember::ownAddresses() {
    QStringList addresses;
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(address.toString());
    }
    return addresses;
}

void FrmMember::cmdAdd_Click(int index) {
    const QString address = txtMember[index]->text().trimmed();
    if (!modCommon::IsIPv4Address(address))
        return;
    if (modCommon::ListBoxContains(address, lstMember[0]) ||
        modCommon::ListBoxContains(address, lstMember[1]))
        return;
    if (index == 1 && m_ownAddresses.contains(address))
        return;
    lstMember[index]->addItem(address);
}

void FrmMember::cmdRemove_Click(int index) {
    const QList<QListWidgetItem *> selected = lstMember[index]->selectedItems();
    if (!selected.isEmpty())
        delete selected.first();
}

QStringList FrmMember::items(const QListWidget *list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

void FrmMember::cmdConfirm_Click() {
    m_settings.vipList = items(lstMember[0]);
    m_settings.blackList = items(lstMember[1]);
    accept();
}
