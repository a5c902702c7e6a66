// The 100,000-text drawings: open and parse, select the texts of one layer, change every text, save;
// and the same file read by ezdxf (Debian's python3-ezdxf) for comparison.
// Usage: bench_drawing [folder holding 05_large_100k_text_r2018.dxf and 05b_large_100k_text_r2000_gbk.dxf]
// Without a folder the drawings are made in a temporary folder by the corpus generator.
#include "BenchSupport.h"
#include "platform/drawing/CadDocument.h"
#include "platform/drawing/DxfFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

using namespace tavlo::drawing;

namespace {

const QString python = QStringLiteral("/usr/bin/python3");

// Resets the peak resident size so that each step reports its own peak.
void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Heap bytes in use, large (mapped) blocks included.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

struct Step {
    double seconds = 0;
    long peakKb = 0;
};

template <typename F> Step measure(F &&work) {
    resetPeak();
    QElapsedTimer timer;
    timer.start();
    work();
    Step s;
    s.seconds = double(timer.nsecsElapsed()) / 1e9;
    s.peakKb = statusKb("VmHWM:");
    return s;
}

double runPython(const QStringList &arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.start(python, arguments);
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        std::fprintf(stderr, "python failed: %s\n", p.readAllStandardError().constData());
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e9;
}

void benchOne(const QString &path, const QString &outFolder) {
    const double mb = double(QFileInfo(path).size()) / 1e6;
    std::printf("\n%s  %.1f MB\n", qPrintable(QFileInfo(path).fileName()), mb);
    const long baseKb = statusKb("VmRSS:");
    const size_t baseHeap = heapInUse();

    std::unique_ptr<CadDocument> doc;
    QString error;
    const Step open = measure([&] { doc = CadDocument::load(path, &error); });
    if (!doc) {
        std::printf("  open failed: %s\n", qPrintable(error));
        return;
    }
    // What the open drawing holds: heap in use (exact) and resident growth (allocator slack included).
    const double heldMb = double(heapInUse() - baseHeap) / 1e6;
    const double residentMb = (statusKb("VmRSS:") - baseKb) * 1024.0 / 1e6;
    qlonglong pairs = 0;
    for (const DxfChunk *chunk : doc->file().chunks())
        pairs += qlonglong(chunk->pairs.size());
    std::printf("  %lld pairs in %lld chunks, %zu bytes per pair\n", pairs,
                qlonglong(doc->file().chunks().size()), sizeof(DxfPair));
    std::printf(
        "  open+parse   %7.3f s  %7.1f MB/s  peak RSS %6.1f MB  held %6.1f MB = %.2f x file (RSS +%.1f MB)  "
        "%lld entities\n",
        open.seconds, mb / open.seconds, open.peakKb / 1024.0, heldMb, heldMb / mb, residentMb,
        qlonglong(doc->entities().size()));

    int selected = 0;
    CadSelectionSet *set = doc->SelectionSets().Add(QStringLiteral("BENCHSET"));
    const Step select = measure([&] {
        set->Select(CadSelectionSet::acSelectionSetAll, {-4, 0, 8, -4},
                    {QStringLiteral("<AND"), QStringLiteral("Text"), QStringLiteral("TEXT_CN"),
                     QStringLiteral("AND>")});
        selected = set->Count();
    });
    std::printf("  select layer %7.3f s  %7.1f MB/s  peak RSS %6.1f MB  %d texts on TEXT_CN\n",
                select.seconds, mb / select.seconds, select.peakKb / 1024.0, selected);

    int changed = 0;
    const Step change = measure([&] {
        for (CadEntity *e : doc->entities()) {
            if (e->kind() != CadEntity::Kind::Text)
                continue;
            e->setTextString(e->TextString() + QStringLiteral(" 改"));
            ++changed;
        }
    });
    std::printf("  change all   %7.3f s  %7.1f MB/s  peak RSS %6.1f MB  %d texts\n", change.seconds,
                mb / change.seconds, change.peakKb / 1024.0, changed);

    const QString saved = QDir(outFolder).filePath(QStringLiteral("saved-") + QFileInfo(path).fileName());
    bool ok = false;
    const Step save = measure([&] { ok = doc->SaveAs(saved); });
    const double savedMb = double(QFileInfo(saved).size()) / 1e6;
    std::printf("  save         %7.3f s  %7.1f MB/s  peak RSS %6.1f MB  %s (%.1f MB)\n", save.seconds,
                savedMb / save.seconds, save.peakKb / 1024.0, ok ? "ok" : qPrintable(doc->lastError()),
                savedMb);
    const size_t beforeClose = heapInUse();
    doc.reset();
    const double edited = double(beforeClose - heapInUse()) / 1e6;
    std::printf("  memory held by the drawing after the edits %.1f MB (%.2f x file)\n", edited, edited / mb);

    const double importOnly = runPython({QStringLiteral("-c"), QStringLiteral("import ezdxf")});
    const double ezdxf = runPython(
        {QStringLiteral("-c"), QStringLiteral("import ezdxf, sys; ezdxf.readfile(sys.argv[1])"), path});
    if (ezdxf > 0) {
        std::printf("  ezdxf.readfile %7.3f s (of which python + import %.3f s)\n", ezdxf, importOnly);
        std::printf(
            "  parse speed-up: %.1f x the whole ezdxf command, %.1f x its readfile alone (goal >= 10 x)\n",
            ezdxf / open.seconds, (ezdxf - importOnly) / open.seconds);
    }
}

} // namespace

int main(int argc, char **argv) {
    // Text extents use font metrics, which want a graphical application (offscreen is enough).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir temp;
    const QStringList drawings = largeDrawings(argc, argv, temp.path());
    for (const QString &path : drawings)
        benchOne(path, temp.path());
    return drawings.isEmpty() ? 1 : 0;
}
