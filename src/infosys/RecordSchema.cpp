#include "RecordSchema.h"

#include <QStringList>

namespace RecordSchemaText {

RecordSchema designed() {
    RecordSchema schema;
    schema.systemName = QStringLiteral("物料信息管理系统");
    schema.attributes = {QStringLiteral("物料名称"), QStringLiteral("物料描述"), QStringLiteral("型号与规格"),
                         QStringLiteral("应用项目"), QStringLiteral("项目日期"), QStringLiteral("品牌或厂家"),
                         QStringLiteral("单位"),     QStringLiteral("数量"),     QStringLiteral("价格(元)"),
                         QStringLiteral("NC 编码"),  QStringLiteral("录入者")};
    return schema;
}

QString cleanName(const QString &name) {
    QString cleaned = name;
    cleaned.replace(u'|', u'｜');
    return cleaned;
}

QString customisationText(const RecordSchema &schema) {
    QStringList fields{cleanName(schema.systemName)};
    for (int i = 0; i < RecordSchema::kCustomisable; ++i)
        fields << cleanName(schema.attributes[i]);
    return fields.join(u'|');
}

void applyCustomisationText(const QString &payload, RecordSchema &schema) {
    const QStringList fields = payload.split(u'|');
    if (!fields.isEmpty())
        schema.systemName = fields[0];
    for (int i = 0; i < RecordSchema::kCustomisable && i + 1 < fields.size(); ++i)
        schema.attributes[i] = fields[i + 1];
}

} // namespace RecordSchemaText
