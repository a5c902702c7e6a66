#include "RecordText.h"

#include "RecordSchema.h"

#include "common/modCommon.h"

namespace RecordText {

QString BuildRecordText(const QStringList &fields) {
    QStringList cleaned;
    for (const QString &field : fields)
        cleaned << RecordSchemaText::cleanName(field);
    return cleaned.join(u'|');
}

QString BuildRowText(const QStringList &cells) {
    QStringList flat = cells.mid(0, RecordSchema::kCustomisable);
    for (QString &cell : flat)
        cell.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ').replace(u'\n', u' ');
    return flat.join(u'|');
}

QString NormaliseRowList(const QString &rowList) {
    QString compact = rowList;
    compact.remove(u' ');
    compact = modCommon::CollapseRepeats(compact, QStringLiteral("|"));
    QStringList items = compact.split(u'|');
    modCommon::RemoveDuplicates(items);
    QString result = items.value(0);
    for (int i = 1; i < items.size(); ++i) {
        if (modCommon::IsWholeNumber(items[i]))
            result += u'|' + items[i];
    }
    return result;
}

QList<int> RowNumbers(const QString &rowList) {
    QList<int> rows;
    for (const QString &item : rowList.split(u'|')) {
        double value = 0;
        if (modCommon::IsWholeNumber(item) && modCommon::IsNumeric(item, &value) && value >= 1 &&
            value <= 1e7)
            rows << static_cast<int>(value);
    }
    return rows;
}

QString AppendRow(const QString &rowList, int row) {
    return NormaliseRowList(rowList) + u'|' + QString::number(row);
}

} // namespace RecordText
