#include "infosys/QueryOutput.h"
#include "platform/text/TextCodec.h"

#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestQueryOutput : public QObject {
    Q_OBJECT

private slots:
    void linesNameEveryField() {
        const QDateTime when(QDate(2026, 12, 8), QTime(9, 5, 7));
        const QString summary = QueryOutput::SummaryLine(when, 2);
        QCOMPARE(summary, QStringLiteral("2026-12-08 - 09:05:07 查到以上 2 条。"));
        const QStringList lines = QueryOutput::ResultLines(
            {QStringLiteral("泵|DN50"), QStringLiteral("阀|0012")}, RecordSchemaText::designed(), summary);
        QCOMPARE(lines, (QStringList{"", "物料名称： 泵", "物料描述： DN50", "", "物料名称： 阀",
                                     "物料描述： 0012", "", "", summary}));
    }

    void fileGrowsThenStartsAfresh() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Query.txt"));
        QCOMPARE(QueryOutput::AppendToQueryFile(path, {"a", "b"}), 2);
        QCOMPARE(QueryOutput::AppendToQueryFile(path, {"c"}), 3);
        QCOMPARE(TestFiles::read(path), QByteArray("a\nb\nc\n"));

        QVERIFY(TestFiles::write(path, QByteArray(60000, 'x')));
        QCOMPARE(QueryOutput::AppendToQueryFile(path, {"新"}), 1);
        QCOMPARE(TestFiles::read(path), QByteArray("新\n"));
    }

    void anOldGbkFileStaysGbk() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Query.txt"));
        QVERIFY(TestFiles::write(path, tavlo::text::toWire(QStringLiteral("旧结果\r\n"))));
        QCOMPARE(QueryOutput::AppendToQueryFile(path, {"新结果"}), 2);
        QCOMPARE(TestFiles::read(path), tavlo::text::toWire(QStringLiteral("旧结果\r\n新结果\r\n")));
    }
};

QTEST_GUILESS_MAIN(TestQueryOutput)
#include "tst_queryoutput.moc"
