// The CAD text tools against the corpus drawings: the cleaning of multiline texts, extraction into a
// worksheet, replacement from a manuscript, script conversion, and whole round trips read back by an
// independent reader (Debian's python3-ezdxf).

#include "EzdxfTexts.h"
#include "Python.h"
#include "TestFiles.h"
#include "cadtext/ChineseConversion.h"
#include "cadtext/MTextCleaning.h"
#include "cadtext/TextExtraction.h"
#include "cadtext/TextReplacement.h"
#include "common/modCommon.h"
#include "platform/drawing/CadDocument.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavlo;
using drawing::CadDocument;
using drawing::CadEntity;
using MTextCleaning::CleanMText;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/drawings/") + name;
}

std::unique_ptr<CadDocument> load(const QString &name) {
    QString error;
    auto document = CadDocument::load(corpus(name), &error);
    if (!document)
        qWarning().noquote() << name << error;
    return document;
}

// Every box checked, every list on "all".
TextWalk::Options everything() {
    TextWalk::Options options;
    options.insert = options.attribute = options.table = options.attributeDefinition = true;
    return options;
}

// What "All Scopes" selects with the frame's filter.
QList<CadEntity *> selectAll(CadDocument &document, const TextWalk::Options &options) {
    modAutoCAD::FilterChoice choice = options.lists;
    choice.containers = options.insert || options.table || options.attributeDefinition;
    const modAutoCAD::SelectionFilter filter = modAutoCAD::BuildSelectionFilter(choice);
    auto sets = document.SelectionSets();
    if (auto *old = sets.Item(QStringLiteral("EXTRACTSET")))
        old->Delete();
    drawing::CadSelectionSet *set = sets.Add(QStringLiteral("EXTRACTSET"));
    set->Select(drawing::CadSelectionSet::acSelectionSetAll, filter.filterTypes, filter.filterData);
    return set->items();
}

CadEntity *byHandle(CadDocument &document, const QString &handle) {
    if (CadEntity *e = document.entityByHandle(handle))
        return e;
    for (int i = 0; i < document.Blocks().Count(); ++i)
        for (CadEntity *e : document.Blocks().Item(i)->entities())
            if (e->Handle() == handle)
                return e;
    return nullptr;
}

// A worksheet as the extraction command prepares it: columns 1 to 3 formatted as text.
class Sheet {
public:
    Sheet()
        : m_application(sheet::Application::create()) {
        m_book = m_application->Workbooks().Add();
        m_sheet = m_book->Sheets(1);
        m_sheet->setColumnsFormat(1, 3, QStringLiteral("@"));
    }
    ~Sheet() { m_application->Quit(); }
    sheet::Worksheet &operator*() { return *m_sheet; }
    sheet::Worksheet *operator->() { return m_sheet; }
    int lastRow() const { return m_sheet->UsedRange().lastRow(); }

    int extract(CadDocument &document, const TextExtraction::Options &options) {
        return TextExtraction::ExtractTexts(selectAll(document, options.walk), document.Name(), *m_sheet,
                                            lastRow(), options);
    }
    // Column 3 of the rows that carry the handle.
    QStringList textsOf(const QString &handle) const {
        QStringList texts;
        for (int row = 1; row <= m_sheet->UsedRange().lastRow(); ++row)
            if (m_sheet->value(row, 2) == handle)
                texts << m_sheet->value(row, 3);
        return texts;
    }
    QStringList column(int c) const {
        QStringList values;
        for (int row = 1; row <= m_sheet->UsedRange().lastRow(); ++row)
            values << m_sheet->value(row, c);
        return values;
    }

private:
    sheet::Application *m_application;
    sheet::Workbook *m_book;
    sheet::Worksheet *m_sheet;
};

TextExtraction::Options extractEverything() {
    TextExtraction::Options options;
    options.walk = everything();
    return options;
}

} // namespace

class TestTextTools : public QObject {
    Q_OBJECT

private slots:
    void cleaningRemovesFormatCodes_data();
    void cleaningRemovesFormatCodes();
    void codeSpansLoseBothCodesOnlyWhenClosed();

    void extractionGivesTheCorpusTexts_data();
    void extractionGivesTheCorpusTexts();
    void duplicateChineseAndBlankTests();
    void blocksAttributesAndDefinitions();

