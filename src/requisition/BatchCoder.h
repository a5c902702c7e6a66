#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include "RequisitionPanel.h"

#include "common/ToolContext.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <functional>

class CodeBuilder;
class OfficeSlots;

// Batch coding: walks every combination of the builder's lists within the chosen scope (the current
// name, the current category, or every category) and writes one row per material code into a new
// workbook of slot 1's spreadsheet, laid out as a materials import sheet. The workbook is left open and
// unsaved in its window. Runs on the window's thread and lets events through between rows, so "中断"
// stops it; the rows written so far stay.
class BatchCoder : public QObject {
    Q_OBJECT

public:
    using Scope = RequisitionPanel::Scope;

    static constexpr int kFirstDataRow = 3;
    static constexpr int kColumnCount = 8;
    // Data rows one sheet holds: row 3 to the sheet's last row.
    static qint64 rowCapacity();

    BatchCoder(RequisitionPanel &panel, CodeBuilder &builder, ToolContext context, QObject *parent = nullptr);

    // "开始" starts a batch, "中断" interrupts the running one.
    void cmdBatch_Click();
    // The enumeration and writing; returns when done, interrupted or failed.
    void BatchCode();

    bool isRunning() const { return m_running; }
    Scope scope() const;
    // Rows written by the running or the last batch.
    qint64 rowsWritten() const { return m_rows; }
    // Combinations of the last batch left out: code not 16 letters and digits, name empty.
    qint64 rowsWithInvalidCode() const { return m_invalidCodes; }
    qint64 rowsWithoutName() const { return m_emptyNames; }
    // The workbook of the last batch, while it is open.
    tavlo::sheet::Workbook *lastOutput() const { return m_lastOutput; }
    // Combinations the scope holds for the current selection, counted from the coding workbook.
    qint64 combinationCount(Scope scope) const;

    // The header row of the import sheet, columns A to H.
    static QStringList headerRow();

signals:
    // After each data row is written (its sheet row number).
    void rowWritten(int row);

private:
    bool startAllowed() const;
    bool writeHeader();
    // Chooses each item of the builder's list `list` in turn (RequisitionPanel::kCategory ...).
    bool enumerate(int list, const std::function<bool()> &inner);
    bool enumerateParameters(int index);
    bool writeRow();
    // The same text as an earlier row's when there was one, so that repeated texts share their storage.
    QString shared(const QString &text);
    // What the closing status line adds about the combinations not written.
    QString skippedText() const;
    // The coding workbook still answers; otherwise the batch ends and says why.
    bool sourceStillThere();
    void letEventsThrough(bool force);
    void showProgress();
    void release();

    RequisitionPanel &m_panel;
    CodeBuilder &m_builder;
    ToolContext m_context;
    OfficeSlots &m_office;

    bool m_running = false;
    bool m_interrupted = false;
    QString m_failure; // why a batch ended early without an interrupt
    qint64 m_rows = 0;
    qint64 m_total = -1;
    qint64 m_invalidCodes = 0;
    qint64 m_emptyNames = 0;
    bool m_sheetFull = false;
    QSet<QString> m_texts;
    QPointer<tavlo::sheet::Workbook> m_book;
    QPointer<tavlo::sheet::Worksheet> m_sheet;
    QPointer<tavlo::sheet::Workbook> m_lastOutput;
    QElapsedTimer m_sinceEvents;
};
