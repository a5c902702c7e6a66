// Edited drawings checked by an independent reader (Debian's python3-ezdxf): its audit finds no error,
// it reads back our new texts, styles and table cells, and its queries select what our filters select.

#include "Python.h"
#include "TestFiles.h"
#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/DxfFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

using namespace tavlo::drawing;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/drawings/") + name;
}

// What ezdxf's audit says of a drawing when it finds errors; empty when it finds none.
QString auditErrors(const QString &path) {
    const QString report = QString::fromUtf8(
        Python::exec({QStringLiteral("-m"), QStringLiteral("ezdxf"), QStringLiteral("audit"), path}));
    return report.contains(QLatin1String("No errors found")) ? QString() : report;
}

// The drawing at `path`; null, with the reason shown, when it does not load.
std::unique_ptr<CadDocument> load(const QString &path) {
    QString error;
    auto document = CadDocument::load(path, &error);
    if (!document)
        qWarning().noquote() << path << error;
    return document;
}

CadEntity *tableOf(CadDocument &document) {
    for (CadEntity *e : document.entities())
        if (e->EntityName() == QLatin1String("AcDbTable"))
            return e;
    return nullptr;
}

QString copyToTemp(const QTemporaryDir &dir, const QString &name) {
    const QString path = dir.filePath(name);
    TestFiles::write(path, TestFiles::read(corpus(name)));
    return path;
}

// A long multiline text: format codes, Chinese, characters the code page lacks, more than 250 bytes.
QString longMText() {
    QString text = QStringLiteral("{\\H2.5;\\C1;标题 Title}\\P");
    int i = 0;
    while (text.size() < 600)
        text += QStringLiteral("第%1行 line %1 中文混排 ő\\P").arg(++i);
    return text.left(600);
}

const char *readTexts = R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
out = {}
for e in doc.entitydb.values():
    t = e.dxftype()
    if t in ('TEXT', 'ATTRIB', 'ATTDEF'):
        out[e.dxf.handle] = {'text': e.dxf.text, 'style': e.dxf.get('style', 'Standard'),
                             'width': e.dxf.get('width', 1.0)}
        if t != 'TEXT' and e.has_embedded_mtext_entity:
            out[e.dxf.handle]['embedded'] = e.virtual_mtext_entity().text
    elif t == 'MTEXT':
        out[e.dxf.handle] = {'text': e.text, 'style': e.dxf.get('style', 'Standard')}
styles = {s.dxf.name: [s.dxf.font, s.dxf.get('bigfont', ''), s.dxf.handle, s.dxf.owner]
          for s in doc.styles}
print(json.dumps({'texts': out, 'styles': styles, 'seed': doc.header['$HANDSEED'],
                  'styletable': doc.styles.head.dxf.handle}))
)";

} // namespace

class TestDrawingEdits : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void editedDrawingsPassTheAuditAndReadBack_data();
    void editedDrawingsPassTheAuditAndReadBack();
    void tableCellsChangeEverywhereTheDrawingKeepsThem();
    void oldestReleaseTakesAStyleAndTexts();
    void filtersSelectWhatTheIndependentQueryFinds_data();
    void filtersSelectWhatTheIndependentQueryFinds();
    void editsRewriteOnlyTheirPairsAndSavesKeepABackup();
    void crOnlyLinesAreReadAndKept();
    void longStringsStayWithinWhatCadProgramsRead();
    void tableCellsShowTheirLetterCaseInBothPlaces();
};

void TestDrawingEdits::initTestCase() {
    if (!Python::has(QStringLiteral("ezdxf")))
        QSKIP("python3-ezdxf is not installed");
}

void TestDrawingEdits::editedDrawingsPassTheAuditAndReadBack_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("textHandle");
    QTest::addColumn<QString>("mtextHandle");
    QTest::addColumn<QString>("attribHandle");
    // An empty handle: the drawing's first text or multiline text; no attribute.
    const char *rows[][5] = {
        {"R2000 GBK", "01_text_mtext_r2000_gbk.dxf", "36", "46", ""},
        {"R2018 UTF-8", "02_text_mtext_r2018_utf8.dxf", "36", "46", ""},
        {"R2000 blocks", "03b_blocks_attribs_r2000_gbk.dxf", "", "", "54"},
        {"R2018 multi-line attribute", "03_blocks_attribs_r2018.dxf", "", "", "6D"},
        {"R2018 CRLF", "real/ezdxf__text.dxf", "", "", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2])
                              << QString::fromUtf8(row[3]) << QString::fromUtf8(row[4]);
}

