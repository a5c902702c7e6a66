#include "RequisitionPanel.h"

#include "common/TwipsRows.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

constexpr int kLabelLeft = 120;
constexpr int kLabelWidth = 960;
constexpr int kBoxLeft = 1140;
constexpr int kBoxWidth = 4080;
constexpr TwipsRows kRows{330, 410, 345};
constexpr int kRowHeight = kRows.height;

constexpr int rowTop(int row) {
    return kRows.rowTop(row);
}

QLabel *rowLabel(QWidget *parent, const QString &text, int row, const QString &objectName) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setGeometry(kRows.rect(row, kLabelLeft, kLabelWidth));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QComboBox *rowList(QWidget *parent, int row, const QString &objectName) {
    auto *list = new QComboBox(parent);
    list->setObjectName(objectName);
    list->setGeometry(kRows.rect(row, kBoxLeft, kBoxWidth));
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
    for (int which = 0; which < kListCount; ++which)
        connect(list(which), &QComboBox::currentIndexChanged, this,
                [this, which] { emit listChosen(which); });
    connect(cmdData, &QPushButton::clicked, this, &RequisitionPanel::dataClicked);
    connect(cmdBatch, &QPushButton::clicked, this, &RequisitionPanel::batchClicked);
}

QComboBox *RequisitionPanel::list(int which) const {
    if (which == kCategory)
        return comCategory;
    if (which == kName)
        return comName;
    return comParameter[size_t(which - kParameter0)];
}

int RequisitionPanel::listOf(const QComboBox *box) const {
    for (int which = 0; which < kListCount; ++which)
        if (list(which) == box)
            return which;
    return -1;
}

QStringList RequisitionPanel::items(int which) const {
    const QComboBox *box = list(which);
    QStringList texts;
    texts.reserve(box->count());
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

int RequisitionPanel::count(int which) const {
    return list(which)->count();
}

QString RequisitionPanel::itemText(int which, int index) const {
    return list(which)->itemText(index);
}

QString RequisitionPanel::currentText(int which) const {
    return list(which)->currentText();
}

int RequisitionPanel::currentIndex(int which) const {
    return list(which)->currentIndex();
}

void RequisitionPanel::setItems(int which, const QStringList &texts) {
    QComboBox *box = list(which);
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(texts);
    box->setCurrentIndex(-1);
}

void RequisitionPanel::addItem(int which, const QString &item) {
    QComboBox *box = list(which);
    const QSignalBlocker blocker(box);
    box->addItem(item);
}

void RequisitionPanel::choose(int which, int index) {
    QComboBox *box = list(which);
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(index);
}

void RequisitionPanel::setListsEnabled(bool enabled) {
    for (int which = 0; which < kListCount; ++which)
        list(which)->setEnabled(enabled);
    txtCode->setEnabled(enabled);
}

void RequisitionPanel::showCode(const QString &code) {
    if (txtCode->text() != code)
        txtCode->setText(code);
}

RequisitionPanel::Scope RequisitionPanel::scope() const {
    if (optAll->isChecked())
        return Scope::All;
    if (optCate->isChecked())
        return Scope::Category;
    return Scope::Name;
}

void RequisitionPanel::showBatchRunning(bool running) {
    fraCode->setEnabled(!running);
    if (fraWord)
        fraWord->setEnabled(!running);
    for (QRadioButton *option : {optName, optCate, optAll})
        option->setEnabled(!running);
    cmdBatch->setText(running ? QStringLiteral("中断") : QStringLiteral("开始"));
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
