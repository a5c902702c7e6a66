// The text tools on the 100,000-text corpus drawings: extraction into a worksheet, replacement from a
// 100,000-row manuscript and script conversion, in texts per second, with the peak memory; then the same
// three walks through the "AutoCAD 文字" panel (drawing and sheet windows shown) beside the walks as
// tavlo-cadtext makes them, and open, convert, convert back and save in the panel beside two runs of
// tavlo-cadtext, and the peak memory of extraction by tavlo-cadtext beside the drawing's size.
// Usage: bench_cadtext [FOLDER] — the folder holding 05_large_100k_text_r2018.dxf and
// 05b_large_100k_text_r2000_gbk.dxf; without it they are generated into a temporary folder by the corpus
// script (python3-ezdxf).
#include "BenchSupport.h"
#include "cadtext/CadConnection.h"
#include "cadtext/CadPanel.h"
#include "cadtext/CadTextTools.h"
#include "cadtext/ChineseConversion.h"
#include "cadtext/TextExtraction.h"
#include "cadtext/TextReplacement.h"
#include "common/modOffice.h"
#include "platform/drawing/CadApplication.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/DrawingView.h"
#include "platform/drawing/DrawingWindow.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadEntity;

namespace {

// Processor time of this process and of the children it waited for, in ms: on a machine others share,
// wall-clock figures say more about the neighbours than about the program.
double cpuMs() {
    double ms = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        ms += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return ms;
}

// Measures processor time (see cpuMs) from start or the last reading.
class CpuTimer {
public:
    void start() { m_start = cpuMs(); }
    void restart() { start(); }
    qint64 nsecsElapsed() const { return qint64((cpuMs() - m_start) * 1e6); }

private:
    double m_start = 0;
};

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

// The walks as tavlo-cadtext makes them, without the reading and writing of files.
struct WalkTimes {
    double extract = 0, replace = 0, toTraditional = 0, toSimplified = 0;
    int extracted = 0, replaced = 0, converted = 0;
};

WalkTimes benchLibrary(const QString &path, const QString &scratch, const QString &manuscriptPath) {
    WalkTimes times;
    std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
    CpuTimer timer;
    timer.start();
    QString error;
    auto document = CadDocument::load(path, &error);
    if (!document) {
        std::printf("  cannot read: %s\n", qPrintable(error));
        return times;
    }
    const double openMs = elapsedMs(timer);
    TextWalk::Options walk;
    walk.insert = walk.attribute = walk.table = walk.attributeDefinition = true;
    const QList<CadEntity *> selection = selectAll(*document, walk);
    const int texts = int(selection.size());
    // Every run of the command, as every click in the panel, selects anew: part of each walk below.
    const double selectMs = elapsedMs(timer);
    line("open", openMs, texts);
    line("select", selectMs, texts);

    auto *application = tavlo::sheet::Application::create();
    tavlo::sheet::Worksheet *sheet = application->Workbooks().Add()->Sheets(1);
    sheet->setColumnsFormat(1, 3, QStringLiteral("@"));
    TextExtraction::Options extraction;
    extraction.walk = walk;
    const int extracted = TextExtraction::ExtractTexts(selection, document->Name(), *sheet, 1, extraction);
    times.extract = selectMs + elapsedMs(timer);
    times.extracted = extracted;
    line(qPrintable(QStringLiteral("extract %1 texts").arg(extracted)), times.extract, extracted);
    extraction.noDuplicate = true;
    tavlo::sheet::Worksheet *unique = application->Workbooks().Add()->Sheets(1);
    unique->setColumnsFormat(1, 3, QStringLiteral("@"));
    const int distinct = TextExtraction::ExtractTexts(selection, document->Name(), *unique, 1, extraction);
    line(qPrintable(QStringLiteral("extract without duplicates (%1 rows)").arg(distinct)), elapsedMs(timer),
         texts);

    const int lastRow = sheet->UsedRange().lastRow();
    for (int row = 2; row <= lastRow; ++row)
        sheet->setValue(row, 4, QStringLiteral("Translation %1").arg(row));
    // The translated sheet is the manuscript of both replacement paths below.
    sheet->workbook()->SaveAs(manuscriptPath);
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
    times.replace = selectMs + indexMs + replaceMs;
    times.replaced = replaced;
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
    times.toTraditional = selectMs + elapsedMs(timer);
    times.converted = converted;
    line(qPrintable(QStringLiteral("convert to traditional (%1 strings)").arg(converted)),
         times.toTraditional, converted);
    conversion.mode = 0;
    ChineseConversion::ConvertChinese(again, *fresh, conversion);
    times.toSimplified = selectMs + elapsedMs(timer);
    line("convert back to simplified", times.toSimplified, converted);
    std::printf("  peak memory so far: %ld MB\n", peakMemoryKb() / 1024);
    return times;
}

// The panel as the main window holds it: both frames, the status line, the drawing and sheet windows.
class PanelBench {
public:
    PanelBench() {
        m_window.resize(900, 700);
        auto *box = new QGroupBox(&m_window);
        box->setGeometry(0, 0, 900, 650);
        m_tip = new QLabel(&m_window);
        m_tip->setGeometry(0, 660, 900, 30);
        m_panel = new CadPanel(box);
        ToolContext context;
        context.window = &m_window;
        context.office = &m_office;
        context.dataFolder = QDir::tempPath();
        context.status = StatusLine::onLabel(m_tip);
        m_connection = std::make_unique<CadConnection>(*m_panel, context);
        m_tools = std::make_unique<CadTextTools>(*m_panel, *m_connection, context);
        m_window.show();
    }
    ~PanelBench() {
        m_tools.reset();
        m_connection->ReleaseAll(false);
        m_office.ReleaseAll(false);
        for (tavlo::drawing::CadApplication *cad : tavlo::drawing::CadApplication::instances())
            cad->Quit();
    }

