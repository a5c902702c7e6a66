// Drawings made by other programs: read, written back unchanged, texts decoded as an independent
// reader decodes them; damaged and foreign files refused with a reason.

#include "TestFiles.h"
#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/DxfText.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavlo::drawing;

namespace {

QString corpus(const QString &name) {
    return QStringLiteral(TAVLO_CORPUS_DIR "/drawings/") + name;
}

// RFC 4180 rows (quoted fields may hold commas, quotes and line breaks).
QList<QStringList> readCsv(const QString &path) {
    const QString text = QString::fromUtf8(TestFiles::read(path));
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            row << field;
            field.clear();
            rows << row;
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

} // namespace

class TestDrawingFiles : public QObject {
    Q_OBJECT

private slots:
    void unchangedDrawingsAreWrittenBackByteForByte_data();
    void unchangedDrawingsAreWrittenBackByteForByte();
    void textsReadAsTheIndependentReaderReadsThem_data();
    void textsReadAsTheIndependentReaderReadsThem();
    void collectionsAndApplication();
    void damagedAndForeignFilesAreRefusedWithAReason_data();
    void damagedAndForeignFilesAreRefusedWithAReason();
    void escapesAndEncodings();
    void boundingBoxesScaleWithTextAndWidthFactor();
};

void TestDrawingFiles::unchangedDrawingsAreWrittenBackByteForByte_data() {
    QTest::addColumn<QString>("path");
    for (const QString &path : TestFiles::corpusDrawings())
        QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
}

void TestDrawingFiles::unchangedDrawingsAreWrittenBackByteForByte() {
    QFETCH(QString, path);
    const QByteArray original = TestFiles::read(path);
    QVERIFY(!original.isEmpty());
    QTemporaryDir dir;
    const QString copy = dir.filePath(QFileInfo(path).fileName());
    QVERIFY(TestFiles::write(copy, original));

    QString error;
    auto document = CadDocument::load(copy, &error);
    QVERIFY2(document, qPrintable(error));
    QVERIFY(document->Saved());
    QVERIFY(document->entities().size() > 0);
    // Reading every text and table cell must not disturb anything.
    for (CadEntity *e : document->entities()) {
        e->TextString();
        for (int r = 0; r < e->Rows(); ++r)
            for (int c = 0; c < e->Columns(); ++c)
                e->GetText(r, c);
    }
    QVERIFY(document->toBytes() == original);

    QVERIFY2(document->Save(), qPrintable(document->lastError()));
    QVERIFY(TestFiles::read(copy) == original);
    // The first save keeps the original beside the drawing.
    QCOMPARE(TestFiles::read(document->backupPath()), original);
    QVERIFY(document->backupPath().endsWith(QLatin1String(".bak.dxf")));
}

void TestDrawingFiles::textsReadAsTheIndependentReaderReadsThem_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(corpus(QStringLiteral(".")));
    for (const QString &name : dir.entryList({QStringLiteral("*.expected.csv")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void TestDrawingFiles::textsReadAsTheIndependentReaderReadsThem() {
    QFETCH(QString, path);
    const QList<QStringList> rows = readCsv(path);
    QVERIFY(rows.size() > 5);
    const QStringList head = rows.front();
    auto column = [&](const char *name) { return int(head.indexOf(QLatin1String(name))); };
    const int handle = column("handle"), type = column("type"), layer = column("layer"),
              style = column("style"), color = column("color"), tag = column("tag"),
              prompt = column("prompt"), width = column("width_factor"), decoded = column("text_decoded");
    QVERIFY(handle >= 0 && decoded >= 0);

    QString error;
    auto document = CadDocument::load(
        QString(path).replace(QLatin1String(".expected.csv"), QLatin1String(".dxf")), &error);
    QVERIFY2(document, qPrintable(error));
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QStringList &row = rows[i];
        if (row.size() < head.size())
            continue;
        const QString where = row[handle] + QLatin1Char(' ') + row[type];
        CadEntity *e = document->entityByHandle(row[handle]);
        QVERIFY2(e, qPrintable(where));
        const QString kind = row[type];
        const QString expectedName = kind == QLatin1String("TEXT")    ? QStringLiteral("AcDbText")
                                     : kind == QLatin1String("MTEXT") ? QStringLiteral("AcDbMText")
                                     : kind == QLatin1String("ATTDEF")
                                         ? QStringLiteral("AcDbAttributeDefinition")
                                         : QStringLiteral("AcDbAttribute");
        QCOMPARE(e->EntityName(), expectedName);
        QCOMPARE(e->TextString(), row[decoded]);
        QCOMPARE(e->Layer(), row[layer]);
        QCOMPARE(e->StyleName(), row[style]);
        QCOMPARE(e->Color(), row[color].toInt());
        if (kind == QLatin1String("ATTDEF") || kind == QLatin1String("ATTRIB"))
            QCOMPARE(e->TagString(), decodeDxfEscapes(row[tag]));
        if (kind == QLatin1String("ATTDEF"))
            QCOMPARE(e->PromptString(), decodeDxfEscapes(row[prompt]));
        if (kind == QLatin1String("ATTRIB")) {
            // "owner INSERT 52 -> TITLE_BLOCK"
            const QStringList words = row[prompt].split(QLatin1Char(' '));
            QVERIFY2(e->owner(), qPrintable(where));
            QCOMPARE(e->owner()->Handle(), words.value(2));
            QCOMPARE(e->owner()->Name(), words.value(4));
            QVERIFY(e->owner()->GetAttributes().contains(e));
        }
        if (!row[width].isEmpty())
            QCOMPARE(e->ScaleFactor(), row[width].toDouble());
    }
}

void TestDrawingFiles::collectionsAndApplication() {
    CadApplication *app = CadApplication::create();
    QCOMPARE(CadApplication::running(), app);
    QVERIFY(app->Version().left(4).toDouble() > 16);
    CadDocument *doc = app->Documents().Open(corpus(QStringLiteral("03_blocks_attribs_r2018.dxf")));
    QVERIFY2(doc, qPrintable(app->lastError()));
    // Opening the same file again gives the open drawing.
    QCOMPARE(app->Documents().Open(corpus(QStringLiteral("03_blocks_attribs_r2018.dxf"))), doc);
    QCOMPARE(app->Documents().Count(), 1);
    QCOMPARE(app->Documents().Item(QStringLiteral("03_blocks_attribs_r2018.dxf")), doc);
    QCOMPARE(app->ActiveDocument(), doc);
    QCOMPARE(doc->Name(), QStringLiteral("03_blocks_attribs_r2018.dxf"));
    QCOMPARE(doc->headerValue(QStringLiteral("$ACADVER"), 1), QStringLiteral("AC1032"));
    QVERIFY(doc->Layers().Item(QStringLiteral("TITLE")));
    QVERIFY(doc->TextStyles().Item(QStringLiteral("hz")));
    CadBlock *title = doc->Blocks().Item(QStringLiteral("TITLE_BLOCK"));
    QVERIFY(title);
    QStringList kinds;
    for (CadEntity *e : title->entities())
        kinds << e->EntityName();
    QVERIFY(kinds.contains(QStringLiteral("AcDbAttributeDefinition")));
    QVERIFY(kinds.contains(QStringLiteral("AcDbBlockReference"))); // the nested LOGO
    int withAttributes = 0;
    for (CadEntity *e : doc->entities())
        if (e->HasAttributes())
            ++withAttributes;
    QCOMPARE(withAttributes, 6);

    // A burst of edits is told to the windows a few times a second, not once per edit; Regen at once.
    QSignalSpy changed(doc, &CadDocument::changed);
    for (int round = 0; round < 50; ++round)
        for (CadEntity *e : doc->entities())
            if (e->kind() == CadEntity::Kind::Text)
                e->setTextString(QString::number(round));
    QVERIFY(changed.count() >= 1 && changed.count() <= 8);
    const int burst = changed.count();
    QTRY_COMPARE(changed.count(), burst + 1);
    doc->Regen(1);
    QCOMPARE(changed.count(), burst + 2);

    // A deleted set stays a valid, empty object for a walk that still holds it.
    CadSelectionSet *deleted = doc->SelectionSets().Add(QStringLiteral("EXTRACTSET"));
    QVERIFY(deleted->Select(CadSelectionSet::acSelectionSetAll));
    QVERIFY(deleted->Count() > 0);
    deleted->Delete();
    QCOMPARE(doc->SelectionSets().Count(), 0);
    QCOMPARE(deleted->Count(), 0);
    QCOMPARE(deleted->Item(0), nullptr);

    // Closing: the collections empty, entities and sets held by a caller fail quietly.
    CadSelectionSet *heldSet = doc->SelectionSets().Add(QStringLiteral("REPLACESET"));
    QVERIFY(heldSet->Select(CadSelectionSet::acSelectionSetAll));
    CadEntity *held = doc->entities().front();
    QSignalSpy closed(app, &CadApplication::documentClosed);
    doc->Close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(app->Documents().Count(), 0);
    QCOMPARE(app->ActiveDocument(), nullptr);
    QVERIFY(!held->isAlive());
    QCOMPARE(held->TextString(), QString());
    held->setTextString(QStringLiteral("x"));
    QCOMPARE(doc->Layers().Count(), 0);
    QCOMPARE(heldSet->Count(), 0);
    QCOMPARE(heldSet->Item(0), nullptr);
    QVERIFY(!heldSet->Select(CadSelectionSet::acSelectionSetAll));
    delete app;
    QCOMPARE(CadApplication::running(), nullptr);
}

void TestDrawingFiles::damagedAndForeignFilesAreRefusedWithAReason_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray good = TestFiles::read(corpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    QTest::newRow("truncated") << good.left(good.size() / 2) << "truncated";
    QTest::newRow("cut after a group code") << good.left(good.indexOf("\n  0\nEOF") + 5) << "truncated";
    QTest::newRow("binary DXF") << QByteArray("AutoCAD Binary DXF\r\n\x1a\x00", 22) + QByteArray(200, '\x01')
                                << "binary";
    QTest::newRow("zip") << QByteArray("PK\x03\x04\x14\x00\x00\x00", 8) + QByteArray(100, '\0')
                         << "not a DXF";
    QTest::newRow("text") << QByteArray("hello\nworld\n") << "not a DXF";
    QTest::newRow("empty") << QByteArray() << "empty";
    QByteArray garbled = good;
    garbled.replace(garbled.indexOf("\n  8\n"), 5, "\n  x\n");
    QTest::newRow("garbled code") << garbled << "damaged";
}

void TestDrawingFiles::damagedAndForeignFilesAreRefusedWithAReason() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.dxf"));
    QVERIFY(TestFiles::write(path, bytes));
    QString error;
    QVERIFY(!CadDocument::load(path, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));

    CadApplication *app = CadApplication::create();
    QCOMPARE(app->Documents().Open(path), nullptr);
    QVERIFY(!app->lastError().isEmpty());
    QCOMPARE(app->Documents().Count(), 0);
    delete app;
    QCOMPARE(TestFiles::read(path), bytes);
}

void TestDrawingFiles::escapesAndEncodings() {
    const DxfTextCodec gbk = DxfTextCodec::forFile("AC1015", "ANSI_936", false);
    QCOMPARE(gbk.name(), QStringLiteral("GBK"));
    // What GBK lacks is written as \U+ and read back as the character.
    const QString mixed = QStringLiteral("中文 ő 한 😀 €");
    const QByteArray bytes = gbk.encode(mixed);
    QVERIFY(bytes.contains("\\U+0151"));
    QVERIFY(bytes.contains("\\U+D55C"));
    QVERIFY(bytes.contains("\\U+D83D\\U+DE00"));
    QVERIFY2(bytes.startsWith("\xd6\xd0\xce\xc4"), bytes.toHex().constData());
    QCOMPARE(gbk.decode(bytes), mixed);
    QCOMPARE(decodeDxfEscapes(QStringLiteral("\\M+5D6D0\\M+2A4E5 \\U+4e2d \\U+0001f600 \\U+zz")),
             QStringLiteral("中文 中 😀 \\U+zz"));
    // From R2007 on strings are UTF-8 whatever the code page says; before, valid UTF-8 wins.
    QVERIFY(DxfTextCodec::forFile("AC1032", "ANSI_936", false).isUtf8());
    QVERIFY(DxfTextCodec::forFile("AC1015", "ANSI_936", true).isUtf8());
    QVERIFY(looksLikeUtf8("abc \xe4\xb8\xad"));
    QVERIFY(!looksLikeUtf8("plain ascii"));
    QVERIFY(!looksLikeUtf8("\xd6\xd0\xce\xc4"));

    // A pre-2007 drawing that holds UTF-8 despite its code page.
    QByteArray drawing = TestFiles::read(corpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf")));
    QStringDecoder fromGbk("GBK");
    const QString asText = fromGbk(drawing);
    QString error;
    auto document = CadDocument::fromBytes(asText.toUtf8(), QStringLiteral("/tmp/u.dxf"), &error);
    QVERIFY2(document, qPrintable(error));
    QCOMPARE(document->encodingName(), QStringLiteral("UTF-8"));
    QCOMPARE(document->entityByHandle(QStringLiteral("36"))->TextString(), QStringLiteral("中文测试文字"));
}

void TestDrawingFiles::boundingBoxesScaleWithTextAndWidthFactor() {
    QString error;
    auto doc = CadDocument::load(corpus(QStringLiteral("01_text_mtext_r2000_gbk.dxf")), &error);
    QVERIFY(doc);
    CadEntity *text = doc->entityByHandle(QStringLiteral("37")); // "Latin text ABC 123", left aligned
    auto width = [&](CadEntity *e) {
        CadPoint lower, upper;
        return e->GetBoundingBox(&lower, &upper) ? upper.x - lower.x : -1.0;
    };
    const double one = width(text);
    QVERIFY(one > 10 && one < 100); // height 3, 18 characters
    text->setScaleFactor(2 * text->ScaleFactor());
    QVERIFY(qAbs(width(text) - 2 * one) < 1e-6 * one);
    text->setScaleFactor(text->ScaleFactor() / 2);
    const QString chinese = QStringLiteral("中文宽度");
    text->setTextString(chinese);
    const double four = width(text);
    text->setTextString(chinese + chinese);
    QVERIFY(qAbs(width(text) - 2 * four) < 1e-6 * four);
    // The same text always measures the same; a rotated text's box turns with it.
    QCOMPARE(width(doc->entityByHandle(QStringLiteral("36"))),
             width(doc->entityByHandle(QStringLiteral("36"))));
    CadPoint lower, upper;
    QVERIFY(doc->entityByHandle(QStringLiteral("43"))->GetBoundingBox(&lower, &upper)); // rotated 30 degrees
    QVERIFY(upper.y - lower.y > 10);
}

QTEST_MAIN(TestDrawingFiles)
#include "tst_DrawingFiles.moc"
