#include "common/DataFolder.h"
#include "common/OptionGroup.h"
#include "common/modCommon.h"

#include "TestFiles.h"

#include <QFile>
#include <QRadioButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace modCommon;

class TestModCommon : public QObject {
    Q_OBJECT

private slots:
    void joinPathUsesOneSeparator() {
        QCOMPARE(JoinPath(QStringLiteral("/data"), QStringLiteral("MIS.xls")),
                 QStringLiteral("/data/MIS.xls"));
        QCOMPARE(JoinPath(QStringLiteral("/"), QStringLiteral("MIS.xls")), QStringLiteral("/MIS.xls"));
        QCOMPARE(JoinPath(QStringLiteral("/data/"), QStringLiteral("/MIS.xls")),
                 QStringLiteral("/data/MIS.xls"));
        QCOMPARE(JoinPath(QStringLiteral("//a///b"), QStringLiteral("c")), QStringLiteral("/a/b/c"));
        QCOMPARE(CollapseRepeats(QStringLiteral("  a||||b|c  "), QStringLiteral("|")),
                 QStringLiteral("a|b|c"));
    }

    void ipv4Addresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "203.0.113.10" << true;
        QTest::newRow("blanks around") << " 127.0.0.1 " << true;
        QTest::newRow("three parts") << "203.0.113" << false;
        QTest::newRow("256") << "203.0.113.256" << false;
        QTest::newRow("300") << "300.1.1.1" << false;
        QTest::newRow("letters") << "a.b.c.d" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("negative") << "1.-1.1.1" << false;
        QTest::newRow("exponent") << "1e2.0.0.1" << false;
        QTest::newRow("empty part") << "1..1.1" << false;
        QTest::newRow("line break inside") << "10\n.0.0.1" << false;
        QTest::newRow("line break in last part") << "198.51.100.1\n.2" << false;
    }
    void ipv4Addresses() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsIPv4Address(text), valid);
    }

    void arraysKeepFirstOccurrences() {
        QStringList items{"x", "y", "x", "z", "y"};
        RemoveDuplicates(items);
        QCOMPARE(items, (QStringList{"x", "y", "z"}));
        QVERIFY(ArrayContains(QStringLiteral("y"), items));
        QVERIFY(!ArrayContains(QStringLiteral("Y"), items));
        QVERIFY(!ArrayContains(QStringLiteral("y"), {}));
        QVERIFY(ArrayIsEmpty({}));
    }

    void chineseCharacters() {
        QCOMPARE(CountChinese(QStringLiteral("AB中文1")), 2);
        QVERIFY(ContainsChinese(QStringLiteral("x龥")));     // U+9FA5, the last one counted
        QVERIFY(!ContainsChinese(QStringLiteral("〇，。"))); // CJK symbols and punctuation are not
        QVERIFY(IsLettersOnly(QStringLiteral("abcXYZ")));
        QVERIFY(!IsLettersOnly(QStringLiteral("ab1")));
        QVERIFY(!IsLettersOnly(QString()));
        QVERIFY(!IsLettersOnly(QStringLiteral("abc\n")));
        QVERIFY(IsCodeText(QStringLiteral("0A1b")));
        QVERIFY(!IsCodeText(QStringLiteral("0A-1")));
        QVERIFY(IsCodeText(QString()));
    }

    void scriptConversionTouchesOnlyChineseCharacters() {
        const QString traditional = ConvertChineseScript(QStringLiteral("泵房平面图 A-12, (3/4)"), 1);
        QCOMPARE(traditional, QStringLiteral("泵房平面圖 A-12, (3/4)"));
        QCOMPARE(ConvertChineseScript(traditional, 0), QStringLiteral("泵房平面图 A-12, (3/4)"));
        const QString mixed = QStringLiteral("電纜😀x");
        QCOMPARE(ConvertChineseScript(mixed, 0).size(), mixed.size());
    }

    // Words convert as words, in both directions, and every GB2312 level-1 character comes back from a
    // trip to traditional and back.
    void scriptConversionKnowsWordsAndRoundTrips() {
        const QList<std::pair<QString, QString>> words = {
            {QStringLiteral("沉降观测"), QStringLiteral("沉降觀測")},
            {QStringLiteral("制图"), QStringLiteral("製圖")},
            {QStringLiteral("标准件"), QStringLiteral("標準件")},
            {QStringLiteral("复杂"), QStringLiteral("複雜")},
            {QStringLiteral("干扰"), QStringLiteral("干擾")},
            {QStringLiteral("关系"), QStringLiteral("關係")},
            {QStringLiteral("剩余"), QStringLiteral("剩餘")},
            {QStringLiteral("俱乐部"), QStringLiteral("俱樂部")},
            {QStringLiteral("显著"), QStringLiteral("顯著")},
            {QStringLiteral("乾隆"), QStringLiteral("乾隆")},
        };
        QVERIFY2(tavlo::text::chineseScriptError().isEmpty(), qPrintable(tavlo::text::chineseScriptError()));
        for (const auto &[simplified, traditional] : words) {
            QCOMPARE(ConvertChineseScript(simplified, 1), traditional);
            QCOMPARE(ConvertChineseScript(traditional, 0), simplified);
        }
        QCOMPARE(ConvertChineseScript(QStringLiteral("{\\H2.5;制图}\\P设计 A-1"), 1),
                 QStringLiteral("{\\H2.5;製圖}\\P設計 A-1"));

        // 乾 alone is the traditional form of 干 (dry); only words such as 乾隆 keep it.
        const QString noRoundTrip = QStringLiteral("乾");
        QStringDecoder gb2312("GB2312");
        QStringList level1;
        for (int high = 0xB0; high <= 0xD7; ++high)
            for (int low = 0xA1; low <= (high == 0xD7 ? 0xF9 : 0xFE); ++low) { // level 1 ends at D7F9
                const char bytes[2] = {char(high), char(low)};
                const QString c = gb2312.decode(QByteArrayView(bytes, 2));
                if (c.size() == 1 && c[0] != QChar(0xFFFD) && !noRoundTrip.contains(c))
                    level1 << c;
            }
        QCOMPARE(level1.size(), 3755 - noRoundTrip.size());
        const QString text = level1.join(u'\n');
        const QString back = ConvertChineseScript(ConvertChineseScript(text, 1), 0);
        QStringList changed;
        const QStringList backLines = back.split(u'\n');
        for (qsizetype i = 0; i < level1.size(); ++i)
            if (i >= backLines.size() || backLines[i] != level1[i])
                changed << level1[i] + QStringLiteral("→") + backLines.value(i);
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(u' ')));
        QCOMPARE(ConvertChineseScript(QStringLiteral("乾"), 0), QStringLiteral("干"));

        // A converted character the target cannot hold leaves the original in place.
        const tavlo::text::CharacterFits gbk = [](QStringView c) {
            QStringEncoder encoder("GBK");
            const QByteArray bytes = encoder.encode(c);
            return !encoder.hasError() && QString(QStringDecoder("GBK").decode(bytes)) == c;
        };
        QCOMPARE(ConvertChineseScript(QStringLiteral("羅儸"), 0), QStringLiteral("罗㑩"));
        QCOMPARE(ConvertChineseScript(QStringLiteral("羅儸"), 0, gbk), QStringLiteral("罗儸"));
    }

    void numbers() {
        QVERIFY(IsWholeNumber(QStringLiteral("1006")));
        QVERIFY(IsWholeNumber(QStringLiteral(" -5 ")));
        QVERIFY(IsWholeNumber(QStringLiteral("12.0")));
        QVERIFY(!IsWholeNumber(QStringLiteral("12.5")));
        QVERIFY(!IsWholeNumber(QStringLiteral("abc")));
        QVERIFY(!IsWholeNumber(QString()));
        QVERIFY(!IsWholeNumber(QStringLiteral("1 2")));
    }

    void pathPieces() {
        QCOMPARE(ParentFolder(QStringLiteral("/home/u/plan.dxf")), QStringLiteral("/home/u"));
        QCOMPARE(ParentFolder(QStringLiteral("plan.dxf")), QString());
        QCOMPARE(LastPathSegment(QStringLiteral("/home/u/drawings/")), QStringLiteral("drawings"));
        QCOMPARE(LastPathSegment(QStringLiteral("/home/u/plan.dxf")), QStringLiteral("u"));
        QCOMPARE(LastPathSegment(QStringLiteral("plan.dxf")), QString());
        QTemporaryDir dir;
        QVERIFY(FolderExists(dir.path()));
        QVERIFY(!FolderExists(dir.filePath(QStringLiteral("none"))));
        QVERIFY(!FolderExists(QString()));
    }

    void readSettingTrimsAndFallsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("s.ini"));
        QVERIFY(TestFiles::write(path, "[MIS]\nRowList=a|b   \nEmpty=\nLong=" + QByteArray(300, 'x') + "\n"));
        QCOMPARE(ReadSetting(path, "MIS", "RowList", "d"), QStringLiteral("a|b"));
        QCOMPARE(ReadSetting(path, "MIS", "Empty", "d"), QStringLiteral("d"));
        QCOMPARE(ReadSetting(path, "MIS", "Missing", "d"), QStringLiteral("d"));
        QCOMPARE(ReadSetting(dir.filePath("none.ini"), "MIS", "RowList", "d"), QStringLiteral("d"));
        // No profile-buffer cap: a long pending-upload list must survive whole.
        QCOMPARE(ReadSetting(path, "MIS", "Long", "d").size(), 300);
    }

    void optionGroups() {
        QWidget parent;
        QRadioButton a(&parent), b(&parent), c(&parent);
        const QList<QRadioButton *> group{&a, &b, &c};
        QCOMPARE(SelectedOption(group), 0);
        SelectOption(group, 2);
        QCOMPARE(SelectedOption(group), 2);
        SelectOption(group, 7);
        QCOMPARE(SelectedOption(group), 2);
    }

    // The data folder is chosen on purpose: a build folder is never a portable copy by accident, and
    // the files earlier builds kept there move once into the per-user folder.
    void dataFolderIsChosenOnPurposeAndBuildFilesMoveOnce() {
        QTemporaryDir dir;
        const QString build = dir.filePath(QStringLiteral("build/release/src/app"));
        const QString installed = dir.filePath(QStringLiteral("opt/tavlo/bin"));
        const QString perUser = dir.filePath(QStringLiteral("share/Tavlo"));
        QVERIFY(QDir().mkpath(build) && QDir().mkpath(installed));
        QVERIFY(TestFiles::write(dir.filePath(QStringLiteral("build/release/CMakeCache.txt")), "x"));
        QVERIFY(TestFiles::write(build + QStringLiteral("/Tavlo.ini"), "[Tavlo]\nPlatformName=设计部\n"));
        QVERIFY(TestFiles::write(build + QStringLiteral("/MIS.xls"), QByteArray(70000, 'm')));

        using DataFolder::Kind;
        DataFolder::Choice choice = DataFolder::choose({QString(), build, perUser});
        QCOMPARE(choice.kind, Kind::PerUser);
        QCOMPARE(choice.path, perUser);
        QCOMPARE(choice.buildFolder, QDir(build).absolutePath());
        QCOMPARE(DataFolder::choose({home(dir), build, perUser}).kind, Kind::Environment);
        // An installed copy with nothing beside it: the per-user folder, nothing to move.
        choice = DataFolder::choose({QString(), installed, perUser});
        QCOMPARE(choice.kind, Kind::PerUser);
        QVERIFY(choice.buildFolder.isEmpty());
        // A Tavlo.ini beside an installed executable, or the marker file anywhere: portable.
        QVERIFY(TestFiles::write(installed + QStringLiteral("/Tavlo.ini"), ""));
        QCOMPARE(DataFolder::choose({QString(), installed, perUser}).kind, Kind::Portable);
        QVERIFY(TestFiles::write(build + QStringLiteral("/") + DataFolder::kPortableMarker, ""));
        QCOMPARE(DataFolder::choose({QString(), build, perUser}).path, QDir(build).absolutePath());
        QVERIFY(QFile::remove(build + QStringLiteral("/") + DataFolder::kPortableMarker));

        QString error;
        QCOMPARE(DataFolder::migrate(build, perUser, &error), (QStringList{"Tavlo.ini", "MIS.xls"}));
        QVERIFY(error.isEmpty());
        QCOMPARE(TestFiles::read(perUser + QStringLiteral("/Tavlo.ini")),
                 QByteArray("[Tavlo]\nPlatformName=设计部\n"));
        QCOMPARE(TestFiles::read(perUser + QStringLiteral("/MIS.xls")), QByteArray(70000, 'm'));
        QVERIFY(!QFile::exists(build + QStringLiteral("/MIS.xls")));
        // Once: a later file in the build folder never overwrites or joins what the user has now.
        QVERIFY(TestFiles::write(build + QStringLiteral("/MIS.xls"), "old"));
        QVERIFY(DataFolder::migrate(build, perUser, &error).isEmpty());
        QCOMPARE(TestFiles::read(perUser + QStringLiteral("/MIS.xls")), QByteArray(70000, 'm'));
    }

private:
    static QString home(const QTemporaryDir &dir) { return dir.filePath(QStringLiteral("home")); }
};

QTEST_MAIN(TestModCommon)
#include "tst_modcommon.moc"
