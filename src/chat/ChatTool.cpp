#include "ChatTool.h"

#include "ChatPanel.h"
#include "Whiteboard.h"

#include <utility>

ChatTool::ChatTool(QGroupBox *panel, Session &session, Chat::Notifier notifyUser, QObject *parent)
    : QObject(parent)
    , m_panel(new ChatPanel(panel))
    , m_chat(new Chat(session, *m_panel, std::move(notifyUser), this))
    , m_whiteboard(new Whiteboard(session, *m_panel, this)) {}

void ChatTool::applyValues(const Values &values) {
    m_panel->setBrushIndex(values.brush);
    m_panel->markSwatch(values.color);
    m_panel->setPrivateChat(values.privateChat);
}

ChatTool::Values ChatTool::values() const {
    Values values;
    values.brush = m_panel->brushIndex();
    values.color = m_panel->markedSwatch();
    values.privateChat = m_panel->privateChat();
    return values;
}