    // Opens the drawing in frame `index`, with every scope and box on; the time until it is shown.
    double open(int index, const QString &path) {
        CpuTimer timer;
        timer.start();
        m_connection->openDrawing(index, path);
        QCoreApplication::processEvents();
        const double ms = elapsedMs(timer);
        m_panel->comScope[index]->setCurrentIndex(1);
        for (QCheckBox *box : {m_panel->chkInsert[index], m_panel->chkAttribute[index],
                               m_panel->chkTable[index], m_panel->chkAttributeDefinition[index]})
            box->setChecked(true);
        return ms;
    }
    // From the click until the result is shown and the windows have painted it.
    double click(const std::function<void()> &command) {
        CpuTimer timer;
        timer.start();
        command();
        QCoreApplication::processEvents();
        return elapsedMs(timer);
    }
    // What the drawing window spends on the whole drawing: laying it out, and painting it.
    void measureWindow() {
        CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
        if (!document) {
            std::printf("  the drawing did not open: %s\n", qPrintable(m_tip->text()));
            return;
        }
        auto *window = tavlo::drawing::DrawingWindows::install(document->application())->windowOf(document);
        CpuTimer timer;
        timer.start();
        tavlo::drawing::DrawingScene scene;
        scene.build(*document);
        const double build = elapsedMs(timer);
        window->view()->repaint();
        std::printf("  drawing window: layout %.1f ms, paint %.1f ms (%lld items)\n", build, elapsedMs(timer),
                    qint64(scene.items().size()));
    }
    double save() {
        CadDocument *document = m_connection->cadSlots.slot(CadSlots::kReplacement)->document;
        if (!document)
            return 0;
        auto *windows = tavlo::drawing::DrawingWindows::install(document->application());
        tavlo::drawing::DrawingWindow *window = windows->windowOf(document);
        CpuTimer timer;
        timer.start();
        const bool ok = window && window->save();
        const double ms = elapsedMs(timer);
        if (!ok)
            std::printf("  the drawing window did not save\n");
        return ms;
    }

