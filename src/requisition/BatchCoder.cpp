#include "BatchCoder.h"

#include "BusyPointer.h"
#include "CodeBuilder.h"
#include "MaterialCode.h"
#include "RequisitionPanel.h"
#include "UnitInference.h"

#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

using tavlo::sheet::Application;
using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;

namespace {

const QString kStart = QStringLiteral("开始");
const QString kInterrupt = QStringLiteral("中断");
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

} // namespace

BatchCoder::BatchCoder(RequisitionPanel &panel, CodeBuilder &builder, OfficeSlots &office,
                       std::function<void(const QString &)> setTip, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_builder(builder)
    , m_office(office)
    , m_setTip(std::move(setTip)) {
    connect(m_panel.cmdBatch, &QPushButton::clicked, this, &BatchCoder::cmdBatch_Click);
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

BatchCoder::Scope BatchCoder::scope() const {
    if (m_panel.optAll->isChecked())
        return Scope::All;
    if (m_panel.optCate->isChecked())
        return Scope::Category;
    return Scope::Name;
}

bool BatchCoder::startAllowed() const {
    return !m_running && !BusyPointer::isBusy() && m_builder.sourceAlive() && m_builder.DataSourceValid();
}

void BatchCoder::cmdBatch_Click() {
    if (m_panel.cmdBatch->text() == kInterrupt) {
        // The running batch finds its references gone at its next row and ends there.
        if (m_running) {
            m_interrupted = true;
            release();
        }
        return;
    }
    if (!startAllowed())
        return;
    m_running = true;
    {
        BusyPointer busy;
        setControlsEnabled(false);
        m_panel.cmdBatch->setText(kInterrupt);
        if (Application *app = m_office.excel(CodeBuilder::kSlot)->application)
            app->setVisible(true);
        BatchCode();
        setControlsEnabled(true);
        m_panel.cmdBatch->setText(kStart);
    }
    m_running = false;
}

void BatchCoder::setControlsEnabled(bool enabled) {
    m_panel.fraCode->setEnabled(enabled);
    if (m_panel.fraWord)
        m_panel.fraWord->setEnabled(enabled);
    m_panel.optName->setEnabled(enabled);
    m_panel.optCate->setEnabled(enabled);
    m_panel.optAll->setEnabled(enabled);
}

void BatchCoder::release() {
    m_book = nullptr;
    m_sheet = nullptr;
}

void BatchCoder::BatchCode() {
    m_rows = 0;
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
    m_builder.holdCodeDisplay(true);

    auto names = [this] { return enumerate(m_panel.comName, [this] { return enumerateParameters(1); }); };
    bool finished = false;
    switch (chosen) {
    case Scope::All:
        finished = enumerate(m_panel.comCategory, names);
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
    QString text;
    if (finished)
        text = QStringLiteral("批量编码完成：共写入 %1 行").arg(m_rows);
    else if (m_interrupted)
        text = QStringLiteral("批量编码已中断：已写入 %1 行").arg(m_rows);
    else
        text = QStringLiteral("批量编码未完成：已写入 %1 行（%2）").arg(m_rows).arg(m_failure);
    if (m_setTip)
        m_setTip(text);
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

bool BatchCoder::enumerate(QComboBox *list, const std::function<bool()> &inner) {
    const int count = list->count();
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
    return enumerate(m_panel.comParameter[index], [this, index] { return enumerateParameters(index + 1); });
}

bool BatchCoder::writeRow() {
    letEventsThrough(false);
    if (!m_sheet || !sourceStillThere())
        return false;
    const int row = kFirstDataRow + int(m_rows);
    const QString name = m_panel.comName->currentText();
    const bool written = m_sheet->setValue(row, 2, m_builder.code()) &&
                         m_sheet->setValue(row, 3, MaterialCode::NameWithoutCode(name)) &&
                         m_sheet->setValue(row, 5, m_builder.materialSpecText()) &&
                         m_sheet->setValue(row, 6, InferUnit(name));
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
    if (!m_setTip)
        return;
    m_setTip(m_total >= 0 ? QStringLiteral("批量编码：已写入 %1 / %2 行").arg(m_rows).arg(m_total)
                          : QStringLiteral("批量编码：已写入 %1 行").arg(m_rows));
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
            product = saturatedProduct(product, m_panel.comParameter[i]->count());
        return product;
    }
    case Scope::Category:
        return forCategory(m_panel.comCategory->currentText());
    case Scope::All: {
        qint64 sum = 0;
        for (int i = 0; i < m_panel.comCategory->count(); ++i)
            sum = saturatedSum(sum, forCategory(m_panel.comCategory->itemText(i)));
        return sum;
    }
    }
    return -1;
}
