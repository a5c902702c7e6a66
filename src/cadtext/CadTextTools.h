#pragma once

#include "TextWalk.h"

#include <QObject>
#include <QString>

#include <functional>

class CadConnection;
class CadPanel;
class OfficeSlots;
class QLabel;
class QLineEdit;
class QWidget;

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
    struct Context {
        QWidget *window = nullptr; // the main window: owns the dialogs, comes back to the front
        QString dataFolder;        // where the file dialog starts
        QLabel *tip = nullptr;     // LabTip(1)
        // The open-file dialog; the program's own by default, replaced by tests.
        std::function<QString(QWidget *owner, const QString &title, const QString &filter,
                              const QString &folder, const QString &defaultExtension)>
            chooseFile;
    };

    CadTextTools(CadPanel &panel, OfficeSlots &office, CadConnection &connection, Context context,
                 QObject *parent = nullptr);

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
    void tip(const QString &text) const;
    void refuse(QWidget *box) const;
    void bringWindowToFront() const;

    CadPanel &m_panel;
    OfficeSlots &m_office;
    CadConnection &m_connection;
    Context m_context;
    bool m_busy = false;
    bool m_stopped = false;
};
