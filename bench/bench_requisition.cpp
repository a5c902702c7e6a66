// Batch coding over a generated coding workbook of 2,000,000 combinations (10 categories x 10 names x
// 10 x 10 x 10 x 10 x 2 parameter values), scope "全部物料": more than a sheet holds, so the batch fills
// the sheet's 1,048,574 data rows and stops. Prints rows per second with events let through between rows
// and the result workbook shown in its window, the memory the rows hold, the peak memory while the
// result is saved as .xlsx (VmHWM), and the time of one cascade step (choosing a name reloads the five
// parameter lists; choosing a category reloads the names as well).
#include "BenchSupport.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/SheetWindow.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "requisition/BatchCoder.h"
#include "requisition/CodeBuilder.h"
#include "requisition/RequisitionPanel.h"
#include "requisition/RequisitionTool.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavlo::sheet;

namespace {

constexpr int kCategories = 10;
constexpr int kNames = 10;
constexpr int kValues = 10;

QString coded(int code, int width, const QString &text) {
    return QStringLiteral("%1-%2").arg(code, width, 10, QLatin1Char('0')).arg(text);
}

bool makeCodingWorkbook(const QString &path) {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Add();
    book->Sheets(1)->setName(QStringLiteral("说明"));
    book->Sheets(1)->setValue(1, 1, QStringLiteral("bench"));
    Worksheet *names = book->AddSheet(QStringLiteral("分类"));
    QList<Worksheet *> parameters;
    for (int p = 1; p <= 5; ++p)
        parameters.append(book->AddSheet(QStringLiteral("参数%1").arg(p)));
    for (int c = 1; c <= kCategories; ++c) {
        const QString category = coded(100 + c, 4, QStringLiteral("类别%1").arg(c));
        names->setValue(1, c, category);
        for (int n = 1; n <= kNames; ++n)
            names->setValue(1 + n, c, coded(n, 2, QStringLiteral("物料%1泵").arg(n)));
        for (int p = 0; p < 5; ++p) {
            parameters[p]->setValue(1, c, category);
            const int values = p < 4 ? kValues : 2;
            for (int v = 1; v <= values; ++v)
                parameters[p]->setValue(1 + v, c, coded(v, 2, QStringLiteral("P%1V%2").arg(p + 1).arg(v)));
        }
    }
    const bool ok = book->SaveAs(path);
    app->Quit();
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    QApplication qapp(argc, argv);
    tavlo::sheet::installSheetWindows(); // the result workbook is shown, as in the program
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("coding.xlsx"));
    if (!makeCodingWorkbook(path)) {
        std::fprintf(stderr, "could not write the coding workbook\n");
        return 1;
    }

    QGroupBox frame;
    OfficeSlots office;
    QString lastTip;
    ToolContext context;
    context.office = &office;
    context.status.show = [&](const QString &text) { lastTip = text; };
    context.chooseFile = [&](QWidget *, const QString &, const QString &, const QString &, const QString &) {
        return path;
    };
    RequisitionTool tool(&frame, context);
    RequisitionPanel &panel = tool.panel();
    CodeBuilder &builder = tool.builder();
    BatchCoder &batch = tool.batch();
    frame.show();

    QElapsedTimer timer;
    timer.start();
    builder.cmdData_Click();
    std::printf("open coding workbook: %.1f ms (%d categories)\n", timer.nsecsElapsed() / 1e6,
                panel.comCategory->count());

    const int steps = 200;
    timer.restart();
    for (int i = 0; i < steps; ++i)
        builder.selectItem(panel.comName, i % kNames);
    std::printf("cascade step, name -> 5 parameter lists: %.1f us\n", timer.nsecsElapsed() / 1e3 / steps);
    timer.restart();
    for (int i = 0; i < steps; ++i)
        builder.selectItem(panel.comCategory, i % kCategories);
    std::printf("cascade step, category -> names -> 5 parameter lists: %.1f us\n",
                timer.nsecsElapsed() / 1e3 / steps);
    builder.selectItem(panel.comCategory, 0);

    const long before = statusKb("VmRSS:");
    panel.optAll->setChecked(true);
    timer.restart();
    batch.cmdBatch_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const qint64 rows = batch.rowsWritten();
    const long after = statusKb("VmRSS:");
    std::printf("batch \"全部物料\" of %lld combinations: %lld rows in %.2f s = %.0f rows/s\n",
                static_cast<long long>(batch.combinationCount(BatchCoder::Scope::All)),
                static_cast<long long>(rows), seconds, rows / seconds);
    std::printf(
        "memory: %.1f MB before the batch, %.1f MB after (%.0f bytes per row held); peak so far %.1f MB\n",
        before / 1024.0, after / 1024.0, (after - before) * 1024.0 / std::max<qint64>(rows, 1),
        statusKb("VmHWM:") / 1024.0);
    std::printf("status line: %s\n", qPrintable(lastTip));

    if (Workbook *out = batch.lastOutput()) {
        timer.restart();
        const QString saved = dir.filePath(QStringLiteral("batch.xlsx"));
        const bool ok = out->SaveAs(saved);
        std::printf("save as .xlsx: %s in %.2f s, %.1f MB; peak memory of the whole run (VmHWM) %.1f MB\n",
                    ok ? "ok" : qPrintable(QStringLiteral("FAILED: ") + out->lastError()),
                    timer.nsecsElapsed() / 1e9, QFile(saved).size() / 1e6, statusKb("VmHWM:") / 1024.0);
    }
    office.ReleaseAll(false);
    return rows == BatchCoder::rowCapacity() ? 0 : 1;
}
