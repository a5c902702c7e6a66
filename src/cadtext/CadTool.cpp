#include "CadTool.h"

#include "CadConnection.h"
#include "CadPanel.h"
#include "CadTextTools.h"

CadTool::CadTool(QGroupBox *panel, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(new CadPanel(panel))
    , m_connection(new CadConnection(*m_panel, context, this))
    , m_texts(new CadTextTools(*m_panel, *m_connection, context, m_connection)) {}

CadTool::~CadTool() = default;

void CadTool::ReleaseAll(bool askToSave) {
    m_connection->ReleaseAll(askToSave);
}