void TestDrawingEdits::editedDrawingsPassTheAuditAndReadBack() {
    QFETCH(QString, name);
    QFETCH(QString, textHandle);
    QFETCH(QString, mtextHandle);
    QFETCH(QString, attribHandle);
    QTemporaryDir dir;
    const QString path = copyToTemp(dir, name);
    auto doc = load(path);
    QVERIFY(doc);

    // Any text of the drawing when the test names none: the first TEXT and MTEXT, blocks included.
    QList<CadEntity *> everything = doc->entities();
    for (int b = 0; b < doc->Blocks().Count(); ++b)
        everything += doc->Blocks().Item(b)->entities();
    for (CadEntity *e : everything) {
        if (textHandle.isEmpty() && e->kind() == CadEntity::Kind::Text)
            textHandle = e->Handle();
        if (mtextHandle.isEmpty() && e->kind() == CadEntity::Kind::MText)
            mtextHandle = e->Handle();
    }
    CadTextStyle *style = doc->TextStyles().Add(QStringLiteral("REPLACE_STYLE"));
    QVERIFY(style);
    QCOMPARE(doc->TextStyles().Add(QStringLiteral("replace_style")), style);
    style->setFontFile(QStringLiteral("fszf.shx"));
    style->setBigFontFile(QStringLiteral("hzfs.shx"));
    const QString single = QStringLiteral("替换后的文字 Replaced ő 한");
    CadEntity *text = doc->entityByHandle(textHandle);
    QVERIFY(text);
    text->setTextString(single);
    text->setStyleName(QStringLiteral("REPLACE_STYLE"));
    text->setScaleFactor(0.8);
    CadEntity *mtext = doc->entityByHandle(mtextHandle);
    QVERIFY(mtext);
    mtext->setTextString(longMText());
    QCOMPARE(mtext->TextString(), longMText());
    CadEntity *attrib = attribHandle.isEmpty() ? nullptr : doc->entityByHandle(attribHandle);
    if (attrib) {
        attrib->setTextString(QStringLiteral("新属性值"));
        attrib->setTagString(QStringLiteral("新标记"));
    }
    QVERIFY(!doc->Saved());
    QVERIFY2(doc->Save(), qPrintable(doc->lastError()));

    QCOMPARE(auditErrors(path), QString());
    const QJsonObject back = Python::json(QString::fromLatin1(readTexts), {path});
    const QJsonObject texts = back[QLatin1String("texts")].toObject();
    const QJsonObject t = texts[textHandle].toObject();
    QCOMPARE(t[QLatin1String("text")]
                 .toString()
                 .replace(QLatin1String("\\U+0151"), QStringLiteral("ő"))
                 .replace(QLatin1String("\\U+D55C"), QStringLiteral("한")),
             single);
    QCOMPARE(t[QLatin1String("style")].toString(), QStringLiteral("REPLACE_STYLE"));
    QCOMPARE(t[QLatin1String("width")].toDouble(), 0.8);
    QString readMText = texts[mtextHandle].toObject()[QLatin1String("text")].toString();
    readMText.replace(QLatin1String("\\U+0151"), QStringLiteral("ő"));
    QCOMPARE(readMText, longMText());
    if (attrib) {
        const QJsonObject a = texts[attribHandle].toObject();
        QCOMPARE(a[QLatin1String("text")].toString(), QStringLiteral("新属性值"));
        // A multi-line attribute's embedded text: the first line replaced, the others kept.
        if (a.contains(QLatin1String("embedded")))
            QCOMPARE(a[QLatin1String("embedded")].toString(),
                     QStringLiteral("新属性值\\P第二行 second line"));
        QCOMPARE(attribHandle == QLatin1String("6D"), a.contains(QLatin1String("embedded")));
    }

    // The new style: its fonts, a fresh handle below the raised seed, owned by the STYLE table.
    const QJsonArray added =
        back[QLatin1String("styles")].toObject()[QLatin1String("REPLACE_STYLE")].toArray();
    QCOMPARE(added.at(0).toString(), QStringLiteral("fszf.shx"));
    QCOMPARE(added.at(1).toString(), QStringLiteral("hzfs.shx"));
    const qulonglong handle = added.at(2).toString().toULongLong(nullptr, 16);
    QVERIFY(handle > 0);
    QVERIFY(handle < back[QLatin1String("seed")].toString().toULongLong(nullptr, 16));
    QCOMPARE(added.at(3).toString(), back[QLatin1String("styletable")].toString());

    // MTEXT chunks: at most 250 bytes, none cut inside a \ code (each chunk's bytes decode on their own).
    auto reread = load(path);
    QVERIFY(reread);
    CadEntity *again = reread->entityByHandle(mtextHandle);
    int chunks = 0;
    for (const DxfPair &pair : again->chunk()->pairs) {
        if (pair.code != 3)
            continue;
        ++chunks;
        const QByteArrayView value = reread->file().value(pair);
        QVERIFY(value.size() <= 250);
        QVERIFY2(!value.endsWith('\\'), value.toByteArray().constData());
        QVERIFY(!reread->decode(value).contains(QChar(0xFFFD)));
    }
    QVERIFY(chunks >= 2);
    QCOMPARE(again->TextString(), longMText());
}

