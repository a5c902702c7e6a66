#pragma once

#include "CadFilter.h"
#include "modAutoCAD.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class CadPanel;
class OfficeSlots;
class QLabel;
class QWidget;

// The CAD connection of the two text frames: choosing and opening a drawing, the filter lists filled
// from it, the selection filter and set of a run, the progress line, the stop buttons and the watch
// `tmrAutoCAD` that releases a frame whose drawing was closed.
class CadConnection : public QObject {
    Q_OBJECT

public:
    struct Context {
        QWidget *window = nullptr; // the main window: owns the dialogs, comes back to the front
        QString dataFolder;        // where the file dialog starts
        QLabel *tip = nullptr;     // the status line's message half, LabTip(1)
        // The open-file dialog; the program's own by default, replaced by tests.
        std::function<QString(QWidget *owner, const QString &title, const QString &filter,
                              const QString &folder, const QString &defaultExtension)>
            chooseFile;
    };

    static constexpr const char *kDialogFilter =
        "AutoCAD 图形(*.dxf;*.dwg)|*.dxf;*.dwg|DXF 图形(*.dxf)|*.dxf|Dwg 文件(*.dwg)|*.dwg";

    CadConnection(CadPanel &panel, OfficeSlots &office, Context context, QObject *parent = nullptr);
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
    void tip(const QString &text) const;
    void tipColor(bool highlight) const;
    void fillLists(int index, tavlo::drawing::CadDocument *document);
    void bringWindowToFront() const;

    CadPanel &m_panel;
    OfficeSlots &m_office;
    Context m_context;
    bool m_busy = false;
};
