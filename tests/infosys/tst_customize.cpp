#include "infosys/FrmCustomize.h"
#include "infosys/RecordSchema.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestCustomize : public QObject {
    Q_OBJECT

private slots:
    void customisationTextRoundTrips() {
        RecordSchema host = RecordSchemaText::designed();
        host.systemName = QStringLiteral("图纸管理系统");
        host.attributes[0] = QStringLiteral("图号");
        host.attributes[9] = QStringLiteral("版本");
        const QString text = RecordSchemaText::customisationText(host);
        QCOMPARE(text, QStringLiteral("图纸管理系统|图号|物料描述|型号与规格|应用项目|项目日期|品牌或厂家|"
                                      "单位|数量|价格(元)|版本"));

        RecordSchema member = RecordSchemaText::designed();
        RecordSchemaText::applyCustomisationText(text, member);
        QCOMPARE(member, host);
        QCOMPARE(member.attributes[10], QStringLiteral("录入者")); // never sent, never changed
    }

    void aBarInsideANameCannotShiftTheOtherNames() {
        RecordSchema host = RecordSchemaText::designed();
        host.attributes[2] = QStringLiteral("型号|规格");
        RecordSchema member = RecordSchemaText::designed();
        RecordSchemaText::applyCustomisationText(RecordSchemaText::customisationText(host), member);
        QCOMPARE(member.attributes[2], QStringLiteral("型号｜规格"));
        QCOMPARE(member.attributes[3], QStringLiteral("应用项目"));
    }

    void aShortPayloadChangesOnlyWhatItCarries() {
        RecordSchema schema = RecordSchemaText::designed();
        RecordSchemaText::applyCustomisationText(QStringLiteral("名录|姓名"), schema);
        QCOMPARE(schema.systemName, QStringLiteral("名录"));
        QCOMPARE(schema.attributes[0], QStringLiteral("姓名"));
        QCOMPARE(schema.attributes[1], QStringLiteral("物料描述"));
    }

    void dialogRefusesAnEmptyNameWithFocus() {
        RecordSchema schema = RecordSchemaText::designed();
        FrmCustomize dialog(schema);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.txtCustomize[FrmCustomize::kSystemBox]->text(), QStringLiteral("物料信息管理系统"));
        QCOMPARE(dialog.txtCustomize[6]->text(), QStringLiteral("单位"));

        dialog.txtCustomize[0]->setText(QStringLiteral("  名称  "));
        dialog.txtCustomize[6]->setText(QStringLiteral("   "));
        dialog.txtCustomize[8]->clear();
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QVERIFY(dialog.txtCustomize[6]->hasFocus());
        QCOMPARE(schema, RecordSchemaText::designed());

        dialog.txtCustomize[6]->setText(QStringLiteral("计量单位"));
        dialog.txtCustomize[8]->setText(QStringLiteral("价格|元"));
        QTest::mouseClick(dialog.cmdConfirm, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(schema.attributes[0], QStringLiteral("  名称  ")); // stored as typed
        QCOMPARE(schema.attributes[6], QStringLiteral("计量单位"));
        QCOMPARE(schema.attributes[8], QStringLiteral("价格｜元"));
    }

    void cancelChangesNothing() {
        RecordSchema schema = RecordSchemaText::designed();
        FrmCustomize dialog(schema);
        dialog.txtCustomize[0]->setText(QStringLiteral("x"));
        QTest::mouseClick(dialog.cmdCancel, Qt::LeftButton);
        QCOMPARE(schema, RecordSchemaText::designed());
    }
};

QTEST_MAIN(TestCustomize)
#include "tst_customize.moc"
