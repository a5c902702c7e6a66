#include "BatchCoder.h"

#include "CodeBuilder.h"
#include "MaterialCode.h"
#include "RequisitionPanel.h"
#include "UnitInference.h"

#include "common/BusyPointer.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCoreApplication>

#include <limits>

using tavlo::sheet::Application;
using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;

namespace {

// Events run at least this often while rows are written; a click on "中断" waits no longer.
constexpr int kEventsEveryMs = 40;

// Counts of combinations stop growing at the largest number rather than wrapping around: five lists of a
// million values each hold more than a 64-bit count can.
constexpr qint64 kCountLimit = std::numeric_limits<qint64>::max();
qint64 saturatedProduct(qint64 a, qint64 b) {
    return b != 0 && a > kCountLimit / b ? kCountLimit : a * b;
}
qint64 saturatedSum(qint64 a, qint64 b) {
    return a > kCountLimit - b ? kCountLimit : a + b;
}
// Texts kept for sharing between rows; past this many the table starts again.
constexpr qsizetype kSharedTexts = 1 << 16;

} // namespace

BatchCoder::BatchCoder(RequisitionPanel &panel, CodeBuilder &builder, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_builder(builder)
    , m_context(std::move(context))
    , m_office(*m_context.office) {
    connect(&m_panel, &RequisitionPanel::batchClicked, this, &BatchCoder::cmdBatch_Click);
}

QStringList BatchCoder::headerRow() {
    return {QStringLiteral("material_$head,code,name,pk_marbasclass,materialspec,pk_measdoc,pk_mattaxes,"
                           "outcloselowerlimit"),
            QStringLiteral("* 物料编码"),
            QStringLiteral("* 物料名称(ZH)"),
            QStringLiteral("* 物料分类"),
            QStringLiteral("规格"),
            QStringLiteral("* 主计量单位"),
            QStringLiteral("* 物料税类"),
            QStringLiteral("* 出库关闭下容差（%）")};
}

qint64 BatchCoder::rowCapacity() {
    return qint64(tavlo::sheet::kMaxRows) - kFirstDataRow + 1;
}

BatchCoder::Scope BatchCoder::scope() const {
    return m_panel.scope();
}

bool BatchCoder::startAllowed() const {
    return !m_running && !BusyPointer::isBusy() && m_builder.sourceAlive() && m_builder.DataSourceValid();
}

void BatchCoder::cmdBatch_Click() {
    if (m_running) {
        // "中断": the running batch finds its references gone at its next row and ends there.
        m_interrupted = true;
        release();
        return;
    }
    if (!startAllowed()) {
        // Busy with other work: nothing happens, as with any command. Otherwise the user learns why.
        if (!BusyPointer::isBusy())
            m_context.tip(QStringLiteral("批量编码无法开始：") + m_builder.sourceProblem());
        return;
    }
    m_running = true;
    {
        BusyPointer busy;
        m_panel.showBatchRunning(true);
        if (Application *app = m_office.excel(CodeBuilder::kSlot)->application)
            app->setVisible(true);
        BatchCode();
        m_panel.showBatchRunning(false);
    }
    m_running = false;
}

void BatchCoder::release() {
    m_book = nullptr;
    m_sheet = nullptr;
}

void BatchCoder::BatchCode() {
    m_rows = 0;
    m_invalidCodes = 0;
    m_emptyNames = 0;
    m_sheetFull = false;
    m_texts.clear();
    m_interrupted = false;
    m_failure = QStringLiteral("结果工作簿已关闭");
    Application *app = m_office.excel(CodeBuilder::kSlot)->application;
    if (OfficeSlots::ObjectDead(app))
        return;
    const Scope chosen = scope();
    m_total = combinationCount(chosen);
    m_book = app->Workbooks().Add();
    m_lastOutput = m_book;
    m_sheet = m_book ? m_book->Sheets(1) : nullptr;
    // Kept apart from the references an interrupt releases, so that the rows written are fitted too.
    const QPointer<Worksheet> output = m_sheet;
    if (!writeHeader()) {
        release();
        return;
    }
    m_sinceEvents.start();
    showProgress();
    // A batch the sheet cannot take whole says so before its first row, and keeps saying it.
    if (m_total > rowCapacity())
        QCoreApplication::processEvents();
    m_builder.holdCodeDisplay(true);

    auto names = [this] {
        return enumerate(RequisitionPanel::kName, [this] { return enumerateParameters(1); });
    };
    bool finished = false;
    switch (chosen) {
    case Scope::All:
        finished = enumerate(RequisitionPanel::kCategory, names);
        break;
    case Scope::Category:
        finished = names();
        break;
    case Scope::Name:
        finished = enumerateParameters(1);
        break;
    }

    m_builder.holdCodeDisplay(false);
    if (output)
        output->autoFit(1, kColumnCount);
    release();
    m_texts.clear();
    QString text;
    if (finished)
        text = QStringLiteral("批量编码完成：共写入 %1 行").arg(m_rows);
    else if (m_interrupted)
        text = QStringLiteral("批量编码已中断：已写入 %1 行").arg(m_rows);
    else if (m_sheetFull)
        text = QStringLiteral("批量编码未完成：已写入 %1 行，工作表已满（最多 %2 行），其余 %3 种组合未写入")
                   .arg(m_rows)
                   .arg(tavlo::sheet::kMaxRows)
                   .arg(std::max<qint64>(0, m_total - m_rows - m_invalidCodes - m_emptyNames));
    else
        text = QStringLiteral("批量编码未完成：已写入 %1 行（%2）").arg(m_rows).arg(m_failure);
    m_context.tip(text + skippedText());
}

QString BatchCoder::skippedText() const {
    if (m_invalidCodes == 0 && m_emptyNames == 0)
        return {};
    QStringList reasons;
    if (m_invalidCodes > 0)
        reasons.append(QStringLiteral("编码不是 16 个字母或数字 %1 行").arg(m_invalidCodes));
    if (m_emptyNames > 0)
        reasons.append(QStringLiteral("物料名称为空 %1 行").arg(m_emptyNames));
    return QStringLiteral("；跳过 %1 行（%2）")
        .arg(m_invalidCodes + m_emptyNames)
        .arg(reasons.join(QStringLiteral("，")));
}

QString BatchCoder::shared(const QString &text) {
    const auto found = m_texts.constFind(text);
    if (found != m_texts.constEnd())
        return *found;
    if (m_texts.size() >= kSharedTexts)
        m_texts.clear();
    m_texts.insert(text);
    return text;
}

bool BatchCoder::writeHeader() {
    if (!m_sheet || !m_sheet->setColumnsFormat(1, kColumnCount, QStringLiteral("@")))
        return false;
    const QStringList header = headerRow();
    for (int column = 1; column <= kColumnCount; ++column)
        if (!m_sheet->setValue(2, column, header[column - 1]))
            return false;
    return true;
}

bool BatchCoder::enumerate(int list, const std::function<bool()> &inner) {
    const int count = m_panel.count(list);
    for (int i = 0; i < count; ++i) {
        m_builder.selectItem(list, i);
        // The cascade released a workbook that did not fit; the lists below are no longer its own.
        if (!sourceStillThere() || !m_sheet)
            return false;
        if (!inner())
            return false;
    }
    return true;
}

bool BatchCoder::enumerateParameters(int index) {
    if (index > MaterialCode::kParameterCount)
        return writeRow();
    return enumerate(RequisitionPanel::parameterList(index),
                     [this, index] { return enumerateParameters(index + 1); });
}

bool BatchCoder::writeRow() {
    letEventsThrough(false);
    if (!m_sheet || !sourceStillThere())
        return false;
    // Only materials that could be filled into a form become rows: a name and a code of 16 letters and
    // digits (values stored as numbers or a gap in a names column give neither).
    const QString name = m_panel.currentText(RequisitionPanel::kName);
    const QString readableName = MaterialCode::NameWithoutCode(name);
    if (readableName.trimmed().isEmpty()) {
        ++m_emptyNames;
        return true;
    }
    if (!m_builder.CodeValid()) {
        ++m_invalidCodes;
        return true;
    }
    if (m_rows >= rowCapacity()) {
        m_sheetFull = true;
        return false;
    }
    const int row = kFirstDataRow + int(m_rows);
    const QStringList cells{m_builder.code(), shared(readableName), QString(),
                            shared(m_builder.materialSpecText()), shared(InferUnit(name))};
    const bool written = m_sheet->setRowValues(row, 2, cells);
    if (!written) {
        if (m_sheet && m_sheet->isAlive())
            m_failure = m_sheet->lastError();
        return false;
    }
    ++m_rows;
    emit rowWritten(row);
    return true;
}

bool BatchCoder::sourceStillThere() {
    if (m_builder.sourceAlive())
        return true;
    m_failure = QStringLiteral("数据源已关闭或无效");
    return false;
}

void BatchCoder::letEventsThrough(bool force) {
    if (!force && m_sinceEvents.elapsed() < kEventsEveryMs)
        return;
    showProgress();
    m_builder.showCode();
    QCoreApplication::processEvents();
    m_sinceEvents.restart();
}

void BatchCoder::showProgress() {
    QString text = m_total >= 0 ? QStringLiteral("批量编码：已写入 %1 / %2 行").arg(m_rows).arg(m_total)
                                : QStringLiteral("批量编码：已写入 %1 行").arg(m_rows);
    if (m_total > rowCapacity())
        text += QStringLiteral("（一张工作表最多容纳 %1 行数据：只写入前 %1 行，其余 %2 种组合写不下）")
                    .arg(rowCapacity())
                    .arg(m_total - rowCapacity());
    m_context.tip(text);
}

qint64 BatchCoder::combinationCount(Scope scope) const {
    const CodingWorkbook book = m_builder.workbook();
    auto forName = [&book](const QString &category, const QString &name) {
        qint64 product = 1;
        for (int i = 1; i <= MaterialCode::kParameterCount; ++i) {
            QStringList values;
            if (!book.parameters(i, category, name, &values))
                return qint64(0);
            product = saturatedProduct(product, values.size());
        }
        return product;
    };
    auto forCategory = [&](const QString &category) {
        qint64 sum = 0;
        for (const QString &name : book.names(category))
            sum = saturatedSum(sum, forName(category, name));
        return sum;
    };
    switch (scope) {
    case Scope::Name: {
        qint64 product = 1;
        for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
            product = saturatedProduct(product, m_panel.count(RequisitionPanel::parameterList(i)));
        return product;
    }
    case Scope::Category:
        return forCategory(m_panel.currentText(RequisitionPanel::kCategory));
    case Scope::All: {
        qint64 sum = 0;
        for (const QString &category : m_panel.items(RequisitionPanel::kCategory))
            sum = saturatedSum(sum, forCategory(category));
        return sum;
    }
    }
    return -1;
}