    void replacementFollowsTheManuscriptRows();
    void multilineTextsAreFoundByHandleOfTheirOwnDrawing();
    void replaceStyleAndWidthKeeping();
    void conversionTouchesOnlyChineseCharacters();

    void roundTripReplacesEveryTextAndNothingElse_data();
    void roundTripReplacesEveryTextAndNothingElse();
    void conversionKeepsWhatTheCodePageCannotHold();
    void linkedColumnsAreOneText();
};

void TestTextTools::cleaningRemovesFormatCodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clean");
    const char *rows[][3] = {
        {"font and height group", "{\\Farial|b0|i0;\\H2.5;中文}", "中文"},
        {"stacked with caret", "\\S2^;", "2"},
        {"stacked fraction stays", "分数 \\S2^; 与 \\S1/2;", "分数 2 与 \\S1/2;"},
        {"paragraphs run together", "a\\Pb", "ab"},
        {"centred span", "\\pxqc;标题\\pq*;正文", "标题正文"},
        {"short alignment span", "\\pqc;Title\\pq*;rest", "Titlerest"},
        {"alignment without closing", "\\pxqc;居中段落一\\P居中段落二\\P\\pxql;左对齐段落",
         "居中段落一居中段落二左对齐段落"},
        {"escaped braces survive", "花括号\\{ \\} {\\fSimSun|b1|i0|c134|p2;宋体粗体}", "花括号{ } 宋体粗体"},
        {"codes of every kind",
         "\\L下划线\\l \\K删除线\\k \\C1;红色\\C256; \\W0.8;窄\\W1; "
         "\\Q15;斜\\Q0; \\T1.5;距\\T1; \\A1;齐 不\\~断",
         "下划线 删除线 红色 窄 斜 距 齐 不断"},
        {"indents and tabs", "\\pi-3,l3,t4;条目\\pt5;一", "条目一"},
        {"line feed", "上\n下", "上下"},
        // A stacked text without a caret before its closing semicolon keeps its code.
        {"nested groups", "{\\C1;{\\H2x;大\\H1x;小}\\S上^下;}\\P{\\fSimHei|b0|i0|c134|p49;黑体}",
         "大小\\S上^下;黑体"},
        {"plain text unchanged", "Plain 文字 123", "Plain 文字 123"},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
}

void TestTextTools::cleaningRemovesFormatCodes() {
    QFETCH(QString, text);
    QFETCH(QString, clean);
    QCOMPARE(CleanMText(text), clean);
}

void TestTextTools::codeSpansLoseBothCodesOnlyWhenClosed() {
    using MTextCleaning::RemoveCodeSpan;
    const QString open = QStringLiteral("\\pxqc;");
    const QString close = QStringLiteral("\\pq*;");
    QCOMPARE(RemoveCodeSpan(QStringLiteral("a\\pxqc;T\\pq*;b\\pxqc;U"), open, close),
             QStringLiteral("aTb\\pxqc;U"));
    QCOMPARE(RemoveCodeSpan(QStringLiteral("\\pxqc;only"), open, close), QStringLiteral("\\pxqc;only"));
    // The span must close as written; the piece then loses its first closing code in any case.
    QCOMPARE(RemoveCodeSpan(QStringLiteral("\\pxqc;T\\PQ*;x"), open, close),
             QStringLiteral("\\pxqc;T\\PQ*;x"));
    QCOMPARE(RemoveCodeSpan(QStringLiteral("\\pxqc;T\\PQ*;x\\pq*;"), open, close),
             QStringLiteral("Tx\\pq*;"));
    QCOMPARE(RemoveCodeSpan(QStringLiteral("\\PXQC;T\\pq*;"), open, close), QStringLiteral("\\PXQC;T\\pq*;"));
    QCOMPARE(RemoveCodeSpan(QStringLiteral("x\\S1^;y\\S2^;"), QStringLiteral("\\S"), QStringLiteral("^;")),
             QStringLiteral("x1y2"));
}

void TestTextTools::extractionGivesTheCorpusTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("R2000 GBK") << "01_text_mtext_r2000_gbk";
    QTest::newRow("R2018 UTF-8") << "02_text_mtext_r2018_utf8";
    QTest::newRow("edge cases") << "04_edge_cases_r2000_gbk";
}

