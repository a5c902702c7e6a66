#include "FrmAbout.h"

#include "AppIcon.h"
#include "SystemInfo.h"

#include "common/Twips.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#ifndef TAVLO_VERSION
#define TAVLO_VERSION "0.0.0"
#endif

FrmAbout::FrmAbout(const QString &platformName, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(twips(6200), twips(4000));

    auto *icon = new QLabel(this);
    icon->setPixmap(AppIcon::icon().pixmap(32, 32));
    icon->setGeometry(twipsRect(240, 240, 540, 540));

    lblTitle = new QLabel(platformName, this);
    lblTitle->setGeometry(twipsRect(1050, 240, 4900, 400));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 4);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    lblVersion = new QLabel(versionText(), this);
    lblVersion->setGeometry(twipsRect(1050, 680, 4900, 300));

    lblDescription = new QLabel(
        QStringLiteral(
            "一、自定义局域网ICQ；二、建立特定对象的收集、查询系统；三、编辑采购申请单；四、处理 AutoCAD "
            "文字；五、压缩/解压文件。"),
        this);
    lblDescription->setWordWrap(true);
    lblDescription->setGeometry(twipsRect(1050, 1080, 4900, 900));

    lblCopyright = new QLabel(QStringLiteral("Copyright © Tavlo 开发组。保留所有权利。"), this);
    lblCopyright->setGeometry(twipsRect(240, 2100, 5700, 300));

    lblDisclaimer =
        new QLabel(QStringLiteral("警告：本软件受著作权法保护。未经授权擅自复制或传播本软件的全部或部分，"
                                  "将依法追究其民事和刑事责任。"),
                   this);
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setGeometry(twipsRect(240, 2460, 4100, 1200));

    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setGeometry(twipsRect(4560, 2520, 1400, 420));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setGeometry(twipsRect(4560, 3060, 1400, 420));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &FrmAbout::cmdSysInfo_Click);
}

QString FrmAbout::versionText() {
    return QStringLiteral("Version ") + QStringLiteral(TAVLO_VERSION);
}

void FrmAbout::cmdSysInfo_Click() {
    const QString info = SystemInfo::describe();
    if (info.isEmpty()) {
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("System Information Is Unavailable At This Time"));
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("系统信息"), info, QMessageBox::Ok, this);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}
