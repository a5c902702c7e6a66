#include "requisition/MaterialCode.h"
#include "requisition/UnitInference.h"

#include <QTest>

using namespace MaterialCode;

class TestMaterialCode : public QObject {
    Q_OBJECT

private slots:
    void inferUnit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("unit");
        const QList<std::pair<QString, QString>> rows{// By the last character.
                                                      {"01-过滤器", "台"},
                                                      {"01-压缩机", "台"},
                                                      {"01-配电柜", "台"},
                                                      {"01-接线箱", "台"},
                                                      {"01-离心泵", "台"},
                                                      {"01-工具", "套"},
                                                      {"01-机组", "套"},
                                                      {"01-泵房", "套"},
                                                      {"01-分析仪", "套"},
                                                      {"01-控制室", "套"},
                                                      {"01-缓蚀剂", "kg"},
                                                      {"01-水泥", "kg"},
                                                      {"01-润滑油", "kg"},
                                                      {"01-粉末", "kg"},
                                                      {"01-干粉", "kg"},
                                                      {"01-导线", "m"},
                                                      {"01-电缆", "m"},
                                                      {"01-钢丝绳", "m"},
                                                      {"01-钢管", "m"},
                                                      {"01-钢带", "m"},
                                                      {"01-母排", "m"},
                                                      {"01-铁塔", "基"},
                                                      {"01-拉杆", "根"},
                                                      {"01-接地棒", "根"},
                                                      {"01-法兰", "个"},
                                                      {"", "个"},
                                                      // Endings that override the last character.
                                                      {"01-加药装置", "套"},
                                                      {"01-金属挠性管", "个"},
                                                      {"01-不锈钢连接管", "个"},
                                                      {"01-编制带", "条"},
                                                      {"01-绝缘胶带", "盘"},
                                                      {"01-SCADA", "套"},
                                                      {"01-PMS", "套"},
                                                      {"01-EPS", "套"},
                                                      // Case matters, blanks around the name do not.
                                                      {"01-pms", "个"},
                                                      {"01-scada", "个"},
                                                      {"  01-离心泵  ", "台"},
                                                      {"01-Eps", "个"}};
        for (const auto &[name, unit] : rows)
            QTest::newRow(qPrintable(name.isEmpty() ? QStringLiteral("(empty)") : name)) << name << unit;
    }
    void inferUnit() {
        QFETCH(QString, name);
        QFETCH(QString, unit);
        QCOMPARE(InferUnit(name), unit);
    }

    void codeIsComposedFromTheCodesOfTheItems() {
        const ParameterTexts parameters{"01-DN50", "02-铸铁", "01-380V", "00-无", "00-无"};
        const QString code = ComposeCode("0101-泵类", "03-潜水泵", parameters);
        QCOMPARE(code, QStringLiteral("0101030102010000"));
        QVERIFY(CodeValid(code));
        // One parameter list empty: two characters short.
        const QString shorter =
            ComposeCode("0101-泵类", "03-潜水泵", {"01-DN50", "02-铸铁", "01-380V", "00-无", ""});
        QCOMPARE(shorter.size(), 14);
        QVERIFY(!CodeValid(shorter));
        QVERIFY(!CodeValid(QStringLiteral("0101030102010-00")));
        QVERIFY(!CodeValid(QStringLiteral("010103010201000泵")));
        QVERIFY(!CodeValid(QStringLiteral("01010301020100 0")));
        QVERIFY(!CodeValid(QString()));
    }

    void dataSourceNeedsCodesOfLettersAndDigits() {
        const ParameterLists parameters{QStringList{"01-a"}, {"AB-b"}, {"z9"}, {"00-无"}, {"00"}};
        QVERIFY(DataSourceValid({"0101-泵类", "A1b2"}, {"01-离心泵"}, parameters));
        QVERIFY(!DataSourceValid({"01-1-泵类"}, {"01-离心泵"}, parameters));
        QVERIFY(!DataSourceValid({"0101-泵类"}, {"0-离心泵"}, parameters));
        QVERIFY(!DataSourceValid({"0101-泵类"}, {"0 1"}, parameters));
        QVERIFY(!DataSourceValid({}, {"01-离心泵"}, parameters));
        QVERIFY(!DataSourceValid({"0101-泵类"}, {}, parameters));
        ParameterLists oneEmpty = parameters;
        oneEmpty[4].clear();
        QVERIFY(!DataSourceValid({"0101-泵类"}, {"01-离心泵"}, oneEmpty));
        ParameterLists badValue = parameters;
        badValue[2].append("中文");
        QVERIFY(!DataSourceValid({"0101-泵类"}, {"01-离心泵"}, badValue));
    }

    void materialSpecLeavesOutNoValueParameters() {
        QCOMPARE(MaterialSpecText({"00-无", "00-无", "00-无", "00-无", "00-无"}), QString());
        QCOMPARE(MaterialSpecText({"01-a", "00-无", "02b", "00", "00-x"}), QStringLiteral("a b "));
        QCOMPARE(MaterialSpecText({"01-DN50", "02-不锈钢", "01-380V", "00-无", "00-无"}),
                 QStringLiteral("DN50 不锈钢 380V "));
        // A value that is only its code contributes an empty text and its blank.
        QCOMPARE(MaterialSpecText({"01", "00", "00", "00", "00"}), QStringLiteral(" "));
    }

    void codesAreStrippedForKeysAndNames() {
        QCOMPARE(NameWithoutCode("01-离心泵"), QStringLiteral("离心泵"));
        QCOMPARE(NameWithoutCode("01离心泵"), QStringLiteral("离心泵"));
        QCOMPARE(NameWithoutCode("01"), QString());
        QCOMPARE(StripCategoryKey("0102-阀门"), QStringLiteral("阀门"));
        QVERIFY(IsCategoryKeyed("0101-泵类"));
        QVERIFY(!IsCategoryKeyed("0101泵类"));
        QVERIFY(!IsCategoryKeyed("01-离心泵"));
        QCOMPARE(CategoryColumn("0107-管件"), 7);
        QCOMPARE(CategoryColumn("01AB-泵类"), 0);
        QCOMPARE(CategoryColumn("01１２"), 0);
        QCOMPARE(SynthesizedName("0203-电缆"), QStringLiteral("01-电缆"));
    }
};

QTEST_APPLESS_MAIN(TestMaterialCode)
#include "tst_materialcode.moc"
