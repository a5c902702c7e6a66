#pragma once

#include "WordFrame.h"

#include "common/ToolContext.h"

#include <QObject>
#include <QString>

class BatchCoder;
class CodeBuilder;
class QGroupBox;
class RequisitionForm;
class RequisitionPanel;

// The purchase-requisition tool on its panel of the main window: the material-code builder, batch
// coding and the requisition form, built together and wired to each other. The main window gives it a
// context and loads and saves its values; nothing else of the window is known here.
class RequisitionTool : public QObject {
    Q_OBJECT

public:
    // What Tavlo.ini keeps of the tool: the form's values (the new-form box aside) and the last source.
    struct Values {
        FormValues form;
        QString dataSource;
    };

    // Builds the panel's controls into `panel` (owned by the caller) and the tool's parts over them.
    RequisitionTool(QGroupBox *panel, ToolContext context, QObject *parent = nullptr);
    ~RequisitionTool() override;

    RequisitionPanel &panel() const { return *m_panel; }
    WordFrame &frame() const { return *m_frame; }
    CodeBuilder &builder() const { return *m_builder; }
    BatchCoder &batch() const { return *m_batch; }
    RequisitionForm &form() const { return *m_form; }

    // The remembered source is not opened: the open dialog starts in its folder.
    void applyValues(const Values &values);
    // `dataSource` is the last source, in the system's separators; empty when none was ever chosen.
    Values values() const;
    // Shutdown: an open form is finished (padded to its page end) and the coding workbook let go.
    void finish();

private:
    RequisitionPanel *m_panel;
    WordFrame *m_frame;
    CodeBuilder *m_builder;
    BatchCoder *m_batch;
    RequisitionForm *m_form;
};