// Every text and multiline text of model and paper space lands in the sheet with its handle, as the
// independent reader decoded it (multiline texts cleaned); blank texts do not.
void TestTextTools::extractionGivesTheCorpusTexts() {
    QFETCH(QString, name);
    auto document = load(name + QStringLiteral(".dxf"));
    QVERIFY(document);
    Sheet sheet;
    const int count = sheet.extract(*document, extractEverything());

    auto *reader = sheet::Application::create();
    sheet::Workbook *expected = reader->Workbooks().Open(corpus(name + QStringLiteral(".expected.csv")));
    QVERIFY2(expected, qPrintable(reader->lastError()));
    sheet::Worksheet *rows = expected->Sheets(1);
    int written = 0;
    for (int row = 2; row <= rows->UsedRange().lastRow(); ++row) {
        const QString handle = rows->value(row, 1);
        const QString type = rows->value(row, 2);
        const QString decoded = rows->value(row, 11);
        const QString text = type == QLatin1String("MTEXT") ? CleanMText(decoded) : decoded;
        if (text.trimmed().isEmpty()) {
            QVERIFY2(sheet.textsOf(handle).isEmpty(), qPrintable(handle));
            continue;
        }
        QCOMPARE(sheet.textsOf(handle), QStringList{text});
        ++written;
    }
    reader->Quit();
    QCOMPARE(count, written);
    QCOMPARE(sheet.lastRow(), 1 + count); // an empty sheet reports row 1 as used: texts start on row 2
    QVERIFY(sheet.column(1).mid(1).count(document->Name()) == count);
    if (name.startsWith(QLatin1String("01"))) {
        QCOMPARE(sheet.textsOf(QStringLiteral("46")), QStringList{QStringLiteral("中文 normal text")});
        QCOMPARE(sheet.textsOf(QStringLiteral("48")), QStringList{QStringLiteral("ab第三行")});
        QCOMPARE(sheet->numberFormat(2, 3), QStringLiteral("@"));
    }
}