void TestDrawingEdits::tableCellsChangeEverywhereTheDrawingKeepsThem() {
    QTemporaryDir dir;
    const QString path = copyToTemp(dir, QStringLiteral("real/ezdxf__acad_table_simple.dxf"));
    auto doc = load(path);
    QVERIFY(doc);
    CadEntity *table = tableOf(*doc);
    QVERIFY(table);
    QCOMPARE(table->Rows(), 3);
    QCOMPARE(table->Columns(), 3);
    QCOMPARE(table->GetText(0, 0), QStringLiteral("Title"));
    QCOMPARE(table->GetText(1, 0), QStringLiteral("1"));
    QCOMPARE(table->GetText(2, 2), QStringLiteral("6"));
    QCOMPARE(table->GetText(0, 1), QString()); // merged into the title

    // Writing a cell what it holds, an empty cell included, changes no byte.
    const QByteArray before = doc->toBytes();
    QVERIFY(table->SetText(0, 1, QString()));
    QVERIFY(table->SetText(2, 2, QStringLiteral("6")));
    QVERIFY(doc->toBytes() == before);

    doc->TextStyles().Add(QStringLiteral("SHIFT_STYLE"));
    QVERIFY(table->SetText(1, 1, QStringLiteral("泵房平面图")));
    QVERIFY(table->SetText(0, 0, QStringLiteral("新标题 New title")));
    table->SetCellTextStyle(1, 1, QStringLiteral("SHIFT_STYLE"));
    QCOMPARE(table->GetText(1, 1), QStringLiteral("泵房平面图"));
    QCOMPARE(table->GetCellTextStyle(1, 1), QStringLiteral("SHIFT_STYLE"));
    QCOMPARE(table->GetText(2, 1), QStringLiteral("5"));
    QVERIFY(doc->Save());

    QCOMPARE(auditErrors(path), QString());
    const char *script = R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
table = doc.modelspace().query('ACAD_TABLE').first
cells = [t.value for t in table.xtags.get_subclass('AcDbTable') if t.code == 1]
block = [e.text for e in doc.blocks.get(table.xtags.get_subclass('AcDbBlockReference').get_first_value(2))
         if e.dxftype() == 'MTEXT']
xt = doc.objects.query('TABLECONTENT').first.xtags
content = [t.value for sub in xt.subclasses for t in sub if t.code == 1
           and not t.value.endswith(('_BEGIN', '_END'))]
print(json.dumps({'cells': cells, 'block': block, 'content': content}))
)";
    const QJsonObject back = Python::json(QString::fromLatin1(script), {path});
    const QStringList cells = Python::strings(back[QLatin1String("cells")]);
    const QStringList block = Python::strings(back[QLatin1String("block")]);
    const QStringList content = Python::strings(back[QLatin1String("content")]);
    QCOMPARE(cells, QStringList({"新标题 New title", "1", "泵房平面图", "3", "4", "5", "6"}));
    QVERIFY2(block.contains(QStringLiteral("泵房平面图")) &&
                 block.contains(QStringLiteral("新标题 New title")),
             qPrintable(block.join(QLatin1Char('|'))));
    QVERIFY(!block.contains(QStringLiteral("Title")) && !block.contains(QStringLiteral("2")));
    QVERIFY2(content.contains(QStringLiteral("泵房平面图")) && !content.contains(QStringLiteral("2")) &&
                 content.contains(QStringLiteral("新标题 New title")),
             qPrintable(content.join(QLatin1Char('|'))));
}

