// Record entry and keyword query against a record workbook of 1,000, 10,000 and 65,000 rows: the time
// to record one row and to run one query, as the host spends it for every "[记录]" and "[查询]".
#include "common/modOffice.h"
#include "infosys/InfoPanel.h"
#include "infosys/InfoSystem.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "session/Session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavlo::sheet;

namespace {

void makeWorkbook(const QString &path, int rows) {
    Application *app = Application::create();
    Workbook *book = app->Workbooks().Add();
    Worksheet *sheet = book->Sheets(1);
    const RecordSchema schema = RecordSchemaText::designed();
    for (int c = 1; c <= RecordSchema::kAttributeCount; ++c)
        sheet->setValue(1, c, schema.attributes[c - 1]);
    for (int r = 2; r <= rows; ++r) {
        const QStringList fields{QStringLiteral("离心泵%1").arg(r),
                                 QStringLiteral("清水泵"),
                                 QStringLiteral("DN%1").arg(r % 300),
                                 QStringLiteral("一期"),
                                 QStringLiteral("2026-12"),
                                 QStringLiteral("南方"),
                                 QStringLiteral("台"),
                                 QString::number(r % 17),
                                 QStringLiteral("12500.5"),
                                 QStringLiteral("NC%1").arg(r, 6, 10, QLatin1Char('0')),
                                 QStringLiteral("127.0.0.1")};
        for (int c = 1; c <= fields.size(); ++c) {
            sheet->setNumberFormat(r, c, QStringLiteral("@"));
            sheet->setValue(r, c, fields[c - 1]);
        }
    }
    book->SaveAs(path);
    app->Quit();
}

double ms(QElapsedTimer &timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    std::printf("%-8s %14s %14s %10s\n", "rows", "record (ms)", "query (ms)", "hits");
    for (int rows : {1000, 10000, 65000}) {
        QTemporaryDir folder;
        Session session;
        QGroupBox frame;
        InfoPanel panel(&frame);
        OfficeSlots office;
        InfoSystem info(
            session, panel, office,
            InfoSystem::Context{folder.path(), folder.filePath(QStringLiteral("Tavlo.ini")), {}, {}, {}});
        makeWorkbook(info.workbookPath(), rows);

        QElapsedTimer timer;
        timer.start();
        const bool recorded =
            info.RecordToWorkbook(QStringLiteral("闸阀|Z41H|DN50|二期|2026|北方|个|3|80|NC02|127.0.0.1"));
        const double recordMs = ms(timer);
        timer.restart();
        const int hits = int(info.SearchWorkbook(QStringLiteral("DN50||||||True|False|True")).size());
        const double queryMs = ms(timer);
        std::printf("%-8d %14.1f %14.1f %10d%s\n", rows, recordMs, queryMs, hits,
                    recorded ? "" : "  (record failed)");
        office.ReleaseAll();
    }
    return 0;
}
