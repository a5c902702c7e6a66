// The requisition form at size: laying out a form of 1,000 lines, one fill at 10, 100 and 1,000 lines,
// padding a form to its page end, and writing .docx and PDF. With a folder argument the files stay there.
#include "BenchSupport.h"
#include "common/modOffice.h"
#include "platform/document/Document.h"
#include "requisition/RequisitionForm.h"
#include "requisition/WordFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavlo::document;

namespace {

struct Bench {
    WordFrame frame;
    OfficeSlots office;
    int line = 0;
    RequisitionForm form{frame, office, material()};

    RequisitionForm::Material material() {
        RequisitionForm::Material m;
        m.dataSourceValid = [] { return true; };
        m.codeValid = [] { return true; };
        m.code = [this] { return QStringLiteral("01010100%1").arg(line, 8, 10, QChar(u'0')); };
        m.nameWithoutCode = [] { return QStringLiteral("闸阀"); };
        m.materialSpec = [this] {
            return QStringLiteral("DN%1 PN16 法兰连接 铸钢阀体 不锈钢阀杆").arg(line);
        };
        m.unit = [] { return QStringLiteral("台"); };
        return m;
    }
    Document *document() { return office.word().document; }
    // Fills until the form holds `lines` lines; returns the time of the last fill.
    double fillTo(int lines) {
        QElapsedTimer timer;
        double last = 0;
        while (line < lines) {
            ++line;
            timer.start();
            form.cmdFill_Click();
            last = elapsedMs(timer);
        }
        return last;
    }
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    std::printf("requisition form, landscape A4\n");
    for (int lines : {10, 100, 1000}) {
        Bench b;
        b.fillTo(lines - 1);
        // The fill of line `lines`, then the same material again (a quantity raised after a full search).
        QElapsedTimer timer;
        timer.start();
        ++b.line;
        b.form.cmdFill_Click();
        const double add = elapsedMs(timer);
        b.form.cmdFill_Click();
        const double same = elapsedMs(timer);
        std::printf("  %5d lines: one fill adding a line %.2f ms, raising a quantity %.2f ms, %d pages\n",
                    lines, add, same, b.document()->pageCount());
        Document *d = b.document();
        // One step of padding to the page end: two page counts around an appended paragraph.
        timer.restart();
        constexpr int kSteps = 20;
        for (int i = 0; i < kSteps; ++i)
            b.form.WouldOverflowPage();
        std::printf("                one padding step (WouldOverflowPage) %.3f ms\n",
                    elapsedMs(timer) / kSteps);
        // Laying the whole form out from nothing: measures dropped by turning the page.
        d->setOrientation(PageSetup::Portrait);
        d->setOrientation(PageSetup::Landscape);
        timer.restart();
        const int pages = d->pageCount();
        std::printf("                layout from scratch %.2f ms (%d pages)\n", elapsedMs(timer), pages);
        timer.restart();
        b.form.cmdFinish_Click();
        std::printf("                finish (fit, pad to the page end) %.2f ms, %d rows, %d pages\n",
                    elapsedMs(timer), d->Tables(1)->RowsCount(), d->pageCount());
        const QString base = folder + QStringLiteral("/form-%1").arg(lines);
        timer.restart();
        const bool docx = d->SaveAs(base + QStringLiteral(".docx"));
        const double docxMs = elapsedMs(timer);
        const bool pdf = d->SaveAs(base + QStringLiteral(".pdf"));
        const double pdfMs = elapsedMs(timer);
        std::printf("                .docx %s %.1f ms (%lld bytes), PDF %s %.1f ms (%lld bytes)\n",
                    docx ? "written" : "FAILED", docxMs, QFileInfo(base + QStringLiteral(".docx")).size(),
                    pdf ? "written" : "FAILED", pdfMs, QFileInfo(base + QStringLiteral(".pdf")).size());
        b.office.ReleaseAll(false);
    }
    {
        // A short form padded to its page end by the finish: every filler row lays the document out twice.
        Bench b;
        b.fillTo(3);
        const int rowsBefore = b.document()->Tables(1)->RowsCount();
        QPointer<Document> d = b.document();
        QElapsedTimer timer;
        timer.start();
        b.form.cmdFinish_Click();
        const double ms = elapsedMs(timer);
        const int fillers = d->Tables(1)->RowsCount() - rowsBefore;
        std::printf("  3 lines: finish pads %d filler rows in %.2f ms (%.3f ms a row), %d page(s)\n", fillers,
                    ms, fillers ? ms / fillers : 0.0, d->pageCount());
        d->SaveAs(folder + QStringLiteral("/form-3.pdf"));
        d->SaveAs(folder + QStringLiteral("/form-3.docx"));
        b.office.ReleaseAll(false);
    }
    return 0;
}
