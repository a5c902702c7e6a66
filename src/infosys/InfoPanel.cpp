#include "InfoPanel.h"

#include "common/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {
constexpr int kColumns = 4;
constexpr int kPairWidth = 2535;
} // namespace

InfoPanel::InfoPanel(QGroupBox *panel)
    : QObject(panel) {
    fraQuery = new QGroupBox(QStringLiteral("信息查询"), panel);
    fraQuery->setGeometry(twipsRect(120, 240, 10245, 2700));
    fraRecord = new QGroupBox(QStringLiteral("信息录入"), panel);
    fraRecord->setGeometry(twipsRect(120, 3060, 10245, 2970));

    for (int i = 0; i < RecordSchema::kAttributeCount; ++i) {
        const int left = 120 + (i % kColumns) * kPairWidth;
        const int top = 360 + (i / kColumns) * 600;
        LabRecord[i] = new QLabel(fraRecord);
        LabRecord[i]->setObjectName(QStringLiteral("LabRecord%1").arg(i));
        LabRecord[i]->setGeometry(twipsRect(left, top, 1020, 330));
        LabRecord[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        txtRecord[i] = new QLineEdit(fraRecord);
        txtRecord[i]->setObjectName(QStringLiteral("txtRecord%1").arg(i));
        txtRecord[i]->setGeometry(twipsRect(left + 1080, top, 1380, 330));
    }
    // The computer a record is typed on fills the last box itself.
    txtRecord[RecordSchema::kAttributeCount - 1]->setReadOnly(true);
}

void InfoPanel::showSchema(const RecordSchema &schema) {
    for (int i = 0; i < RecordSchema::kAttributeCount; ++i)
        LabRecord[i]->setText(schema.attributes[i]);
}
