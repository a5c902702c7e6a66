#include "infosys/InfoRoutes.h"
#include "infosys/QueryMatch.h"
#include "infosys/RecordText.h"

#include <QTest>

using namespace QueryMatch;

namespace {
Query query(QStringList keywords, bool andMode = true, bool matchCase = false, bool wholeWord = false) {
    while (keywords.size() < kKeywordCount)
        keywords << QString();
    return Query{keywords, andMode, matchCase, wholeWord};
}
} // namespace

class TestQueryMatch : public QObject {
    Q_OBJECT

private slots:
    void queryTextHasNineFields() {
        const QString text =
            BuildQueryText(query({QStringLiteral(" 泵 "), QString(), QStringLiteral("DN50")}, false, true));
        QCOMPARE(text, QStringLiteral("泵||DN50||||False|True|False"));
        const auto parsed = ParseQueryText(text);
        QVERIFY(parsed);
        QCOMPARE(parsed->keywords[0], QStringLiteral("泵"));
        QCOMPARE(parsed->keywords[2], QStringLiteral("DN50"));
        QVERIFY(!parsed->andMode);
        QVERIFY(parsed->matchCase);
        QVERIFY(!ParseQueryText(QStringLiteral("a|b|True|True|True")));
        QVERIFY(!ParseQueryText(text + QStringLiteral("|x")));
    }

    void wholeWord_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("matches");
        QTest::newRow("at start") << "AB"
                                  << "AB|x" << true;
        QTest::newRow("at end") << "AB"
                                << "x|AB" << true;
        QTest::newRow("letter before") << "AB"
                                       << "xAB|y" << false;
        QTest::newRow("underscore after") << "AB"
                                          << "AB_1|y" << false;
        QTest::newRow("space before") << "AB"
                                      << "x AB|y" << true;
        QTest::newRow("punctuation around") << "AB"
                                            << "(AB)|y" << true;
        QTest::newRow("punctuation next to punctuation") << "-AB"
                                                         << "x--AB|y" << false;
        QTest::newRow("number inside number") << "12"
                                              << "123|x" << false;
        QTest::newRow("number after letter") << "12"
                                             << "A12|x" << true;
        QTest::newRow("chinese is a word character") << "泵"
                                                     << "离心泵|x" << false;
        QTest::newRow("chinese alone in a cell") << "泵"
                                                 << "x|泵|y" << true;
        QTest::newRow("multiplication sign is punctuation") << "DN50"
                                                            << "2×DN50|x" << true;
        QTest::newRow("only first occurrence counts") << "AB"
                                                      << "xAB|AB" << false;
    }
    void wholeWord() {
        QFETCH(QString, keyword);
        QFETCH(QString, row);
        QFETCH(bool, matches);
        QCOMPARE(KeywordMatches(row, keyword, true, true), matches);
    }

    void caseAndEmptyKeywords() {
        QVERIFY(KeywordMatches(QStringLiteral("AB|x"), QStringLiteral("ab"), false, false));
        QVERIFY(!KeywordMatches(QStringLiteral("AB|x"), QStringLiteral("ab"), true, false));
        QVERIFY(KeywordMatches(QStringLiteral("AB|x"), QString(), true, true));
        QVERIFY(!KeywordMatches(QString(), QString(), false, false));
    }

    void andAndOr() {
        const QString row = QStringLiteral("离心泵|DN50|台");
        QVERIFY(RowMatches(row, query({QStringLiteral("泵")})));
        QVERIFY(RowMatches(row, query({QStringLiteral("泵")}, false)));
        QVERIFY(!RowMatches(row, query({QStringLiteral("泵"), QStringLiteral("阀")})));
        QVERIFY(RowMatches(row, query({QStringLiteral("泵"), QStringLiteral("阀")}, false)));
        QVERIFY(!RowMatches(row, query({QStringLiteral("阀")}, false)));
        QVERIFY(!RowMatches(row, query({}, false))); // OR with nothing to look for finds nothing
        QVERIFY(!RowMatches(QString(), query({QStringLiteral("泵")})));
    }

    void rowTextLeavesOutTheInputer() {
        QStringList cells;
        for (int i = 1; i <= 10; ++i)
            cells << QString::number(i);
        cells << QStringLiteral("127.0.0.1");
        const QString row = RecordText::BuildRowText(cells);
        QCOMPARE(row, QStringLiteral("1|2|3|4|5|6|7|8|9|10"));
        QVERIFY(!RowMatches(row, query({QStringLiteral("127.0.0.1")})));
    }

    void recordTextKeepsFieldsApart() {
        QCOMPARE(RecordText::BuildRecordText({"泵", "a|b", "0012"}), QStringLiteral("泵|a｜b|0012"));
    }

    void rowListNormalisation() {
        QCOMPARE(RecordText::NormaliseRowList(QString()), QString());
        QCOMPARE(RecordText::NormaliseRowList(QStringLiteral("|2||3| 2|x|4.5|7")), QStringLiteral("|2|3|7"));
        QCOMPARE(RecordText::AppendRow(QString(), 2), QStringLiteral("|2"));
        QCOMPARE(RecordText::AppendRow(QStringLiteral("|2"), 3), QStringLiteral("|2|3"));
        QCOMPARE(RecordText::RowNumbers(QStringLiteral("|2|3|x|0|-1")), (QList<int>{2, 3}));
    }

    void aMemberCollectsTheRowsItWasToldOf() {
        QueryRows rows;
        rows.expect(0);
        QCOMPARE(rows.expected(), 0);
        rows.expect(2);
        QVERIFY(!rows.add(QStringLiteral("行一")));
        QCOMPARE(rows.add(QStringLiteral("行二")).value_or(QStringList()), (QStringList{"行一", "行二"}));
        QCOMPARE(rows.received(), 0);
        QCOMPARE(rows.expected(), 0);
        // A new count starts a new answer: rows of an incomplete one are not counted in.
        rows.expect(2);
        QVERIFY(!rows.add(QStringLiteral("旧")));
        rows.expect(1);
        QCOMPARE(rows.add(QStringLiteral("新")).value_or(QStringList()), QStringList{"新"});
    }
};

QTEST_GUILESS_MAIN(TestQueryMatch)
#include "tst_querymatch.moc"
