#include "WordFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

WordFrame::WordFrame(QWidget *parent)
    : QGroupBox(QStringLiteral("生成申请单"), parent) {
    setObjectName(QStringLiteral("fraWord"));
    auto *grid = new QGridLayout(this);
    const char *captions[] = {"固定列宽", "根据内容调整表格", "根据窗口调整表格"};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(QString::fromUtf8(captions[i]), this);
        option->setObjectName(QStringLiteral("optBehavior%1").arg(i));
        grid->addWidget(option, 0, i);
        optBehavior.append(option);
    }
    optBehavior[0]->setChecked(true);
    chkNewTable = new QCheckBox(QStringLiteral("新建表单"), this);
    chkNewTable->setObjectName(QStringLiteral("chkNewTable"));
    grid->addWidget(chkNewTable, 0, 3);

    auto *labels = new QGridLayout;
    txtProjectName = new QLineEdit(this);
    txtProjectName->setObjectName(QStringLiteral("txtProjectName"));
    txtDesignCode = new QLineEdit(this);
    txtDesignCode->setObjectName(QStringLiteral("txtDesignCode"));
    txtProjectCode = new QLineEdit(this);
    txtProjectCode->setObjectName(QStringLiteral("txtProjectCode"));
    labels->addWidget(new QLabel(QStringLiteral("项目名称"), this), 0, 0);
    labels->addWidget(txtProjectName, 0, 1);
    labels->addWidget(new QLabel(QStringLiteral("设计编号"), this), 0, 2);
    labels->addWidget(txtDesignCode, 0, 3);
    labels->addWidget(new QLabel(QStringLiteral("项目编号"), this), 0, 4);
    labels->addWidget(txtProjectCode, 0, 5);
    labels->setColumnStretch(1, 3);
    labels->setColumnStretch(3, 1);
    labels->setColumnStretch(5, 1);
    grid->addLayout(labels, 1, 0, 1, 4);

    cmdFill = new QPushButton(QStringLiteral("填单"), this);
    cmdFill->setObjectName(QStringLiteral("cmdFill"));
    cmdFinish = new QPushButton(QStringLiteral("完毕"), this);
    cmdFinish->setObjectName(QStringLiteral("cmdFinish"));
    grid->addWidget(cmdFill, 0, 4);
    grid->addWidget(cmdFinish, 1, 4);
}