void TestTextTools::duplicateChineseAndBlankTests() {
    auto document = load(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(document);
    const QString repeated = QStringLiteral("重复文字");
    for (const char *handle : {"36", "39", "3A"})
        byHandle(*document, QLatin1String(handle))->setTextString(repeated);
    byHandle(*document, QStringLiteral("3B"))->setTextString(QStringLiteral("   "));
    byHandle(*document, QStringLiteral("40"))->setTextString(QStringLiteral("Latin text ABC 123中"));
    // A multiline text with the same words is written anyway, and counts for later duplicates.
    byHandle(*document, QStringLiteral("4D"))->setTextString(QStringLiteral("{\\H2;Latin text ABC 123}"));
    byHandle(*document, QStringLiteral("50"))->setTextString(QStringLiteral("Latin text ABC 123"));

    TextExtraction::Options options = extractEverything();
    {
        Sheet sheet;
        sheet.extract(*document, options);
        QCOMPARE(sheet.column(3).count(repeated), 3);
        QVERIFY(sheet.textsOf(QStringLiteral("3B")).isEmpty());
        QCOMPARE(sheet.column(3).count(QStringLiteral("Latin text ABC 123")), 3);
    }
    options.noDuplicate = true;
    {
        Sheet sheet;
        sheet->setValue(1, 3, QStringLiteral("设备编号 EQ-101 / 泵")); // already in the sheet above the run
        const int count = sheet.extract(*document, options);
        QCOMPARE(sheet.column(3).count(repeated), 1);
        QCOMPARE(sheet.textsOf(QStringLiteral("36")), QStringList{repeated});
        QVERIFY(sheet.textsOf(QStringLiteral("3B")).isEmpty());
        QCOMPARE(sheet.column(3).count(QStringLiteral("Latin text ABC 123")), 2);
        QCOMPARE(sheet.textsOf(QStringLiteral("37")), QStringList{QStringLiteral("Latin text ABC 123")});
        QCOMPARE(sheet.textsOf(QStringLiteral("4D")), QStringList{QStringLiteral("Latin text ABC 123")});
        QVERIFY(sheet.textsOf(QStringLiteral("50")).isEmpty());
        // A second run appends below the first and finds every text a duplicate but multiline texts.
        const int before = sheet.lastRow();
        const int again = sheet.extract(*document, options);
        QVERIFY(again > 0 && again < count);
        QCOMPARE(sheet.lastRow(), before + again);
        QCOMPARE(sheet.textsOf(QStringLiteral("46")).size(), 2);
        QCOMPARE(sheet.column(3).count(repeated), 1);
    }
    options.noDuplicate = false;
    options.chineseOnly = true;
    {
        Sheet sheet;
        sheet.extract(*document, options);
        QVERIFY(sheet.textsOf(QStringLiteral("37")).isEmpty()); // Latin letters only
        QCOMPARE(sheet.textsOf(QStringLiteral("40")), QStringList{QStringLiteral("Latin text ABC 123中")});
        QCOMPARE(sheet.textsOf(QStringLiteral("3E")), QStringList{QStringLiteral("Escaped 中文 literal")});
        for (const QString &text : sheet.column(3).mid(1))
            QVERIFY2(modCommon::ContainsChinese(text), qPrintable(text));
    }
}

void TestTextTools::blocksAttributesAndDefinitions() {
    auto document = load(QStringLiteral("03_blocks_attribs_r2018.dxf"));
    QVERIFY(document);
    Sheet sheet;
    TextExtraction::Options options = extractEverything();
    options.walk.table = false; // attribute definitions inside blocks come with their own box
    sheet.extract(*document, options);
    // Two references of TITLE_BLOCK: its contents twice, each with the definition's handle.
    const QStringList definition{"DRAWING_NAME", "图纸名称", "默认图名"};
    QCOMPARE(sheet.textsOf(QStringLiteral("45")), definition + definition);
    QCOMPARE(sheet.textsOf(QStringLiteral("47")),
             QStringList({"DESIGNER", "设计人 Designer"}) + QStringList({"DESIGNER", "设计人 Designer"}));
    QCOMPARE(sheet.textsOf(QStringLiteral("42")).size(), 2);
    QCOMPARE(sheet.textsOf(QStringLiteral("42")).first(), QStringLiteral("设计单位审核 Checked"));
    // Attributes with their own handles, tag then text, after the block's contents.
    QCOMPARE(sheet.textsOf(QStringLiteral("54")), QStringList({"DRAWING_NAME", "一层平面图"}));
    QCOMPARE(sheet.textsOf(QStringLiteral("72")), QStringList({"ROOM_NAME", "图纸空间房间"}));
    const QStringList handles = sheet.column(2);
    QVERIFY(handles.indexOf(QStringLiteral("54")) > handles.indexOf(QStringLiteral("4A")));
    // The nested reference of LOGO is not descended into.
    QVERIFY(sheet.textsOf(QStringLiteral("3A")).isEmpty());
    QCOMPARE(sheet.textsOf(QStringLiteral("73")), QStringList{QStringLiteral("模型空间普通文字")});

    // Without the boxes only the top-level texts come.
    Sheet plain;
    plain.extract(*document, TextExtraction::Options{});
    QCOMPARE(plain.column(3).mid(1), QStringList{QStringLiteral("模型空间普通文字")});
    // With blocks but no attributes, and a layer restriction that the inner entities must meet too.
    Sheet layered;
    TextExtraction::Options onLayer;
    onLayer.walk.insert = true;
    onLayer.walk.lists.layer = QStringLiteral("TITLE");
    layered.extract(*document, onLayer);
    QVERIFY(layered.textsOf(QStringLiteral("4F")).isEmpty()); // ROOM_TAG's text is on TEXT_CN
    QVERIFY(layered.textsOf(QStringLiteral("54")).isEmpty());
    QCOMPARE(layered.textsOf(QStringLiteral("40")).size(), 2);
}

void TestTextTools::replacementFollowsTheManuscriptRows() {
    auto document = load(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(document);
    CadEntity *a = byHandle(*document, QStringLiteral("37"));
    const QString source = a->TextString();
    TextReplacement::Manuscript manuscript;
    manuscript.addRow({{}, {}, QStringLiteral("1:100"), QStringLiteral("   ")}); // blank target
    manuscript.addRow({{}, {}, source, QStringLiteral("B 文字")});
    manuscript.addRow({{}, {}, QStringLiteral("  "), QStringLiteral("never")}); // blank source
    manuscript.addRow({{}, {}, QStringLiteral("B 文字"), QStringLiteral(" C 译文 ")});
    manuscript.addRow({{}, {}, source, QStringLiteral("too late")}); // the text is no longer A
    QCOMPARE(manuscript.rowCount(), 3);

    TextReplacement::Options options;
    options.walk = everything();
    const int count =
        TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, manuscript, options);
    QCOMPARE(count, 2);
    QCOMPARE(a->TextString(), QStringLiteral(" C 译文 ")); // untrimmed
    QCOMPARE(byHandle(*document, QStringLiteral("40"))->TextString(), QStringLiteral("1:100"));

    // A cell's cleaned text is what is compared, and the chain continues with the cleaned target.
    TextReplacement::Manuscript cells;
    cells.addRow({{}, {}, QStringLiteral("Title"), QStringLiteral("{\\H2;标题}")});
    cells.addRow({{}, {}, QStringLiteral("标题"), QStringLiteral("表头")});
    const auto outcome = cells.replaceText(QStringLiteral("Title"), CleanMText);
    QCOMPARE(outcome.count, 2);
    QCOMPARE(outcome.text, QStringLiteral("表头"));
}

void TestTextTools::multilineTextsAreFoundByHandleOfTheirOwnDrawing() {
    auto document = load(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(document);
    CadEntity *mtext = byHandle(*document, QStringLiteral("48"));
    CadEntity *other = byHandle(*document, QStringLiteral("46"));
    const QString name = document->Name();
    TextReplacement::Manuscript manuscript;
    // Column 3 naming the text does not matter; the handle does, and only the drawing's own rows count.
    manuscript.addRow({name, QStringLiteral("46"), QStringLiteral("anything"), QStringLiteral("第一")});
    manuscript.addRow(
        {QStringLiteral("other.dxf"), QStringLiteral("48"), QStringLiteral("x"), QStringLiteral("别的")});
    manuscript.addRow({name, QStringLiteral("99"), CleanMText(mtext->TextString()), QStringLiteral("wrong")});
    manuscript.addRow({name, QStringLiteral("46"), QStringLiteral("again"), QStringLiteral("第二")});
    TextReplacement::Options options;
    const int count =
        TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, manuscript, options);
    QCOMPARE(count, 2);
    QCOMPARE(other->TextString(), QStringLiteral("第二"));
    QCOMPARE(mtext->TextString(), QStringLiteral("a\\Pb\\P第三行"));

    // A drawing renamed since the extraction still takes the rows.
    TextReplacement::Manuscript renamed;
    renamed.addRow(
        {QStringLiteral("plan.dxf"), QStringLiteral("48"), QStringLiteral("x"), QStringLiteral("新的")});
    TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, renamed, options);
    QCOMPARE(mtext->TextString(), QStringLiteral("新的"));
}