    QLabel *m_tip = nullptr;
    CadPanel *m_panel = nullptr;
    std::unique_ptr<CadTextTools> m_tools;
    std::unique_ptr<CadConnection> m_connection;

private:
    QWidget m_window;
    OfficeSlots m_office;
};

void sideBySide(const char *what, double command, double panel) {
    std::printf("  %-28s %10.1f ms %10.1f ms %8.2fx\n", what, command, panel,
                command > 0 ? panel / command : 0.0);
}

double runCommand(const QStringList &arguments) {
    CpuTimer timer;
    timer.start();
    QProcess process;
    process.start(QStringLiteral(TAVLO_CADTEXT_BINARY), arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        std::printf("  tavlo-cadtext %s failed: %s\n", qPrintable(arguments.join(u' ')),
                    process.readAllStandardError().constData());
    return elapsedMs(timer);
}

// Runs tavlo-cadtext and gives its own peak resident memory in bytes, -1 when it failed. The process is
// waited for directly, so that the figure is this run's alone. Linux counts into a child's peak the
// memory of the process it was started from, so this is called while the bench itself is still small.
double commandPeakBytes(const QStringList &arguments) {
    std::vector<QByteArray> storage{QByteArray(TAVLO_CADTEXT_BINARY)};
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_maxrss) * 1024;
}

// Extraction by tavlo-cadtext end to end (reading the drawing, writing the workbook): its peak memory
// beside the drawing's size.
void benchExtractionMemory(const QString &path, const QString &scratch) {
    std::printf("%s\n", qPrintable(QFileInfo(path).fileName()));
    const double fileBytes = double(QFileInfo(path).size());
    for (const char *suffix : {"csv", "xlsx"}) {
        const QString book = QDir(scratch).filePath(QStringLiteral("memory.") + QLatin1String(suffix));
        QFile::remove(book);
        const double peak = commandPeakBytes(
            {QStringLiteral("extract"), QStringLiteral("--all"), path, QStringLiteral("-o"), book});
        if (peak < 0) {
            std::printf("  tavlo-cadtext extract to .%s failed\n", suffix);
            continue;
        }
        std::printf("  extraction to .%-4s file %6.1f MB, peak %6.1f MB, %5.2fx the file\n", suffix,
                    fileBytes / 1e6, peak / 1e6, peak / fileBytes);
    }
}

void benchDrawing(const QString &path, const QString &scratch) {
    const QString manuscript = QDir(scratch).filePath(QStringLiteral("manuscript.csv"));
    const WalkTimes command = benchLibrary(path, scratch, manuscript);
    if (command.extracted == 0)
        return;

    WalkTimes panel;
    PanelBench bench;
    const QString extractCopy =
        QDir(scratch).filePath(QStringLiteral("extract-") + QFileInfo(path).fileName());
    const QString replaceCopy =
        QDir(scratch).filePath(QStringLiteral("replace-") + QFileInfo(path).fileName());
    const QString convertCopy =
        QDir(scratch).filePath(QStringLiteral("convert-") + QFileInfo(path).fileName());
    for (const QString &copy : {extractCopy, replaceCopy, convertCopy}) {
        QFile::remove(copy);
        QFile::copy(path, copy);
    }
    bench.open(0, extractCopy);
    panel.extract = bench.click([&] { bench.m_tools->cmdExtract_Click(); });
    std::printf("  panel: %s\n", qPrintable(bench.m_tip->text()));
    bench.open(1, replaceCopy);
    bench.m_tools->openManuscript(manuscript);
    panel.replace = bench.click([&] { bench.m_tools->cmdReplace_Click(); });
    std::printf("  panel: %s\n", qPrintable(bench.m_tip->text()));
    const double open = bench.open(1, convertCopy);
    bench.measureWindow();
    panel.toTraditional = bench.click([&] { bench.m_tools->cmdShiftChinese_Click(1); });
    std::printf("  panel: %s\n", qPrintable(bench.m_tip->text()));
    panel.toSimplified = bench.click([&] { bench.m_tools->cmdShiftChinese_Click(0); });
    const double save = bench.save();

    std::printf("  %-28s %13s %13s %9s  (processor time; walks with their selection)\n", "walk",
                "tavlo-cadtext", "panel", "ratio");
    sideBySide("extract", command.extract, panel.extract);
    sideBySide("replace", command.replace, panel.replace);
    sideBySide("convert to traditional", command.toTraditional, panel.toTraditional);
    sideBySide("convert back to simplified", command.toSimplified, panel.toSimplified);

    // The user's whole errand: the drawing opened, converted, converted back and saved.
    const QString there = QDir(scratch).filePath(QStringLiteral("there"));
    const QString back = QDir(scratch).filePath(QStringLiteral("back"));
    const double commands =
        runCommand({QStringLiteral("convert"), QStringLiteral("--all"), QStringLiteral("--to-traditional"),
                    path, QStringLiteral("-o"), there}) +
        runCommand({QStringLiteral("convert"), QStringLiteral("--all"), QStringLiteral("--to-simplified"),
                    QDir(there).filePath(QFileInfo(path).fileName()), QStringLiteral("-o"), back});
    sideBySide("open, convert twice, save", commands, open + panel.toTraditional + panel.toSimplified + save);
    std::printf("  (panel: open %.1f ms, save %.1f ms)\n", open, save);
    std::printf("  peak memory so far: %ld MB\n", peakMemoryKb() / 1024);
}

} // namespace

int main(int argc, char *argv[]) {
    // The offscreen platform's notes about raising windows say nothing about speed.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    const QStringList drawings = largeDrawings(argc, argv, scratch.path());
    for (const QString &path : drawings)
        benchExtractionMemory(path, scratch.path());
    for (const QString &path : drawings) {
        benchDrawing(path, scratch.path());
        // What the panel's applications left to be deleted goes before the next drawing, as the
        // program's event loop would see to.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return drawings.isEmpty() ? 1 : 0;
}
