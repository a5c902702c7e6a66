#pragma once

#include "TextWalk.h"

#include "common/BusyPointer.h"
#include "common/ToolContext.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class CadConnection;
class CadPanel;
class OfficeSlots;

namespace tavlo::drawing {
class CadDocument;
class CadSelectionSet;
} // namespace tavlo::drawing

// The commands of the text frames: extraction into spreadsheet slot 6 (fraGet), the manuscript in slot 7
// and the replacement from it, and the script conversion (fraPut). The drawings are changed in memory
// only: their windows show the change, and the user saves.
class CadTextTools : public QObject {
    Q_OBJECT

public:
    CadTextTools(CadPanel &panel, CadConnection &connection, ToolContext context, QObject *parent = nullptr);

    void cmdExtract_Click();
    void cmdManuscript_Click();
    // Opens `path` as the manuscript, as the button does after its dialog.
    void openManuscript(const QString &path);
    void comSheet_Click();
    void cmdReplace_Click();
    // 0 traditional to simplified, 1 simplified to traditional.
    void cmdShiftChinese_Click(int index);

    // A run is going on: the commands wait until it is over.
    bool isBusy() const { return m_busy; }

    // What frame `index` asks of the walk.
    TextWalk::Options walkOptions(int index) const;

private:
    void ExtractTexts();
    void ReplaceTexts(int fromRow, int toRow, int fromColumn, int toColumn);
    void ConvertChinese(int mode);
    bool begin();
    void end();
    // Progress before each entity and the window's messages every few milliseconds. The walk ends at
    // once when frame `index` lets go of its drawing meanwhile (the stop button, the watch) or the
    // drawing is closed, or when `stillNeeded` (what else the walk writes to) says no; m_stopped says so
    // afterwards.
    TextWalk::StepCallback stepper(int index, tavlo::drawing::CadDocument *document,
                                   std::function<bool()> stillNeeded = {});
    QString resultMessage(const char *verb, int count) const;
    void fillSheetList();

    CadPanel &m_panel;
    CadConnection &m_connection;
    ToolContext m_context;
    OfficeSlots &m_office;
    bool m_busy = false;
    std::optional<BusyPointer> m_pointer; // while a walk runs
    bool m_stopped = false;
};