void TestTextTools::replaceStyleAndWidthKeeping() {
    for (const bool chinese : {true, false}) {
        auto document = load(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
        QVERIFY(document);
        CadEntity *text = byHandle(*document, QStringLiteral("41"));
        CadEntity *mtext = byHandle(*document, QStringLiteral("52"));
        text->setTextString(QStringLiteral("中中中中"));
        text->setScaleFactor(0.9);
        TextReplacement::Manuscript manuscript;
        manuscript.addRow({{}, {}, QStringLiteral("中中中中"), QStringLiteral("文文文文文")});
        manuscript.addRow({{}, QStringLiteral("52"), QStringLiteral("-"), QStringLiteral("Paper")});
        TextReplacement::Options options;
        options.convertFont = true;
        options.matchWidth = true;
        options.sample = chinese ? QStringLiteral("中文") : QStringLiteral("English");
        QCOMPARE(
            TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, manuscript, options),
            2);
        const drawing::CadTextStyle *style = document->TextStyles().Item(QStringLiteral("REPLACE_STYLE"));
        QVERIFY(style);
        QCOMPARE(style->FontFile(), chinese ? QStringLiteral("fszf.shx") : QStringLiteral("romans.shx"));
        QCOMPARE(style->BigFontFile(), chinese ? QStringLiteral("hzfs.shx") : QString());
        QCOMPARE(text->StyleName(), QStringLiteral("REPLACE_STYLE"));
        QCOMPARE(mtext->StyleName(), QStringLiteral("REPLACE_STYLE"));
        QCOMPARE(byHandle(*document, QStringLiteral("45"))->StyleName(),
                 QStringLiteral("HZ")); // not replaced
        // Four full-width characters became five: the width factor shrinks by 4/5.
        QVERIFY2(qAbs(text->ScaleFactor() - 0.9 * 0.8) < 1e-6,
                 qPrintable(QString::number(text->ScaleFactor())));
    }
}

