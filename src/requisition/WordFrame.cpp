#include "WordFrame.h"

#include "common/OptionGroup.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

WordFrame::WordFrame(QWidget *parent)
    : QGroupBox(QStringLiteral("生成申请单"), parent) {
    setObjectName(QStringLiteral("fraWord"));
    auto *column = new QVBoxLayout(this);
    const char *captions[] = {"固定列宽", "根据内容调整表格", "根据窗口调整表格"};
    for (int i = 0; i < 3; ++i) {
        auto *option = new QRadioButton(QString::fromUtf8(captions[i]), this);
        option->setObjectName(QStringLiteral("optBehavior%1").arg(i));
        column->addWidget(option);
        optBehavior.append(option);
    }
    optBehavior[0]->setChecked(true);
    chkNewTable = new QCheckBox(QStringLiteral("新建表单"), this);
    chkNewTable->setObjectName(QStringLiteral("chkNewTable"));
    column->addWidget(chkNewTable);
    column->addSpacing(8);

    auto *fields = new QFormLayout;
    auto edit = [this](const char *name) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    txtProjectName = edit("txtProjectName");
    txtDesignCode = edit("txtDesignCode");
    txtProjectCode = edit("txtProjectCode");
    fields->addRow(QStringLiteral("项目名称"), txtProjectName);
    fields->addRow(QStringLiteral("设计编号"), txtDesignCode);
    fields->addRow(QStringLiteral("项目编号"), txtProjectCode);
    column->addLayout(fields);
    column->addStretch(1);

    auto *buttons = new QHBoxLayout;
    cmdFill = new QPushButton(QStringLiteral("填单"), this);
    cmdFill->setObjectName(QStringLiteral("cmdFill"));
    cmdFinish = new QPushButton(QStringLiteral("完毕"), this);
    cmdFinish->setObjectName(QStringLiteral("cmdFinish"));
    buttons->addStretch(1);
    buttons->addWidget(cmdFill);
    buttons->addWidget(cmdFinish);
    column->addLayout(buttons);

    connect(cmdFill, &QPushButton::clicked, this, &WordFrame::fillClicked);
    connect(cmdFinish, &QPushButton::clicked, this, &WordFrame::finishClicked);
    const auto edited = [this] {
        if (!m_showing)
            emit valuesEdited();
    };
    for (QRadioButton *option : optBehavior)
        connect(option, &QRadioButton::toggled, this, edited);
    connect(chkNewTable, &QCheckBox::toggled, this, edited);
    for (QLineEdit *box : {txtProjectName, txtDesignCode, txtProjectCode})
        connect(box, &QLineEdit::textChanged, this, edited);
}

FormValues WordFrame::values() const {
    FormValues values;
    values.behavior = modCommon::SelectedOption(optBehavior);
    values.newTable = chkNewTable->isChecked();
    values.projectName = txtProjectName->text();
    values.designCode = txtDesignCode->text();
    values.projectCode = txtProjectCode->text();
    return values;
}

void WordFrame::showValues(const FormValues &values) {
    m_showing = true;
    modCommon::SelectOption(optBehavior, values.behavior);
    chkNewTable->setChecked(values.newTable);
    txtProjectName->setText(values.projectName);
    txtDesignCode->setText(values.designCode);
    txtProjectCode->setText(values.projectCode);
    m_showing = false;
}
