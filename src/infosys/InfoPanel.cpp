#include "InfoPanel.h"

#include "common/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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
    buildQuery();
    buildRecord();
}

void InfoPanel::buildQuery() {
    const std::array<QString, kKeywordCount> labels{QStringLiteral("关键词一"), QStringLiteral("关键词二"),
                                                    QStringLiteral("关键词三"), QStringLiteral("关键词四"),
                                                    QStringLiteral("关键词五"), QStringLiteral("关键词六")};
    for (int i = 0; i < kKeywordCount; ++i) {
        const int left = 120 + (i % 3) * 3375;
        const int top = 360 + (i / 3) * 600;
        auto *label = new QLabel(labels[i], fraQuery);
        label->setGeometry(twipsRect(left, top, 1020, 330));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        txtQuery[i] = new QLineEdit(fraQuery);
        txtQuery[i]->setObjectName(QStringLiteral("txtQuery%1").arg(i));
        txtQuery[i]->setGeometry(twipsRect(left + 1080, top, 2160, 330));
    }

    const int optionsTop = 1680;
    auto *before = new QLabel(QStringLiteral("以上关键词以"), fraQuery);
    before->setGeometry(twipsRect(240, optionsTop, 1260, 330));
    comAndOr = new QComboBox(fraQuery);
    comAndOr->setObjectName(QStringLiteral("comAndOr"));
    comAndOr->addItems({QStringLiteral("AND"), QStringLiteral("OR")});
    comAndOr->setGeometry(twipsRect(1500, optionsTop - 15, 900, 360));
    auto *after = new QLabel(QStringLiteral("关系查询"), fraQuery);
    after->setGeometry(twipsRect(2460, optionsTop, 900, 330));

    chkMatchCase = new QCheckBox(QStringLiteral("区分大小写"), fraQuery);
    chkMatchCase->setGeometry(twipsRect(3600, optionsTop, 1500, 330));
    chkWholeWord = new QCheckBox(QStringLiteral("全字匹配"), fraQuery);
    chkWholeWord->setGeometry(twipsRect(5160, optionsTop, 1380, 330));

    const int showTop = 2160;
    auto *showBefore = new QLabel(QStringLiteral("所查询结果用"), fraQuery);
    showBefore->setGeometry(twipsRect(240, showTop, 1260, 330));
    comShowMode = new QComboBox(fraQuery);
    comShowMode->setObjectName(QStringLiteral("comShowMode"));
    comShowMode->addItems({QStringLiteral("NotePad"), QStringLiteral("Excel")});
    comShowMode->setGeometry(twipsRect(1500, showTop - 15, 1260, 360));
    auto *showAfter = new QLabel(QStringLiteral("形式展示"), fraQuery);
    showAfter->setGeometry(twipsRect(2820, showTop, 900, 330));

    cmdQuery = new QPushButton(QStringLiteral("查询"), fraQuery);
    cmdQuery->setObjectName(QStringLiteral("cmdQuery"));
    cmdQuery->setGeometry(twipsRect(8700, 1980, 1320, 420));
}

void InfoPanel::buildRecord() {
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
        // What one workbook cell holds; a longer paste is cut here rather than refused on recording.
        txtRecord[i]->setMaxLength(kMaxFieldLength);
    }
    // The computer a record is typed on fills the last box itself.
    txtRecord[RecordSchema::kAttributeCount - 1]->setReadOnly(true);
    cmdRecord = new QPushButton(QStringLiteral("录入"), fraRecord);
    cmdRecord->setObjectName(QStringLiteral("cmdRecord"));
    cmdRecord->setGeometry(twipsRect(120 + 3 * kPairWidth + 1080, 1560, 1380, 420));
}

void InfoPanel::showSchema(const RecordSchema &schema) {
    for (int i = 0; i < RecordSchema::kAttributeCount; ++i)
        LabRecord[i]->setText(schema.attributes[i]);
}

QStringList InfoPanel::takeRecordFields(const QString &inputer) {
    QStringList fields;
    for (int i = 0; i + 1 < RecordSchema::kAttributeCount; ++i) {
        txtRecord[i]->setText(txtRecord[i]->text().trimmed());
        fields << txtRecord[i]->text();
    }
    txtRecord.back()->setText(inputer);
    fields << txtRecord.back()->text();
    return fields;
}

void InfoPanel::focusRecord() {
    txtRecord.front()->setFocus();
}

QStringList InfoPanel::takeKeywords() {
    QStringList keywords;
    for (QLineEdit *box : txtQuery) {
        box->setText(box->text().trimmed());
        keywords << box->text();
    }
    return keywords;
}

void InfoPanel::focusKeywords() {
    txtQuery.front()->setFocus();
}

InfoPanel::QueryOptions InfoPanel::queryOptions() const {
    return {chkMatchCase->isChecked(), chkWholeWord->isChecked(), comAndOr->currentIndex(),
            comShowMode->currentIndex()};
}

void InfoPanel::setQueryOptions(const QueryOptions &options) {
    chkMatchCase->setChecked(options.matchCase);
    chkWholeWord->setChecked(options.wholeWord);
    comAndOr->setCurrentIndex(options.andOr);
    comShowMode->setCurrentIndex(options.showMode);
}

QString InfoPanel::showMode() const {
    return comShowMode->currentText();
}