void TestTextTools::conversionTouchesOnlyChineseCharacters() {
    auto document = load(QStringLiteral("03_blocks_attribs_r2018.dxf"));
    QVERIFY(document);
    CadEntity *text = byHandle(*document, QStringLiteral("73"));
    text->setTextString(QStringLiteral("简体字abc"));
    CadEntity *mtext = byHandle(*document, QStringLiteral("42"));
    const QString coded = QStringLiteral("{\\Fsimsun|b0;\\H2.5;设计单位}\\P审核 Checked");
    mtext->setTextString(coded);

    ChineseConversion::Options options;
    options.walk = everything();
    options.mode = 1;
    options.convertFont = true;
    const QList<CadEntity *> selection = selectAll(*document, options.walk);
    // Strings visited: 1 text; per TITLE_BLOCK reference 2 texts, 1 multiline text, 6 definitions of 3 and
    // 5 attributes of 2; per ROOM_TAG reference 1 text, 2 definitions of 3 and 2 attributes of 2.
    const int visited = 1 + 2 * (3 + 18 + 10) + 4 * (1 + 6 + 4);
    QCOMPARE(ChineseConversion::ConvertChinese(selection, *document, options), visited);
    QCOMPARE(text->TextString(), QStringLiteral("簡體字abc"));
    // OpenCC's standard traditional form of 审核 is 審覈.
    QCOMPARE(mtext->TextString(), QStringLiteral("{\\Fsimsun|b0;\\H2.5;設計單位}\\P審覈 Checked"));
    QCOMPARE(text->StyleName(), QStringLiteral("SHIFT_STYLE"));
    QCOMPARE(document->TextStyles().Item(QStringLiteral("SHIFT_STYLE"))->BigFontFile(),
             QStringLiteral("gbcbig.shx"));
    QCOMPARE(byHandle(*document, QStringLiteral("45"))->StyleName(),
             QStringLiteral("HZ")); // definitions keep theirs

    options.mode = 0;
    QCOMPARE(ChineseConversion::ConvertChinese(selection, *document, options), visited);
    QCOMPARE(text->TextString(), QStringLiteral("简体字abc"));
    QCOMPARE(mtext->TextString(), coded);
    QCOMPARE(document->TextStyles().Item(QStringLiteral("SHIFT_STYLE"))->BigFontFile(),
             QStringLiteral("hzfs.shx"));
}

