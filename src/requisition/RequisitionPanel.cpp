#include "RequisitionPanel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr int kLabelLeft = 120;
constexpr int kLabelWidth = 960;
constexpr int kBoxLeft = 1140;
constexpr int kBoxWidth = 4080;
constexpr int kFirstRowTop = 330;
constexpr int kRowPitch = 410;
constexpr int kRowHeight = 345;

int rowTop(int row) {
    return kFirstRowTop + row * kRowPitch;
}

QLabel *rowLabel(QWidget *parent, const QString &text, int row, const QString &objectName) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setGeometry(twipsRect(kLabelLeft, rowTop(row), kLabelWidth, kRowHeight));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QComboBox *rowList(QWidget *parent, int row, const QString &objectName) {
    auto *list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->setGeometry(twipsRect(kBoxLeft, rowTop(row), kBoxWidth, kRowHeight));
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMaxVisibleItems(20);
    return list;
}

} // namespace

RequisitionPanel::RequisitionPanel(QGroupBox *panel)
    : QObject(panel)
    , m_panel(panel) {
    buildCode();
    buildBatch();
}

void RequisitionPanel::buildCode() {
    fraCode = new QGroupBox(QStringLiteral("物料编码"), m_panel);
    fraCode->setObjectName(QStringLiteral("fraCode"));
    fraCode->setGeometry(kCodeFrame);

    lblDATA = rowLabel(fraCode, QStringLiteral("数据源"), 0, QStringLiteral("lblDATA"));
    cmdData = new QPushButton(QStringLiteral("选择数据源"), fraCode);
    cmdData->setObjectName(QStringLiteral("cmdData"));
    cmdData->setGeometry(twipsRect(kBoxLeft, rowTop(0) - 30, 1560, kRowHeight + 60));

    lblCategory = rowLabel(fraCode, QStringLiteral("物料分类"), 1, QStringLiteral("lblCategory"));
    comCategory = rowList(fraCode, 1, QStringLiteral("comCategory"));
    lblName = rowLabel(fraCode, QStringLiteral("物料名称"), 2, QStringLiteral("lblName"));
    comName = rowList(fraCode, 2, QStringLiteral("comName"));

    const std::array<QString, kParameterCount + 1> captions{QString(),
                                                            QStringLiteral("参数一"),
                                                            QStringLiteral("参数二"),
                                                            QStringLiteral("参数三"),
                                                            QStringLiteral("参数四"),
                                                            QStringLiteral("参数五")};
    for (int i = 1; i <= kParameterCount; ++i) {
        lblParameter[i] = rowLabel(fraCode, captions[i], 2 + i, QStringLiteral("lblParameter%1").arg(i));
        comParameter[i] = rowList(fraCode, 2 + i, QStringLiteral("comParameter%1").arg(i));
    }

    lblCode = rowLabel(fraCode, QStringLiteral("物料编码"), 8, QStringLiteral("lblCode"));
    txtCode = new QLineEdit(fraCode);
    txtCode->setObjectName(QStringLiteral("txtCode"));
    txtCode->setGeometry(twipsRect(kBoxLeft, rowTop(8) + 60, kBoxWidth, kRowHeight));
    txtCode->setReadOnly(true);
}

void RequisitionPanel::buildBatch() {
    fraBatch = new QGroupBox(QStringLiteral("批量编码"), m_panel);
    fraBatch->setObjectName(QStringLiteral("fraBatch"));
    fraBatch->setGeometry(kBatchFrame);

    lblScope = new QLabel(QStringLiteral("编码范围："), fraBatch);
    lblScope->setObjectName(QStringLiteral("lblScope"));
    lblScope->setGeometry(twipsRect(kLabelLeft, 330, kLabelWidth, kRowHeight));
    lblScope->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // The three scopes one under the other, the button beside them.
    auto option = [this](const QString &caption, int row, const QString &objectName) {
        auto *button = new QRadioButton(caption, fraBatch);
        button->setObjectName(objectName);
        button->setGeometry(twipsRect(kBoxLeft, 330 + row * 375, 1800, kRowHeight));
        return button;
    };
    optName = option(QStringLiteral("当前物料名称"), 0, QStringLiteral("optName"));
    optCate = option(QStringLiteral("当前物料分类"), 1, QStringLiteral("optCate"));
    optAll = option(QStringLiteral("全部物料"), 2, QStringLiteral("optAll"));
    optName->setChecked(true);

    cmdBatch = new QPushButton(QStringLiteral("开始"), fraBatch);
    cmdBatch->setObjectName(QStringLiteral("cmdBatch"));
    cmdBatch->setGeometry(twipsRect(kBoxLeft + 2700, 630, 1260, 450));
}
