#include "RequisitionForm.h"

#include "common/BusyPointer.h"
#include "common/modOffice.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

using namespace tavlo::document;

namespace {

// Filling stops here even if no page end is ever seen (a document the user changed under us).
constexpr int kMaxFillerRows = 2000;

struct Column {
    double width;
    const char *head;
};

const Column kColumns[10] = {
    {36, "类别\r\n序号"},
    {90, "物料代码"},
    {60, "物料名称"},
    {216, "规格型号"},
    {36, "单位"},
    {36, "数量"},
    {45, "预算价格"},
    {72, "推荐供应商名称、来源"},
    {60, "到货(时间/地点)"},
    {60, "备 注"},
};

// One guard per routine: the document window may let events run (the finish timer, another click)
// while a fill or finish is under way.
class RunGuard {
public:
    explicit RunGuard(bool &flag)
        : m_flag(flag)
        , m_entered(!flag) {
        m_flag = true;
    }
    ~RunGuard() {
        if (m_entered)
            m_flag = false;
    }
    bool entered() const { return m_entered; }

private:
    bool &m_flag;
    bool m_entered;
};

} // namespace

QString PadToWidth(const QString &text, int width) {
    int shown = 0;
    for (QChar c : text)
        shown += c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5 ? 2 : 1;
    return shown >= width ? text : text + QString(width - shown, QLatin1Char(' '));
}

RequisitionForm::RequisitionForm(WordFrame &frame, OfficeSlots &office, Material material, QObject *parent)
    : QObject(parent)
    , m_frame(frame)
    , m_office(office)
    , m_material(std::move(material)) {
    tmrWord.setInterval(500);
    connect(&tmrWord, &QTimer::timeout, this, &RequisitionForm::tmrWord_Timer);
    m_values = frame.values();
    connect(&frame, &WordFrame::fillClicked, this, &RequisitionForm::cmdFill_Click);
    connect(&frame, &WordFrame::finishClicked, this, &RequisitionForm::cmdFinish_Click);
    connect(&frame, &WordFrame::valuesEdited, this, [this] { m_values = m_frame.values(); });
}

void RequisitionForm::setValues(const FormValues &values) {
    m_frame.showValues(values);
    // What the frame can show: a fit it does not offer leaves the one chosen.
    m_values = m_frame.values();
}

Document *RequisitionForm::document() const {
    return m_office.WordDocumentOpen() ? m_office.word().document.data() : nullptr;
}

Table *RequisitionForm::lastTable() const {
    Document *d = document();
    return d ? d->Tables(d->TablesCount()) : nullptr;
}

bool RequisitionForm::pointerBusy() {
    return BusyPointer::isBusy();
}

QString RequisitionForm::GetTableCell(int row, int column) const {
    const Table *t = lastTable();
    return t ? t->cellText(row, column) : QString();
}

void RequisitionForm::cmdFill_Click() {
    auto valid = [](const std::function<bool()> &test) { return test && test(); };
    if (pointerBusy())
        return;
    if (!valid(m_material.dataSourceValid) || !valid(m_material.codeValid)) {
        if (m_material.refused)
            m_material.refused();
        return;
    }
    RunGuard guard(m_running);
    if (!guard.entered())
        return;
    WordSlot &slot = m_office.word();
    if (slot.application && slot.application->isAlive() && !m_office.WordDocumentOpen())
        m_office.CloseWord();
    if (!slot.application || !slot.application->isAlive()) {
        // A new instance: nothing of one just closed needs to be waited for.
        m_office.AttachWord(true, true);
        tmrWord.start();
        m_office.pageNumbersInserted = false;
        m_tableRowCount = 0;
    }
    if (!slot.application)
        return;
    if (!slot.document || !slot.document->isAlive())
        slot.document = slot.application->Documents().Add();
    Document *d = document();
    if (!d)
        return;
    d->setOrientation(PageSetup::Landscape);
    if (!m_office.pageNumbersInserted)
        m_office.AddPageNumberFooter();
    // The user may have inserted or deleted rows in the window: the form's lines are the rows between the
    // head row and the two closing rows, as the finish counts them.
    if (m_tableRowCount > 0)
        if (const Table *t = lastTable())
            m_tableRowCount = std::max(1, t->RowsCount() - 2);

    if (m_values.newTable) {
        if (Table *t = lastTable()) {
            t->AutoFitBehavior(AutoFit(m_values.behavior));
            FillToPageEnd(m_tableRowCount);
            m_office.BreakPageAtEnd();
        }
        m_values.newTable = false;
        m_frame.showValues(m_values);
        m_tableRowCount = 0;
    }
    if (m_tableRowCount == 0) {
        NewRequisitionForm();
        m_tableRowCount = 1;
    }
    Table *t = lastTable();
    if (!t)
        return;

    const QString code = m_material.code ? m_material.code() : QString();
    const QString name = m_material.nameWithoutCode ? m_material.nameWithoutCode() : QString();
    const QString spec = m_material.materialSpec ? m_material.materialSpec() : QString();
    const QString unit = m_material.unit ? m_material.unit() : QString();
    for (int row = 2; row <= m_tableRowCount; ++row) {
        if (GetTableCell(row, 2) == code && GetTableCell(row, 3) == name && GetTableCell(row, 4) == spec &&
            GetTableCell(row, 5) == unit) {
            t->setCellText(row, 6, QString::number(GetTableCell(row, 6).trimmed().toInt() + 1));
            return;
        }
    }
    d->selection().selectRow(t, m_tableRowCount);
    d->selection().InsertRowsBelow(1);
    ++m_tableRowCount;
    t->editCell(m_tableRowCount, 1).setBorder(Border::DiagonalDown, false);
    t->setCellText(m_tableRowCount, 1, QString::number(m_tableRowCount - 1));
    t->setCellText(m_tableRowCount, 2, code);
    t->setCellText(m_tableRowCount, 3, name);
    t->setCellText(m_tableRowCount, 4, spec);
    t->setCellText(m_tableRowCount, 5, unit);
    t->setCellText(m_tableRowCount, 6, QStringLiteral("1"));
}