void TestDrawingEdits::oldestReleaseTakesAStyleAndTexts() {
    // An R12 drawing (no subclass markers, handles optional) in the GBK code page, made by ezdxf.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r12.dxf"));
    const char *make = R"(
import ezdxf, sys, json
doc = ezdxf.new('R12')
doc.encoding = 'gbk'
doc.styles.new('HZ', dxfattribs={'font': 'txt', 'bigfont': 'gbcbig.shx'})
msp = doc.modelspace()
a = msp.add_text('Hello R12', dxfattribs={'layer': 'A', 'style': 'HZ'})
b = msp.add_text('\u4e2d\u6587 R12', dxfattribs={'layer': 'B', 'color': 1})
msp.add_line((0, 0), (10, 10))
doc.saveas(sys.argv[1])
print(json.dumps({'a': a.dxf.handle, 'b': b.dxf.handle}))
)";
    const QJsonObject made = Python::json(QString::fromLatin1(make), {path});
    const QString a = made[QLatin1String("a")].toString(), b = made[QLatin1String("b")].toString();
    QVERIFY(!a.isEmpty());
    auto doc = load(path);
    QVERIFY(doc);
    QVERIFY(doc->isR12());
    QCOMPARE(doc->encodingName(), QStringLiteral("GBK"));
    QCOMPARE(doc->entityByHandle(b)->TextString(), QStringLiteral("中文 R12"));
    QCOMPARE(doc->entityByHandle(b)->Color(), 1);
    QVERIFY(doc->toBytes() == TestFiles::read(path));
    QVERIFY(doc->TextStyles().Add(QStringLiteral("SHIFT_STYLE")));
    doc->entityByHandle(a)->setTextString(QStringLiteral("繁體 ő"));
    doc->entityByHandle(a)->setStyleName(QStringLiteral("SHIFT_STYLE"));
    doc->entityByHandle(b)->setScaleFactor(0.75);
    QVERIFY(doc->Save());
    QCOMPARE(auditErrors(path), QString());
    const QJsonObject texts =
        Python::json(QString::fromLatin1(readTexts), {path})[QLatin1String("texts")].toObject();
    QCOMPARE(texts[a].toObject()[QLatin1String("text")].toString(), QStringLiteral("繁體 \\U+0151"));
    QCOMPARE(texts[a].toObject()[QLatin1String("style")].toString(), QStringLiteral("SHIFT_STYLE"));
    QCOMPARE(texts[b].toObject()[QLatin1String("width")].toDouble(), 0.75);
}

void TestDrawingEdits::filtersSelectWhatTheIndependentQueryFinds_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("R2000 GBK") << "01_text_mtext_r2000_gbk.dxf";
    QTest::newRow("R2018 blocks") << "03_blocks_attribs_r2018.dxf";
    QTest::newRow("real text") << "real/ezdxf__text.dxf";
}

