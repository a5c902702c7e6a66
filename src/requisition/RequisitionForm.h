#pragma once

#include "WordFrame.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class OfficeSlots;

namespace tavlo::document {
class Document;
class Table;
} // namespace tavlo::document

// The purchase-requisition form "物料采购申请单", built line by line in the word-processor slot from the
// material the code builder has selected. The frame "生成申请单" shows the form's values and forwards its
// buttons to cmdFill_Click and cmdFinish_Click.
class RequisitionForm : public QObject {
    Q_OBJECT

public:
    // What the form takes from the material-code builder.
    struct Material {
        std::function<bool()> dataSourceValid;
        std::function<bool()> codeValid;
        std::function<QString()> code;            // `txtCode`
        std::function<QString()> nameWithoutCode; // the name without its 2-character code
        std::function<QString()> materialSpec;
        std::function<QString()> unit; // `InferUnit` of the `comName` text
        // Told when a fill is refused because the data source or the code cannot be used.
        std::function<void()> refused;
    };

    RequisitionForm(WordFrame &frame, OfficeSlots &office, Material material, QObject *parent = nullptr);

    void cmdFill_Click();
    void cmdFinish_Click();
    void tmrWord_Timer();

    void NewRequisitionForm();
    void FillToPageEnd(int row);
    bool WouldOverflowPage();
    // `Range.Text` of `Cell(row, column)` of the last table, without its end-of-cell mark.
    QString GetTableCell(int row, int column) const;

    int tableRowCount() const { return m_tableRowCount; }
    // The fit, the new-form box and the form head's fields (kept in Tavlo.ini but the box).
    const FormValues &values() const { return m_values; }
    void setValues(const FormValues &values);
    // The date the form head shows; today in the system's short date form unless set.
    void setDateSource(std::function<QString()> date) { m_date = std::move(date); }

    QTimer tmrWord;

private:
    tavlo::document::Document *document() const;
    tavlo::document::Table *lastTable() const;
    static bool pointerBusy();

    WordFrame &m_frame;
    OfficeSlots &m_office;
    Material m_material;
    FormValues m_values;
    std::function<QString()> m_date;
    int m_tableRowCount = 0;
    bool m_running = false; // a fill or finish is under way
};

// `PadToWidth`: the text followed by blanks up to a display width of `width`, a character of U+4E00 to
// U+9FA5 counting 2 and any other 1; a text already that wide comes back unchanged.
QString PadToWidth(const QString &text, int width);
