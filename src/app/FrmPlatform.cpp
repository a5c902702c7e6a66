#include "FrmPlatform.h"

#include "SettingsStore.h"

#include "common/OptionGroup.h"
#include "common/Twips.h"
#include "common/modCommon.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

FrmPlatform::FrmPlatform(Settings &settings, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings) {
    setWindowTitle(QStringLiteral("平台设置"));
    setFixedSize(twips(5400), twips(3900));

    const std::array<QString, 3> labels{QStringLiteral("平台名称"), QStringLiteral("通讯端口"),
                                        QStringLiteral("指定主机")};
    const std::array<QString, 3> values{settings.platformName, QString::number(settings.port), settings.ip};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(labels[i], this);
        label->setGeometry(twipsRect(240, 300 + i * 480, 1200, 330));
        txtConnect[i] = new QLineEdit(values[i], this);
        txtConnect[i]->setObjectName(QStringLiteral("txtConnect%1").arg(i));
        txtConnect[i]->setGeometry(twipsRect(1440, 300 + i * 480, 3600, 330));
    }
    optConnectMode[0] = new QRadioButton(QStringLiteral("连接指定主机"), this);
    optConnectMode[1] = new QRadioButton(QStringLiteral("在 VIP 名单中搜索已建主机"), this);
    for (int i = 0; i < 2; ++i)
        optConnectMode[i]->setGeometry(twipsRect(240, 1800 + i * 360, 4800, 330));
    modCommon::SelectOption({optConnectMode[0], optConnectMode[1]}, settings.connectMode == 1 ? 1 : 0);

    chkAutoConnect = new QCheckBox(QStringLiteral("自动连接"), this);
    chkAutoConnect->setGeometry(twipsRect(240, 2580, 2400, 330));
    chkAutoConnect->setChecked(settings.autoConnect == 1);

    cmdConfirm = new QPushButton(QStringLiteral("确认"), this);
    cmdConfirm->setGeometry(twipsRect(2160, 3180, 1320, 420));
    cmdConfirm->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setGeometry(twipsRect(3720, 3180, 1320, 420));
    connect(cmdConfirm, &QPushButton::clicked, this, &FrmPlatform::cmdConfirm_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmPlatform::focusAndSelect(int box) {
    txtConnect[box]->setFocus();
    txtConnect[box]->selectAll();
}

void FrmPlatform::cmdConfirm_Click() {
    if (txtConnect[0]->text().trimmed().isEmpty()) {
        txtConnect[0]->setFocus();
        return;
    }
    double port = 0;
    // A port must be a whole number the network can use.
    if (!modCommon::IsWholeNumber(txtConnect[1]->text()) ||
        !modCommon::IsNumeric(txtConnect[1]->text(), &port) || port < 1 || port > 65535) {
        focusAndSelect(1);
        return;
    }
    if (!modCommon::IsIPv4Address(txtConnect[2]->text())) {
        focusAndSelect(2);
        return;
    }
    m_settings.platformName = txtConnect[0]->text();
    m_settings.port = static_cast<int>(port);
    m_settings.ip = txtConnect[2]->text().trimmed();
    m_settings.connectMode = modCommon::SelectedOption({optConnectMode[0], optConnectMode[1]});
    m_settings.autoConnect = chkAutoConnect->isChecked() ? 1 : 0;
    accept();
}