void TestDrawingEdits::filtersSelectWhatTheIndependentQueryFinds() {
    QFETCH(QString, name);
    const char *script = R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
queries = json.loads(sys.argv[2])
out = {}
for key, q in queries.items():
    out[key] = sorted({e.dxf.handle for layout in doc.layouts for one in q.split('|')
                       for e in layout.query(one)})
print(json.dumps(out))
)";
    // Each case: our filter arrays and the same selection as an ezdxf query.
    struct Case {
        const char *key;
        QList<qint16> types;
        QVariantList data;
        const char *query;
    };
    const QVariant orOpen = QStringLiteral("<OR"), orClose = QStringLiteral("OR>"),
                   andOpen = QStringLiteral("<AND"), andClose = QStringLiteral("AND>"),
                   text = QStringLiteral("Text"), mtext = QStringLiteral("MText");
    const QList<Case> cases = {
        {"all texts",
         {-4, -4, -4, 0, 0, -4, -4, -4},
         {orOpen, andOpen, orOpen, text, mtext, orClose, andClose, orClose},
         "TEXT MTEXT"},
        {"layer",
         {-4, -4, -4, 0, 0, -4, 8, -4, -4},
         {orOpen, andOpen, orOpen, text, mtext, orClose, QStringLiteral("TEXT_CN"), andClose, orClose},
         "TEXT MTEXT[layer==\"TEXT_CN\"]i"},
        {"style",
         {-4, -4, 0, 7, -4, -4},
         {orOpen, andOpen, text, QStringLiteral("HZ"), andClose, orClose},
         "TEXT[style==\"HZ\"]i"},
        {"colour",
         {-4, -4, -4, 0, 0, -4, 62, -4, -4},
         {orOpen, andOpen, orOpen, text, mtext, orClose, 1, andClose, orClose},
         "TEXT MTEXT[color==1]"},
        {"bylayer",
         {-4, -4, -4, 0, 0, -4, 62, -4, -4},
         {orOpen, andOpen, orOpen, text, mtext, orClose, 256, andClose, orClose},
         "TEXT MTEXT[color==256]"},
        {"containers",
         {-4, -4, 0, 8, -4, 100, -4},
         {orOpen, andOpen, mtext, QStringLiteral("TITLE"), andClose, QStringLiteral("SubClass"), orClose},
         "MTEXT[layer==\"TITLE\"]i|INSERT ACAD_TABLE ATTDEF"},
    };
    QJsonObject queries;
    for (const Case &c : cases)
        queries.insert(QLatin1String(c.key), QLatin1String(c.query));
    const QJsonObject expected = Python::json(
        QString::fromLatin1(script), {corpus(name), QString::fromUtf8(QJsonDocument(queries).toJson())});
    QVERIFY(!expected.isEmpty());

    CadApplication *app = CadApplication::create();
    CadDocument *doc = app->Documents().Open(corpus(name));
    QVERIFY2(doc, qPrintable(app->lastError()));
    bool someNonEmpty = false;
    for (const Case &c : cases) {
        if (CadSelectionSet *old = doc->SelectionSets().Item(QStringLiteral("EXTRACTSET")))
            old->Delete();
        CadSelectionSet *set = doc->SelectionSets().Add(QStringLiteral("EXTRACTSET"));
        QVERIFY(set);
        QCOMPARE(doc->SelectionSets().Add(QStringLiteral("EXTRACTSET")), nullptr);
        QVERIFY(set->Select(CadSelectionSet::acSelectionSetAll, c.types, c.data));
        std::set<QString> ours, theirs;
        for (int i = 0; i < set->Count(); ++i)
            ours.insert(set->Item(i)->Handle());
        for (const auto &v : expected[QLatin1String(c.key)].toArray())
            theirs.insert(v.toString().toUpper());
        QVERIFY2(ours == theirs, c.key);
        someNonEmpty = someNonEmpty || !ours.empty();
    }
    QVERIFY(someNonEmpty);
    QCOMPARE(doc->SelectionSets().Count(), 1);
    doc->SelectionSets().Item(0)->Delete();
    QCOMPARE(doc->SelectionSets().Count(), 0);

    // On screen: the picker's choice, narrowed by the filter; a cancelled pick selects nothing.
    QList<CadEntity *> offered = doc->entities().mid(0, 40);
    app->setScreenPicker([&](CadDocument *, const SelectionFilter &, bool *accepted) {
        *accepted = true;
        return offered;
    });
    CadSelectionSet *screen = doc->SelectionSets().Add(QStringLiteral("REPLACESET"));
    QVERIFY(screen->SelectOnScreen(cases[1].types, cases[1].data));
    const SelectionFilter layerFilter = SelectionFilter::fromArrays(cases[1].types, cases[1].data);
    int expectedCount = 0;
    for (CadEntity *e : offered)
        expectedCount += layerFilter.matches(*e) ? 1 : 0;
    QCOMPARE(screen->Count(), expectedCount);
    app->setScreenPicker([](CadDocument *, const SelectionFilter &, bool *accepted) {
        *accepted = false;
        return QList<CadEntity *>();
    });
    screen->Clear();
    QVERIFY(!screen->SelectOnScreen());
    QCOMPARE(screen->Count(), 0);
    // Unbalanced operators select nothing rather than everything.
    QVERIFY(!screen->Select(5, {-4, 0}, {QStringLiteral("<OR"), QStringLiteral("TEXT")}));
    delete app;
}

