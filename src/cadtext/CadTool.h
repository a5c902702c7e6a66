#pragma once

#include "common/ToolContext.h"

#include <QObject>

class CadConnection;
class CadPanel;
class CadTextTools;
class QGroupBox;

// The CAD text tool on its panel of the main window: the "AutoCAD 文字" controls, the connection to the
// drawings of both frames and the text commands, built together from the main window's context.
class CadTool : public QObject {
    Q_OBJECT

public:
    // Builds the panel's controls into `panel` (owned by the caller) and the tool's parts over them.
    CadTool(QGroupBox *panel, ToolContext context, QObject *parent = nullptr);
    ~CadTool() override;

    CadPanel &panel() const { return *m_panel; }
    CadConnection &connection() const { return *m_connection; }
    CadTextTools &texts() const { return *m_texts; }

    // Shutdown: both frames released and the embedded CAD program ended (see CadConnection::ReleaseAll).
    void ReleaseAll(bool askToSave);

private:
    CadPanel *m_panel;
    CadConnection *m_connection;
    CadTextTools *m_texts;
};