void TestTextTools::roundTripReplacesEveryTextAndNothingElse_data() {
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"01_text_mtext_r2000_gbk.dxf", "02_text_mtext_r2018_utf8.dxf", "03_blocks_attribs_r2018.dxf",
          "03b_blocks_attribs_r2000_gbk.dxf", "04_edge_cases_r2000_gbk.dxf",
          "real/ezdxf__acad_table_simple.dxf", "real/ezdxf__acad_table_with_blk_ref.dxf",
          "real/ezdxf__mtext_complex_inline_codes.dxf", "real/ezdxf__text.dxf", "real/ezdxf__uncommon.dxf"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Extract everything, translate every row, replace, save, and read the result with the independent
// reader: every extracted string is a translation now, every other string and every other pair is as
// it was.
void TestTextTools::roundTripReplacesEveryTextAndNothingElse() {
    if (!Python::has(QStringLiteral("ezdxf")))
        QSKIP("python3-ezdxf is not installed");
    QFETCH(QString, name);
    auto document = load(name);
    QVERIFY(document);
    Sheet sheet;
    const int count = sheet.extract(*document, extractEverything());
    QVERIFY(count > 0);
    QSet<QString> handles;
    for (int row = 2; row <= sheet.lastRow(); ++row) {
        sheet->setValue(row, 4, QStringLiteral("译%1").arg(row));
        handles.insert(sheet->value(row, 2));
    }
    TextReplacement::Options options;
    options.walk = everything();
    const auto manuscript = TextReplacement::Manuscript::fromSheet(*sheet, 1, sheet.lastRow(), 3, 4);
    const int replaced =
        TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, manuscript, options);
    QVERIFY(replaced >= int(handles.size()));

    QTemporaryDir dir;
    const QString after = dir.filePath(QStringLiteral("after.dxf"));
    QVERIFY2(document->SaveAs(after), qPrintable(document->lastError()));
    const QJsonObject result = compareWithEzdxf(corpus(name), after);
    QVERIFY(!result.isEmpty());
    const QJsonArray diffs = result[QLatin1String("diffs")].toArray();
    QVERIFY2(diffs.isEmpty(), qPrintable(QJsonDocument(diffs).toJson()));

    const QJsonObject before = result[QLatin1String("before")].toObject();
    const QJsonObject now = result[QLatin1String("after")].toObject();
    auto translated = [](const QString &s) { return s.startsWith(QStringLiteral("译")); };
    for (auto it = before.begin(); it != before.end(); ++it) {
        const QJsonObject old = it.value().toObject();
        const QJsonObject fresh = now[it.key()].toObject();
        for (const QString &field :
             {QStringLiteral("text"), QStringLiteral("tag"), QStringLiteral("prompt")}) {
            if (!old.contains(field))
                continue;
            const QString was = old[field].toString();
            const QString is = fresh[field].toString();
            const bool extracted = handles.contains(it.key()) && !was.trimmed().isEmpty();
            if (extracted && old[QLatin1String("type")].toString() == QLatin1String("MTEXT") &&
                CleanMText(was).trimmed().isEmpty())
                continue; // nothing left after cleaning: never written, never replaced
            if (old[QLatin1String("block")].toString().startsWith(QLatin1String("*T")))
                continue; // a table's own block: checked with its table below
            if (extracted)
                QVERIFY2(translated(is),
                         qPrintable(it.key() + QLatin1Char(' ') + field + QLatin1String(": ") + is));
            else
                QVERIFY2(is == was,
                         qPrintable(it.key() + QLatin1Char(' ') + field + QLatin1String(": ") + is));
        }
    }
    const QJsonObject tables = result[QLatin1String("tables")].toObject();
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        QVERIFY(handles.contains(it.key()));
        const QJsonObject table = it.value().toObject();
        QStringList block;
        for (const auto &v : table[QLatin1String("block")].toArray())
            block << v.toString();
        int cellsReplaced = 0;
        for (const auto &v : table[QLatin1String("cells")].toArray()) {
            const QString cell = v.toString();
            if (translated(cell)) {
                ++cellsReplaced;
                QVERIFY2(block.contains(cell),
                         qPrintable(cell + QLatin1String(" not in ") + block.join(u'|')));
            } else {
                QVERIFY2(cell.trimmed().isEmpty(), qPrintable(cell));
            }
        }
        QVERIFY(cellsReplaced > 0);
    }
}