void RequisitionForm::NewRequisitionForm() {
    Document *d = document();
    if (!d)
        return;
    d->setLastParagraphFont(QStringLiteral("宋体"), 16, true);
    d->setLastParagraphAlignment(Alignment::Center);
    d->setLastParagraphText(QStringLiteral("物料采购申请单\r\n"));

    d->setLastParagraphFont(QStringLiteral("宋体"), 12, false);
    d->setLastParagraphAlignment(Alignment::Center);
    d->setLastParagraphText(QStringLiteral("KXD/MR-7.4-07\r\n"));
    d->setLastParagraphAlignment(Alignment::Left);

    const QString date =
        m_date ? m_date() : QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    d->setLastParagraphText(QStringLiteral("工程项目名称：") + PadToWidth(m_values.projectName, 30) +
                            QStringLiteral("设计编号：") + PadToWidth(m_values.designCode, 12) +
                            QStringLiteral("项目编号：") + PadToWidth(m_values.projectCode, 12) +
                            QStringLiteral("编报日期：") + date + QStringLiteral("\r\n"));
    d->setLastParagraphAlignment(Alignment::Center);
    d->setLastParagraphFont(QStringLiteral("宋体"), 11, false);

    Table *t = d->addTableAtEnd(3, 10);
    if (!t)
        return;
    t->AutoFitBehavior(AutoFit::Fixed);
    for (int c = 1; c <= 10; ++c)
        t->setCellText(1, c, QString::fromUtf8(kColumns[c - 1].head));
    t->setRowHeight(2, 104);
    t->setRowHeight(3, 24);
    for (int c = 1; c <= 10; ++c)
        t->setColumnWidth(c, kColumns[c - 1].width);
    for (int row : {2, 3})
        for (int i = 0; i < 9; ++i)
            t->mergeWithNext(row, 1);

    t->editCell(2, 1).alignment = Alignment::Left;
    t->setCellText(2, 1,
                   QStringLiteral("技术条件:\r\n设计制造标准:\r\n验收标准:\r\n油漆标准:\r\n包装运输要求:\r\n"
                                  "空间不足可以另外附页，A4纸张，以上内容必须填写完整。"));
    t->splitCell(3, 1, 8);
    t->setCellText(3, 1, QStringLiteral("申 购"));
    t->setCellText(3, 3, QStringLiteral("审 核"));
    t->setCellText(3, 5, QStringLiteral("项目经理"));
    t->setCellText(3, 7, QStringLiteral("事业部总经理"));
    t->editCell(1, 1).setBorder(Border::DiagonalDown, true);

    d->setLastParagraphFont(QStringLiteral("宋体"), 9, true);
    d->setLastParagraphAlignment(Alignment::Left);
    d->setLastParagraphText(
        QStringLiteral("注1：推荐供应商来源：①招标或报批时业主短名单；②投标时公司绑定品牌、规格的厂家；"
                       "③报批时设计人员指定的规格，绑定的厂家；④设计人员询价过的，可以参考。\r\n"));
    d->setLastParagraphFont(QStringLiteral("宋体"), 9, false);
    d->setLastParagraphAlignment(Alignment::Left);
    d->setLastParagraphText(QStringLiteral("保存部门：采购管理中心") + QString(110, QLatin1Char(' ')) +
                            QStringLiteral("保存期：5年"));
}

bool RequisitionForm::WouldOverflowPage() {
    Document *d = document();
    if (!d)
        return false;
    d->selection().EndKey();
    const int before = m_office.PageCount();
    d->setLastParagraphText(d->lastParagraphRangeText());
    const int after = m_office.PageCount();
    d->deleteLastParagraph();
    return after > before;
}

void RequisitionForm::FillToPageEnd(int row) {
    for (int added = 0; added < kMaxFillerRows; ++added) {
        Document *d = document();
        Table *t = lastTable();
        if (!d || !t || row < 1 || row > t->RowsCount())
            return;
        if (m_office.TableSpansPages(d->TablesCount()) || WouldOverflowPage())
            return;
        d->selection().selectRow(t, row);
        d->selection().InsertRowsBelow(1);
        ++row;
        t->editCell(row, 1).setBorder(Border::DiagonalDown, false);
        t->editCell(row, 3).setBorder(Border::DiagonalUp, true);
    }
}

void RequisitionForm::cmdFinish_Click() {
    RunGuard guard(m_running);
    if (!guard.entered())
        return;
    if (Table *t = lastTable()) {
        const int row = t->RowsCount() - 2;
        t->AutoFitBehavior(AutoFit(m_values.behavior));
        FillToPageEnd(row);
    }
    m_office.CloseWord();
    m_office.CloseExcel(OfficeSlots::CodingDataSource);
    // The word-processor slot is empty now: nothing is left to watch, and a later tick must not let go
    // of a coding workbook chosen after this finish.
    tmrWord.stop();
}

void RequisitionForm::tmrWord_Timer() {
    if (m_office.WordDocumentOpen())
        return;
    cmdFinish_Click();
    if (!m_office.WordDocumentOpen())
        tmrWord.stop();
}
