#include "cadtext/CadFilter.h"

#include <QTest>

using namespace modAutoCAD;

class TestCadFilter : public QObject {
    Q_OBJECT

private slots:
    void progressBlocks_data();
    void progressBlocks();
    void colorTableBothWays();
    void filterForAllLists();
    void filterWithEveryRestriction();
};

void TestCadFilter::progressBlocks_data() {
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("blocks");
    QTest::newRow("nothing to do") << qint64(0) << qint64(0) << 56;
    QTest::newRow("past the end") << qint64(5) << qint64(3) << 56;
    QTest::newRow("a quarter") << qint64(1) << qint64(4) << 14;
    QTest::newRow("start") << qint64(0) << qint64(7) << 0;
    QTest::newRow("whole") << qint64(7) << qint64(7) << 56;
    // 1/112 of 56 is exactly one half: to the even 0; 3/112 is 1.5: to the even 2.
    QTest::newRow("half to even down") << qint64(1) << qint64(112) << 0;
    QTest::newRow("half to even up") << qint64(3) << qint64(112) << 2;
    QTest::newRow("huge run") << qint64(3'000'000'000) << qint64(6'000'000'000) << 28;
}

void TestCadFilter::progressBlocks() {
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(int, blocks);
    QCOMPARE(ProgressBlocks(done, total), blocks);
}

void TestCadFilter::colorTableBothWays() {
    const QStringList names = colorNames();
    QCOMPARE(names.size(), 12);
    QCOMPARE(names.last(), QStringLiteral("All Colors"));
    const QList<int> indexes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 256, -1};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(ColorIndexToName(i), names[i]);
        QCOMPARE(ColorNameToIndex(names[i]), indexes[i]);
    }
    QCOMPARE(ColorNameToIndex(QStringLiteral("Orange")), 0);
    QCOMPARE(ColorNameToIndex(QStringLiteral("red")), 0); // list texts are exact
    QVERIFY(ColorIndexToName(12).isEmpty());
    QVERIFY(ColorIndexToName(-1).isEmpty());
}

void TestCadFilter::filterForAllLists() {
    const SelectionFilter filter = BuildSelectionFilter(FilterChoice{});
    const QList<qint16> types{-4, -4, -4, 0, 0, -4, -4, -4};
    const QVariantList data{QStringLiteral("<OR"),  QStringLiteral("<AND"),  QStringLiteral("<OR"),
                            QStringLiteral("Text"), QStringLiteral("MText"), QStringLiteral("OR>"),
                            QStringLiteral("AND>"), QStringLiteral("OR>")};
    QCOMPARE(filter.filterTypes, types);
    QCOMPARE(filter.filterData, data);
}

void TestCadFilter::filterWithEveryRestriction() {
    FilterChoice choice;
    choice.form = QStringLiteral("MText");
    choice.layer = QStringLiteral("标注");
    choice.style = QStringLiteral("HZ");
    choice.color = QStringLiteral("By Layer");
    choice.containers = true;
    const SelectionFilter filter = BuildSelectionFilter(choice);
    const QList<qint16> types{-4, -4, 0, 8, 7, 62, -4, 100, -4};
    const QVariantList data{QStringLiteral("<OR"),  QStringLiteral("<AND"),     QStringLiteral("MText"),
                            QStringLiteral("标注"), QStringLiteral("HZ"),       256,
                            QStringLiteral("AND>"), QStringLiteral("SubClass"), QStringLiteral("OR>")};
    QCOMPARE(filter.filterTypes, types);
    QCOMPARE(filter.filterData, data);
}

QTEST_GUILESS_MAIN(TestCadFilter)
#include "tst_cadfilter.moc"