// Traditional to simplified in a GBK drawing: a simplified form the code page lacks (㑩 for 儸) would be
// written as an escape the Chinese big fonts cannot show, so the original character stays.
void TestTextTools::conversionKeepsWhatTheCodePageCannotHold() {
    if (!Python::has(QStringLiteral("ezdxf")))
        QSKIP("python3-ezdxf is not installed");
    auto document = load(QStringLiteral("01_text_mtext_r2000_gbk.dxf"));
    QVERIFY(document);
    CadEntity *text = byHandle(*document, QStringLiteral("36"));
    CadEntity *other = byHandle(*document, QStringLiteral("37"));
    text->setTextString(QStringLiteral("羅儸 沉降觀測 製圖 乾隆"));
    other->setTextString(QStringLiteral("沉降观测 制图 标准件 俱乐部"));
    ChineseConversion::Options options;
    options.walk = everything();
    options.mode = 0;
    ChineseConversion::ConvertChinese({text}, *document, options);
    options.mode = 1;
    ChineseConversion::ConvertChinese({other}, *document, options);
    QCOMPARE(text->TextString(), QStringLiteral("罗儸 沉降观测 制图 乾隆"));
    QCOMPARE(other->TextString(), QStringLiteral("沉降觀測 製圖 標準件 俱樂部"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("converted.dxf"));
    QVERIFY2(document->SaveAs(path), qPrintable(document->lastError()));
    QVERIFY(!TestFiles::read(path).contains("\\U+3469"));
    const QJsonObject back = Python::json(QStringLiteral(R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
print(json.dumps({'text': doc.entitydb['36'].dxf.text, 'other': doc.entitydb['37'].dxf.text}))
)"),
                                          {path});
    QCOMPARE(back[QLatin1String("text")].toString(), QStringLiteral("罗儸 沉降观测 制图 乾隆"));
    QCOMPARE(back[QLatin1String("other")].toString(), QStringLiteral("沉降觀測 製圖 標準件 俱樂部"));
}

// A multiline text set in columns, as releases before R2018 keep it (one MTEXT per column, linked from
// the first): extracted as one row under the first column's handle, replaced and converted as one text.
void TestTextTools::linkedColumnsAreOneText() {
    if (!Python::has(QStringLiteral("ezdxf")))
        QSKIP("python3-ezdxf is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("columns.dxf"));
    const char *make = R"(
import ezdxf, json, sys
doc = ezdxf.new('R2000')
doc.header['$DWGCODEPAGE'] = 'ANSI_936'
mtext = doc.modelspace().add_mtext_static_columns(['第一栏说明\\P续', '第二栏施工要求', '第三栏'], width=50,
                                                  gutter_width=5, height=20)
doc.saveas(sys.argv[1])
back = ezdxf.readfile(sys.argv[1])
main = back.entitydb[mtext.dxf.handle]
print(json.dumps({'main': main.dxf.handle, 'columns': main.columns.count}))
)";
    const QJsonObject made = Python::json(QString::fromUtf8(make), {path});
    QCOMPARE(made[QLatin1String("columns")].toInt(), 3);
    const QString main = made[QLatin1String("main")].toString();
    QString error;
    auto document = CadDocument::load(path, &error);
    QVERIFY2(document, qPrintable(error));

    Sheet sheet;
    QCOMPARE(sheet.extract(*document, extractEverything()), 1);
    QCOMPARE(sheet->value(2, 2), main);
    QCOMPARE(sheet->value(2, 3), QStringLiteral("第一栏说明续第二栏施工要求第三栏"));

    ChineseConversion::Options convert;
    convert.walk = everything();
    convert.mode = 1;
    QCOMPARE(ChineseConversion::ConvertChinese(selectAll(*document, convert.walk), *document, convert), 1);
    Sheet converted;
    QCOMPARE(converted.extract(*document, extractEverything()), 1);
    QCOMPARE(converted->value(2, 3), QStringLiteral("第一欄說明續第二欄施工要求第三欄"));

    sheet->setValue(2, 4, QStringLiteral("Notes: first, then second, then third"));
    TextReplacement::Options options;
    options.walk = everything();
    const auto manuscript = TextReplacement::Manuscript::fromSheet(*sheet, 1, sheet.lastRow(), 3, 4);
    QCOMPARE(
        TextReplacement::ReplaceTexts(selectAll(*document, options.walk), *document, manuscript, options), 1);
    const QString after = dir.filePath(QStringLiteral("after.dxf"));
    QVERIFY2(document->SaveAs(after), qPrintable(document->lastError()));
    const QJsonObject back = Python::json(QStringLiteral(R"(
import ezdxf, json, sys
from ezdxf.audit import Auditor
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
main = doc.entitydb[sys.argv[2]]
print(json.dumps({'text': main.all_columns_raw_content(), 'errors': len(auditor.errors),
                  'mtexts': len(doc.modelspace().query('MTEXT'))}))
)"),
                                          {after, main});
    QCOMPARE(back[QLatin1String("text")].toString(), QStringLiteral("Notes: first, then second, then third"));
    QCOMPARE(back[QLatin1String("errors")].toInt(), 0);
    QCOMPARE(back[QLatin1String("mtexts")].toInt(), 1);
}

QTEST_MAIN(TestTextTools)
#include "tst_texttools.moc"
