#pragma once

#include "CadFilter.h"
#include "modAutoCAD.h"

#include "common/ToolContext.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class CadPanel;
class OfficeSlots;

// The CAD connection of the two text frames: choosing and opening a drawing, the filter lists filled
// from it, the selection filter and set of a run, the progress line, the stop buttons and the watch
// `tmrAutoCAD` that releases a frame whose drawing was closed.
class CadConnection : public QObject {
    Q_OBJECT

public:
    static constexpr const char *kDialogFilter =
        "AutoCAD 图形(*.dxf;*.dwg)|*.dxf;*.dwg|DXF 图形(*.dxf)|*.dxf|Dwg 文件(*.dwg)|*.dwg";

    CadConnection(CadPanel &panel, ToolContext context, QObject *parent = nullptr);
    ~CadConnection() override;

    CadSlots cadSlots;
    // The watch, every 500 ms while a drawing is open.
    QTimer tmrAutoCAD;
    // The filter of the last BuildSelectionFilter, as the selection sets take it.
    QList<qint16> filterTypes;
    QVariantList filterData;

    void cmdDwgDocument_Click(int index);
    // Opens `path` in frame `index` as the button does after its dialog (steps 2 to 11).
    void openDrawing(int index, const QString &path);
    void cmdInterrupt_Click(int index);
    void tmrAutoCAD_Timer();
    void chkInsert_Click(int index);

    // What the frame's lists and boxes say, and the filter built from it into filterTypes/filterData.
    modAutoCAD::FilterChoice filterChoice(int index) const;
    void BuildSelectionFilter(int index);
    // The first step of every walk: the frame's selection set made anew and filled, on screen (scope
    // "Scope Selected") or from the whole drawing ("All Scopes"), with the current filter. The set, or
    // nullptr when the frame has no drawing (or lost it meanwhile).
    tavlo::drawing::CadSelectionSet *MakeSelection(int index);

    // The progress line: `done` of `total` as a bar of "■" in the highlight colour; then the result.
    void ShowProgress(qint64 done, qint64 total);
    void FinishProgress(const QString &message);

    // A drawing is being opened or entities are being picked; commands wait until it is over.
    bool isBusy() const { return m_busy; }
    // Shutdown: both frames released and the embedded CAD program ended with its drawing windows; a
    // drawing with unsaved changes is offered for saving first, unless nobody may be there to answer.
    void ReleaseAll(bool askToSave = true);

    // A file that holds a DWG drawing (by its extension or its first bytes).
    static bool isDwgFile(const QString &path);
    // What the user is told about such a file: there is no DWG reader, it must be saved as DXF first.
    static QString dwgRefusal(const QString &path);

private:
    void fillLists(int index, tavlo::drawing::CadDocument *document);

    CadPanel &m_panel;
    ToolContext m_context;
    OfficeSlots &m_office;
    bool m_busy = false;
};
