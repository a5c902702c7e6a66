// The record workbook at its largest: open, append one row, save, and read every cell, as .xls and .xlsx.
#include "BenchSupport.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "platform/sheet/XlsReader.h"
#include "platform/sheet/XlsxWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace tavlo::sheet;

namespace {

constexpr int kColumns = 11;

// Processor time of the process: on a busy machine the wall clock also counts the waits for a core.
double cpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Fields as record entry writes them: every cell text-formatted, codes and numbers kept as typed.
void writeRecord(Worksheet *sheet, int row) {
    const QStringList fields{QStringLiteral("离心泵%1").arg(row),
                             QStringLiteral("清水泵"),
                             QStringLiteral("DN50"),
                             QStringLiteral("净水厂"),
                             QStringLiteral("2024-05"),
                             QStringLiteral("格兰富"),
                             QStringLiteral("台"),
                             QString::number(row % 97),
                             QStringLiteral("12500.5"),
                             QStringLiteral("%1").arg(row, 10, 10, QChar(u'0')),
                             QStringLiteral("203.0.113.20")};
    for (int c = 1; c <= kColumns; ++c) {
        sheet->Cells(row, c).setNumberFormatLocal(QStringLiteral("@"));
        sheet->Cells(row, c).setValue(fields[c - 1]);
    }
}

bool makeWorkbook(Application *app, const QString &path, int rows) {
    Workbook *book = app->Workbooks().Add();
    Worksheet *sheet = book->Sheets(1);
    for (int c = 1; c <= kColumns; ++c)
        sheet->Cells(1, c).setValue(QStringLiteral("属性%1").arg(c));
    for (int r = 2; r <= rows; ++r)
        writeRecord(sheet, r);
    const bool saved = book->SaveAs(path);
    if (!saved)
        std::printf("  cannot save: %s\n", qPrintable(book->lastError()));
    book->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // as the event loop would
    return saved;
}

void run(Application *app, const QString &path, int rows) {
    QElapsedTimer timer;
    timer.start();
    if (!makeWorkbook(app, path, rows))
        return;
    const double create = elapsedMs(timer);
    const qint64 bytes = QFileInfo(path).size();

    Workbook *book = app->Workbooks().Open(path);
    if (!book) {
        std::printf("  cannot open: %s\n", qPrintable(app->lastError()));
        return;
    }
    Worksheet *sheet = book->Sheets(1);
    const double open = elapsedMs(timer);

    const int row = sheet->UsedRange().lastRow() + 1;
    writeRecord(sheet, row);
    const double append = elapsedMs(timer);

    const bool saved = book->SaveAs(path);
    const double save = elapsedMs(timer);

    qint64 characters = 0;
    const int lastRow = sheet->UsedRange().lastRow();
    for (int r = 1; r <= lastRow; ++r)
        for (int c = 1; c <= kColumns; ++c)
            characters += sheet->Cells(r, c).Value().size();
    const double read = elapsedMs(timer);
    book->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    std::printf("%-5s %7d rows -> %7d  %8.1f MB   create+save %7.0f ms  open %7.0f ms  append row %6.2f ms"
                "  save %7.0f ms%s  read all %6.0f ms (%lld chars)  peak memory so far %ld MB\n",
                qPrintable(QFileInfo(path).suffix()), rows, lastRow, double(bytes) / 1e6, create, open,
                append, save, saved ? "" : " (FAILED)", read, static_cast<long long>(characters),
                peakMemoryKb() / 1024);
}

// Reading the .xls file alone, from its bytes in memory to the sheets, best of three runs.
void readXls(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    auto best = [&](bool (*reader)(const QByteArray &, const ReadLimits &, BookContent *, QString *)) {
        double fastest = -1;
        qsizetype cells = 0;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            timer.start();
            BookContent book;
            QString error;
            if (!reader(bytes, ReadLimits{}, &book, &error)) {
                std::printf("  cannot read: %s\n", qPrintable(error));
                return std::pair<double, qsizetype>{-1, 0};
            }
            const double ms = elapsedMs(timer);
            fastest = fastest < 0 ? ms : std::min(fastest, ms);
            cells = book.sheets.front().cellSlots();
        }
        return std::pair<double, qsizetype>{fastest, cells};
    };
    const auto [ours, cells] = best(&xls::read);
    std::printf("xls   read %s (%lld cells): our reader %7.0f ms", qPrintable(QFileInfo(path).fileName()),
                static_cast<long long>(cells), ours);
    std::printf("\n");
}

// An extraction workbook of 100,000 texts as the CAD text tools write it: drawing name, entity handle and
// text, three text-formatted columns. Times writing the .xlsx file (the package in memory, then the file).
void writeExtraction(const QString &path) {
    constexpr int kRows = 100000;
    SheetData sheet(QStringLiteral("Sheet1"));
    const quint16 text = sheet.internFormat(QStringLiteral("@"));
    for (int c = 1; c <= 3; ++c)
        sheet.setColumnFormat(c, text);
    for (int r = 1; r <= kRows; ++r) {
        sheet.setCell(r, 1, Cell::fromText(QStringLiteral("厂区总平面图.dxf")));
        sheet.setCell(r, 2, Cell::fromText(QString::number(0x2A0 + r, 16).toUpper()));
        sheet.setCell(
            r, 3, Cell::fromText(QStringLiteral("设备基础%1 标高 %2").arg(r).arg(r % 977 * 0.05, 0, 'f', 2)));
    }
    sheet.setColumnWidth(3, 40);
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = cpuMs();
    QByteArray bytes;
    QString error;
    const bool ok = xlsx::write(BookView{{&sheet}, 0}, &bytes, &error);
    const double package = elapsedMs(timer);
    QFile file(path);
    const bool written = ok && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    file.close();
    const double total = package + elapsedMs(timer);
    const double cpu = cpuMs() - cpuBefore;
    std::printf("xlsx  write %d rows x 3 text columns: %7.0f ms (package %7.0f ms), %7.0f ms of processor "
                "time, %.1f MB%s\n",
                kRows, total, package, cpu, double(bytes.size()) / 1e6,
                written ? "" : qPrintable(QStringLiteral(" (FAILED: ") + error + u')'));
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication qapp(argc, argv);
    QTemporaryDir dir;
    Application *app = Application::create();
    app->setDisplayAlerts(false);
    std::printf("bench_sheet: a record workbook of %d columns, every cell text-formatted\n", kColumns);
    // An .xls sheet ends at row 65,536: its workbook has one row less, so the appended row is the last one.
    run(app, dir.filePath(QStringLiteral("MIS.xls")), kMaxXlsRows - 1);
    readXls(dir.filePath(QStringLiteral("MIS.xls")));
    run(app, dir.filePath(QStringLiteral("MIS.xlsx")), kMaxXlsRows);
    app->Quit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    writeExtraction(dir.filePath(QStringLiteral("extraction.xlsx")));
    return 0;
}
