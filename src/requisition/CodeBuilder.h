#pragma once

#include "CodingWorkbook.h"
#include "MaterialCode.h"

#include "common/ToolContext.h"

#include <QObject>
#include <QString>

class OfficeSlots;
class QComboBox;
class RequisitionPanel;

// The material-code builder: the coding workbook chosen by the user is held hidden in spreadsheet slot 1
// and feeds the cascading lists of the panel (category -> name -> five parameters); the code of the
// chosen items is composed in `txtCode`. The workbook is only read, never saved. The lists live in the
// panel; the builder reaches them through its list API (RequisitionPanel::kCategory ...).
class CodeBuilder : public QObject {
    Q_OBJECT

public:
    static constexpr int kSlot = 1;
    // What `txtCode` shows for a workbook the builder cannot use.
    static QString invalidSourceText() { return QStringLiteral("(所选文件无效或已受损)"); }

    // The open dialog starts in the context's data folder unless the last source's folder is there.
    CodeBuilder(RequisitionPanel &panel, ToolContext context, QObject *parent = nullptr);

    // Choose and load the data source.
    void cmdData_Click();
    // The steps after the dialog: open `path` hidden in slot 1 and fill the lists from it.
    void openDataSource(const QString &path);

    // Each list's handler refreshes the lists below it and the code.
    void comCategory_Click();
    void comName_Click();
    void comParameter_Click(int index);

    // `txtCode` holds 16 letters and digits.
    bool CodeValid() const;
    // The text of `txtCode`: the code of the current items, or the report of an unusable workbook.
    QString code() const { return m_code; }
    // While held (during batch coding), `txtCode` is brought up to date only by showCode(), so that
    // walking thousands of codes does not lay out each of them on screen.
    void holdCodeDisplay(bool hold);
    void showCode();
    // Every list has items and every item's code is letters and digits.
    bool DataSourceValid() const;
    // Releases slot 1 and empties every list and the code.
    void ResetCodeBuilder();

    // Why the lists cannot give a material now (no source chosen, the source released or unusable); empty
    // when they can.
    QString sourceProblem() const;
    // sourceProblem(), or why the code shown cannot be filled into a form; empty when it can.
    QString fillProblem() const;
    // The file the lists were last filled from (also after it was released); empty before the first.
    QString sourcePath() const { return m_sourcePath; }
    // The source remembered from the last run: the open dialog starts in its folder. Nothing is opened.
    void rememberSource(const QString &path) {
        if (m_sourcePath.isEmpty())
            m_sourcePath = path;
    }
    // Slot 1 was let go while the lists still showed its items: they stay on screen, greyed, until a
    // source is chosen again.
    bool sourceReleased() const { return m_released; }

    // Selects item `index` of one of the builder's lists (RequisitionPanel::kCategory ...) and runs that
    // list's handler, as setting the list's text does. Nothing happens for an index the list does not have.
    void selectItem(int list, int index);
    void selectItem(const QComboBox *list, int index);
    // Slot 1 holds a live application and a workbook that answers.
    bool sourceAlive() const;

    // The current parameter texts, 1 to 5.
    MaterialCode::ParameterTexts parameterTexts() const;
    // The material's description (规格) built from the current parameters.
    QString materialSpecText() const;
    CodingWorkbook workbook() const { return CodingWorkbook(m_office, kSlot); }

private:
    void connectPanel();
    // Runs the click handler of the list chosen (category, name or a parameter).
    void listClicked(int list);
    void clearParameters();
    // The workbook did not fit the builder: release it and say so in `txtCode`.
    void failSource();
    void setCode(const QString &text);
    // Slot 1 was emptied by someone else (the form's finish, the watch of closed workbooks).
    void onSlotReleased(int slot);
    void releaseDeadSource();
    // The items shown before the source went, chosen again where the new source has them.
    void restoreSelection(const QStringList &texts);
    QStringList selectionTexts() const;

    RequisitionPanel &m_panel;
    ToolContext m_context;
    OfficeSlots &m_office;
    QString m_code;
    QString m_sourcePath;
    bool m_holdDisplay = false;
    bool m_released = false;
    bool m_resetting = false; // our own release of slot 1 is no news
};