void TestDrawingEdits::editsRewriteOnlyTheirPairsAndSavesKeepABackup() {
    QTemporaryDir dir;
    const QString path = copyToTemp(dir, QStringLiteral("real/ezdxf__text.dxf")); // CR LF line endings
    const QByteArray original = TestFiles::read(path);
    auto doc = load(path);
    QVERIFY(doc);
    CadEntity *text = nullptr;
    for (CadEntity *e : doc->entities())
        if (e->kind() == CadEntity::Kind::Text && !e->TextString().isEmpty()) {
            text = e;
            break;
        }
    QVERIFY(text);
    const QString old = text->TextString();
    text->setTextString(QStringLiteral("X"));
    const QByteArray edited = doc->toBytes();
    // Exactly the one value changed, in its CR LF line.
    QByteArray expected = original;
    const QByteArray oldBytes = "\r\n  1\r\n" + doc->encode(old) + "\r\n";
    const qsizetype at = original.indexOf(oldBytes);
    QVERIFY(at > 0);
    expected.replace(at, oldBytes.size(), "\r\n  1\r\nX\r\n");
    QCOMPARE(edited.size(), expected.size());
    QVERIFY(edited == expected);

    // A second drawing's backup exists already: the save refuses unless told to replace it.
    QVERIFY(TestFiles::write(doc->backupPath(), "old backup"));
    QVERIFY(!doc->Save());
    QVERIFY(doc->backupExists());
    QCOMPARE(TestFiles::read(path), original);
    QVERIFY(doc->Save(true));
    QCOMPARE(TestFiles::read(doc->backupPath()), original);
    QVERIFY(TestFiles::read(path) == expected);
    // Later saves keep the first backup.
    text->setTextString(QStringLiteral("Y"));
    QVERIFY(doc->Save());
    QCOMPARE(TestFiles::read(doc->backupPath()), original);
    // A failed write leaves the file as it was.
    const QString saveAs = dir.filePath(QStringLiteral("missing/folder/x.dxf"));
    QVERIFY(!doc->SaveAs(saveAs));
    QVERIFY(!doc->lastError().isEmpty());
    QVERIFY(doc->SaveAs(dir.filePath(QStringLiteral("copy.dxf"))));
    QCOMPARE(doc->Name(), QStringLiteral("copy.dxf"));
}

