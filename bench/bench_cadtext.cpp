// The text tools on the 100,000-text corpus drawings: extraction into a worksheet, replacement from a
// 100,000-row manuscript and script conversion, in texts per second, with the peak memory.
// Usage: bench_cadtext [FOLDER] — the folder holding 05_large_100k_text_r2018.dxf and
// 05b_large_100k_text_r2000_gbk.dxf; without it they are generated into a temporary folder by the corpus
// script (python3-ezdxf).
#include "cadtext/ChineseConversion.h"
#include "cadtext/TextExtraction.h"
#include "cadtext/TextReplacement.h"
#include "platform/drawing/CadDocument.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;

namespace {

double elapsedMs(QElapsedTimer &timer) {
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

long peakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

QList<CadEntity *> selectAll(CadDocument &document, const TextWalk::Options &options) {
    modAutoCAD::FilterChoice choice = options.lists;
    choice.containers = options.insert || options.table || options.attributeDefinition;
    const modAutoCAD::SelectionFilter filter = modAutoCAD::BuildSelectionFilter(choice);
    auto *set = document.SelectionSets().Add(QStringLiteral("BENCH%1").arg(document.SelectionSets().Count()));
    set->Select(tavlo::drawing::CadSelectionSet::acSelectionSetAll, filter.filterTypes, filter.filterData);
    return set->items();
}

void line(const char *what, double ms, int texts) {
    std::printf("  %-44s %9.1f ms  %10.0f texts/s\n", what, ms, ms > 0 ? texts * 1000.0 / ms : 0.0);
}

void benchDrawing(const QString &path, const QString &scratch) {
    std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
    QElapsedTimer timer;
    timer.start();
    QString error;
    auto document = CadDocument::load(path, &error);
    if (!document) {
        std::printf("  cannot read: %s\n", qPrintable(error));
        return;
    }
    TextWalk::Options walk;
    walk.insert = walk.attribute = walk.table = walk.attributeDefinition = true;
    const QList<CadEntity *> selection = selectAll(*document, walk);
    const int texts = int(selection.size());
    line("open and select", elapsedMs(timer), texts);

    auto *application = tavlo::sheet::Application::create();
    tavlo::sheet::Worksheet *sheet = application->Workbooks().Add()->Sheets(1);
    sheet->setColumnsFormat(1, 3, QStringLiteral("@"));
    TextExtraction::Options extraction;
    extraction.walk = walk;
    const int extracted = TextExtraction::ExtractTexts(selection, document->Name(), *sheet, 1, extraction);
    line(qPrintable(QStringLiteral("extract %1 texts").arg(extracted)), elapsedMs(timer), extracted);
    extraction.noDuplicate = true;
    tavlo::sheet::Worksheet *unique = application->Workbooks().Add()->Sheets(1);
    unique->setColumnsFormat(1, 3, QStringLiteral("@"));
    const int distinct = TextExtraction::ExtractTexts(selection, document->Name(), *unique, 1, extraction);
    line(qPrintable(QStringLiteral("extract without duplicates (%1 rows)").arg(distinct)), elapsedMs(timer),
         texts);

    const int lastRow = sheet->UsedRange().lastRow();
    for (int row = 2; row <= lastRow; ++row)
        sheet->setValue(row, 4, QStringLiteral("Translation %1").arg(row));
    elapsedMs(timer);
    TextReplacement::Options replacement;
    replacement.walk = walk;
    const auto manuscript = TextReplacement::Manuscript::fromSheet(*sheet, 1, lastRow, 3, 4);
    const double indexMs = elapsedMs(timer);
    const int replaced = TextReplacement::ReplaceTexts(selection, *document, manuscript, replacement);
    const double replaceMs = elapsedMs(timer);
    line(qPrintable(QStringLiteral("read and index %1-row manuscript").arg(manuscript.rowCount())), indexMs,
         texts);
    line(qPrintable(QStringLiteral("replace (%1 replacements)").arg(replaced)), replaceMs, texts);
    line("whole replacement", indexMs + replaceMs, texts);
    const QString saved = QDir(scratch).filePath(QStringLiteral("replaced.dxf"));
    document->SaveAs(saved);
    line("save", elapsedMs(timer), texts);
    application->Quit();

    auto fresh = CadDocument::load(path, &error);
    const QList<CadEntity *> again = selectAll(*fresh, walk);
    elapsedMs(timer);
    ChineseConversion::Options conversion;
    conversion.walk = walk;
    conversion.mode = 1;
    const int converted = ChineseConversion::ConvertChinese(again, *fresh, conversion);
    line(qPrintable(QStringLiteral("convert to traditional (%1 strings)").arg(converted)), elapsedMs(timer),
         converted);
    conversion.mode = 0;
    ChineseConversion::ConvertChinese(again, *fresh, conversion);
    line("convert back to simplified", elapsedMs(timer), converted);
    std::printf("  peak memory so far: %ld MB\n", peakMemoryKb() / 1024);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir scratch;
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (folder.isEmpty()) {
        folder = scratch.path();
        std::printf("generating the 100,000-text drawings into %s ...\n", qPrintable(folder));
        std::fflush(stdout);
        QProcess generator;
        generator.setWorkingDirectory(QStringLiteral(TAVLO_CORPUS_DIR "/drawings"));
        generator.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("make_dxf_corpus.py"), folder});
        if (!generator.waitForFinished(600000) || generator.exitCode() != 0) {
            std::printf("the corpus script failed: %s\n", generator.readAllStandardError().constData());
            return 1;
        }
    }
    for (const char *name : {"05_large_100k_text_r2018.dxf", "05b_large_100k_text_r2000_gbk.dxf"})
        benchDrawing(QDir(folder).filePath(QLatin1String(name)), scratch.path());
    return 0;
}
