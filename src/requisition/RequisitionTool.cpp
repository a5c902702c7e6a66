#include "RequisitionTool.h"

#include "BatchCoder.h"
#include "CodeBuilder.h"
#include "MaterialCode.h"
#include "RequisitionForm.h"
#include "RequisitionPanel.h"
#include "UnitInference.h"

#include <QDir>
#include <QGroupBox>

RequisitionTool::RequisitionTool(QGroupBox *panel, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(new RequisitionPanel(panel))
    , m_frame(new WordFrame(panel)) {
    m_frame->setGeometry(RequisitionPanel::kWordFrame);
    m_panel->fraWord = m_frame;
    m_builder = new CodeBuilder(*m_panel, context, this);
    m_batch = new BatchCoder(*m_panel, *m_builder, context, this);

    RequisitionForm::Material material;
    // A released source leaves its items on screen, greyed: they are no longer a material to fill.
    material.dataSourceValid = [this] { return m_builder->sourceProblem().isEmpty(); };
    material.codeValid = [this] { return m_builder->CodeValid(); };
    material.code = [this] { return m_builder->code(); };
    material.nameWithoutCode = [this] {
        return MaterialCode::NameWithoutCode(m_panel->currentText(RequisitionPanel::kName));
    };
    material.materialSpec = [this] { return m_builder->materialSpecText(); };
    material.unit = [this] { return InferUnit(m_panel->currentText(RequisitionPanel::kName)); };
    material.refused = [this, context] {
        context.tip(QStringLiteral("无法填单：") + m_builder->fillProblem());
    };
    m_form = new RequisitionForm(*m_frame, *context.office, material, this);
}

RequisitionTool::~RequisitionTool() = default;

void RequisitionTool::applyValues(const Values &values) {
    FormValues form = values.form;
    form.newTable = m_form->values().newTable;
    m_form->setValues(form);
    m_builder->rememberSource(values.dataSource);
}

RequisitionTool::Values RequisitionTool::values() const {
    Values values;
    values.form = m_form->values();
    if (!m_builder->sourcePath().isEmpty())
        values.dataSource = QDir::toNativeSeparators(m_builder->sourcePath());
    return values;
}

void RequisitionTool::finish() {
    m_form->cmdFinish_Click();
}