// A drawing whose lines end in a lone CR (as old Mac programs wrote them) opens, is written back byte for
// byte, and an edit keeps its line ends.
void TestDrawingEdits::crOnlyLinesAreReadAndKept() {
    QByteArray bytes = TestFiles::read(corpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    bytes.replace("\r\n", "\n");
    bytes.replace('\n', '\r');
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mac.dxf"));
    QVERIFY(TestFiles::write(path, bytes));
    auto doc = load(path);
    QVERIFY(doc);
    QVERIFY(doc->toBytes() == bytes);
    CadEntity *text = doc->entityByHandle(QStringLiteral("36"));
    QVERIFY(text);
    QCOMPARE(text->TextString(), QStringLiteral("中文测试文字"));
    text->setTextString(QStringLiteral("新文字\r\n第二行"));
    text->setStyleName(QStringLiteral("Standard"));
    doc->TextStyles().Add(QStringLiteral("SHIFT_STYLE"));
    QVERIFY(doc->Save());
    const QByteArray saved = TestFiles::read(path);
    QVERIFY(!saved.contains('\n'));
    QCOMPARE(auditErrors(path), QString());
    const QJsonObject back = Python::json(QStringLiteral(R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
print(json.dumps({'text': doc.entitydb['36'].dxf.text, 'style': doc.styles.has_entry('SHIFT_STYLE')}))
)"),
                                          {path});
    QCOMPARE(back[QLatin1String("text")].toString(), QStringLiteral("新文字 第二行"));
    QVERIFY(back[QLatin1String("style")].toBool());
}

// A translation longer than a single-line text may be: texts, tags and prompts are cut at 256 characters
// (and so stay under the 2,049 bytes of a DXF string even as \U+ escapes) and counted; a multiline text
// keeps all of it in chunks of at most 250 bytes.
void TestDrawingEdits::longStringsStayWithinWhatCadProgramsRead() {
    QTemporaryDir dir;
    const QString path = copyToTemp(dir, QStringLiteral("03b_blocks_attribs_r2000_gbk.dxf"));
    auto doc = load(path);
    QVERIFY(doc);
    // Korean: the GBK code page holds none of it, so every character becomes a 7-byte escape.
    const QString korean = QStringLiteral("설계도면번호").repeated(50);
    QCOMPARE(korean.size(), 300);
    QCOMPARE(doc->cutTextCount(), 0);
    doc->entityByHandle(QStringLiteral("72"))->setTextString(korean);
    doc->entityByHandle(QStringLiteral("54"))->setTagString(korean);
    doc->entityByHandle(QStringLiteral("42"))->setTextString(korean);
    doc->entityByHandle(QStringLiteral("4F"))->setTextString(QStringLiteral("房间 Room"));
    QCOMPARE(doc->cutTextCount(), 2);
    QCOMPARE(doc->entityByHandle(QStringLiteral("72"))->TextString(), korean.left(256));
    QVERIFY(doc->Save());

    for (const QByteArray &line : TestFiles::read(path).split('\n'))
        QVERIFY2(line.size() <= 2049, line.left(40).constData());
    QCOMPARE(auditErrors(path), QString());
    const QJsonObject back = Python::json(QStringLiteral(R"(
import ezdxf, json, sys
from ezdxf.lldxf.encoding import decode_dxf_unicode as decode
doc = ezdxf.readfile(sys.argv[1])
db = doc.entitydb
print(json.dumps({'text': decode(db['72'].dxf.text), 'tag': decode(db['54'].dxf.tag),
                  'mtext': decode(db['42'].text), 'room': db['4F'].dxf.text}))
)"),
                                          {path});
    QCOMPARE(back[QLatin1String("text")].toString(), korean.left(256));
    QCOMPARE(back[QLatin1String("tag")].toString(), korean.left(256));
    QCOMPARE(back[QLatin1String("mtext")].toString(), korean);
    QCOMPARE(back[QLatin1String("room")].toString(), QStringLiteral("房间 Room"));
}

// A cell whose format shows its text in capitals (%tc1): the formatted string, the table's block and the
// table content all show the same capitals, while the value keeps the text as written.
void TestDrawingEdits::tableCellsShowTheirLetterCaseInBothPlaces() {
    QByteArray bytes = TestFiles::read(corpus(QStringLiteral("real/ezdxf__acad_table_simple.dxf")));
    QCOMPARE(bytes.count("  1\nTitle\n 94\n        0\n300\n\n302\nTitle\n"), 2); // entity and content
    bytes.replace("  1\nTitle\n 94\n        0\n300\n\n302\nTitle\n",
                  "  1\nTitle\n 94\n        0\n300\n%tc1\n302\nTITLE\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("upper.dxf"));
    QVERIFY(TestFiles::write(path, bytes));
    auto doc = load(path);
    QVERIFY(doc);
    CadEntity *table = tableOf(*doc);
    QVERIFY(table);
    QVERIFY(table->SetText(0, 0, QStringLiteral("泵房 pump house \\P{\\H2.5;plan}")));
    QVERIFY(table->SetText(1, 0, QStringLiteral("first")));
    QCOMPARE(table->GetText(0, 0), QStringLiteral("泵房 pump house \\P{\\H2.5;plan}"));
    QVERIFY(doc->Save());

    QCOMPARE(auditErrors(path), QString());
    const QJsonObject back = Python::json(QStringLiteral(R"(
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
table = doc.modelspace().query('ACAD_TABLE').first
tags = list(table.xtags.get_subclass('AcDbTable'))
shown = [t.value for t in tags if t.code == 302]
block = [e.text for e in doc.blocks.get(table.xtags.get_subclass('AcDbBlockReference').get_first_value(2))
         if e.dxftype() == 'MTEXT']
content = [t.value for sub in doc.objects.query('TABLECONTENT').first.xtags.subclasses for t in sub
           if t.code == 302]
print(json.dumps({'shown': shown, 'block': block, 'content': content}))
)"),
                                          {path});
    const QString upper = QStringLiteral("泵房 PUMP HOUSE \\P{\\H2.5;PLAN}");
    const auto list = [&back](const char *key) { return Python::strings(back[QLatin1String(key)]); };
    QVERIFY2(list("shown").contains(upper), qPrintable(list("shown").join(u'|')));
    QVERIFY2(list("block").contains(upper), qPrintable(list("block").join(u'|')));
    QVERIFY2(list("content").contains(upper), qPrintable(list("content").join(u'|')));
    // A cell without a letter-case format shows its text as written.
    QVERIFY(list("block").contains(QStringLiteral("first")));
}

QTEST_MAIN(TestDrawingEdits)
#include "tst_DrawingEdits.moc"
