#include "FrmCustomize.h"

#include "common/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const std::array<QString, FrmCustomize::kBoxCount> kLabels{
    QStringLiteral("属性之一"), QStringLiteral("属性之二"), QStringLiteral("属性之三"),
    QStringLiteral("属性之四"), QStringLiteral("属性之五"), QStringLiteral("属性之六"),
    QStringLiteral("属性之七"), QStringLiteral("属性之八"), QStringLiteral("属性之九"),
    QStringLiteral("属性之十"), QStringLiteral("系统名称")};
constexpr int kRowHeight = 420;
} // namespace

FrmCustomize::FrmCustomize(RecordSchema &schema, QWidget *parent)
    : QDialog(parent)
    , m_schema(schema) {
    setWindowTitle(QStringLiteral("定制<信息管理系统>"));
    setFixedSize(twips(5040), twips(240 + kBoxCount * kRowHeight + 780));
    // The system name comes first on screen, then the attributes in their order.
    for (int i = 0; i < kBoxCount; ++i) {
        const int row = i == kSystemBox ? 0 : i + 1;
        const int top = 240 + row * kRowHeight;
        LabCustomize[i] = new QLabel(kLabels[i], this);
        LabCustomize[i]->setGeometry(twipsRect(240, top, 1200, 330));
        txtCustomize[i] = new QLineEdit(this);
        txtCustomize[i]->setObjectName(QStringLiteral("txtCustomize%1").arg(i));
        txtCustomize[i]->setGeometry(twipsRect(1440, top, 3360, 330));
    }
    const int buttonsTop = 240 + kBoxCount * kRowHeight + 180;
    cmdConfirm = new QPushButton(QStringLiteral("确认"), this);
    cmdConfirm->setGeometry(twipsRect(1920, buttonsTop, 1320, 420));
    cmdConfirm->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消"), this);
    cmdCancel->setGeometry(twipsRect(3480, buttonsTop, 1320, 420));
    connect(cmdConfirm, &QPushButton::clicked, this, &FrmCustomize::cmdConfirm_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    Form_Load();
}

void FrmCustomize::Form_Load() {
    txtCustomize[kSystemBox]->setText(m_schema.systemName);
    for (int i = 0; i < RecordSchema::kCustomisable; ++i)
        txtCustomize[i]->setText(m_schema.attributes[i]);
}

void FrmCustomize::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QWidget *owner = parentWidget()) {
        const QRect frame = owner->geometry();
        move(frame.x() + frame.width() / 2 - width() / 2, frame.y() + frame.height() / 2 - height() / 2);
    }
}

void FrmCustomize::cmdConfirm_Click() {
    for (int i = 0; i < kBoxCount; ++i) {
        if (txtCustomize[i]->text().trimmed().isEmpty()) {
            txtCustomize[i]->setFocus();
            return;
        }
    }
    m_schema.systemName = RecordSchemaText::cleanName(txtCustomize[kSystemBox]->text());
    for (int i = 0; i < RecordSchema::kCustomisable; ++i)
        m_schema.attributes[i] = RecordSchemaText::cleanName(txtCustomize[i]->text());
    accept();
}
