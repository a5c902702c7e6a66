#pragma once

// The purchase-requisition tool on a frame of its own, with a context of its own (no main window), and
// coding workbooks made to measure.

#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"
#include "requisition/BatchCoder.h"
#include "requisition/CodeBuilder.h"
#include "requisition/RequisitionPanel.h"
#include "requisition/RequisitionTool.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStringList>

struct Rig {
    QGroupBox frame;
    OfficeSlots office;
    QString tip;
    QString chosenFile;
    int dialogs = 0;
    RequisitionTool tool{&frame, context()};
    RequisitionPanel &panel = tool.panel();
    CodeBuilder &builder = tool.builder();
    BatchCoder &batch = tool.batch();

    ~Rig() { office.ReleaseAll(false); }

    ToolContext context() {
        ToolContext c;
        c.office = &office;
        c.status.show = [this](const QString &text) { tip = text; };
        c.dataFolder = QStringLiteral("/nonexistent");
        c.chooseFile = [this](QWidget *, const QString &, const QString &, const QString &, const QString &) {
            ++dialogs;
            return chosenFile;
        };
        return c;
    }
    void open(const QString &path) {
        chosenFile = path;
        builder.cmdData_Click();
    }
    static QStringList items(const QComboBox *list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    }
    QStringList parameterItems(int index) const { return items(panel.comParameter[index]); }
    QString code() const { return panel.txtCode->text(); }
};

// One sheet of a coding workbook: columns, each a header followed by its values.
struct SheetContent {
    QString name;
    QList<QStringList> columns;
};

// Writes the sheets (the first one is the notes sheet) to `path`; false when saving failed.
inline bool writeWorkbook(const QString &path, const QList<SheetContent> &sheets) {
    using tavlo::sheet::Application;
    Application *app = Application::create();
    auto *book = app->Workbooks().Add();
    bool ok = book != nullptr;
    for (int s = 0; ok && s < sheets.size(); ++s) {
        auto *sheet = s == 0 ? book->Sheets(1) : book->AddSheet(sheets[s].name);
        ok = sheet && sheet->setName(sheets[s].name);
        for (int c = 0; ok && c < sheets[s].columns.size(); ++c)
            for (int r = 0; ok && r < sheets[s].columns[c].size(); ++r)
                ok = sheet->setValue(r + 1, c + 1, sheets[s].columns[c][r]);
    }
    ok = ok && book->SaveAs(path);
    app->Quit();
    return ok;
}

// A coding workbook with one category "0101-泵类" whose parameter sheets are keyed by category and hold
// `parameters[i]` as the values of parameter i + 1. `names` are the category's names.
inline bool writeOneCategory(const QString &path, const QStringList &names,
                             const std::array<QStringList, 5> &parameters) {
    const QString category = QStringLiteral("0101-泵类");
    QList<SheetContent> sheets{{QStringLiteral("说明"), {{QStringLiteral("notes")}}},
                               {QStringLiteral("分类"), {QStringList{category} + names}}};
    for (int i = 0; i < 5; ++i)
        sheets.append({QStringLiteral("参数%1").arg(i + 1), {QStringList{category} + parameters[size_t(i)]}});
    return writeWorkbook(path, sheets);
}
