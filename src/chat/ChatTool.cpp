#include "ChatTool.h"

#include "ChatPanel.h"
#include "DrawingBoard.h"
#include "Whiteboard.h"

#include <QPushButton>

#include <utility>

ChatTool::ChatTool(QGroupBox *panel, Session &session, Chat::Notifier notifyUser, QObject *parent)
    : QObject(parent)
    , m_panel(new ChatPanel(panel))
    , m_chat(new Chat(session, *m_panel, std::move(notifyUser), this))
    , m_whiteboard(new Whiteboard(session, *m_panel, this)) {
    m_panel->setLimits(Chat::kMaxMessageLength, Chat::kMaxDialogLines);
    connect(m_panel, &ChatPanel::messageEntered, m_chat, &Chat::cmdSend_Click);
    connect(m_panel->cmdSend, &QPushButton::clicked, m_chat, &Chat::cmdSend_Click);
    connect(m_panel->cmdClearDialog, &QPushButton::clicked, m_chat, &Chat::cmdClearDialog_Click);

    connect(m_panel->picDraw, &DrawingBoard::leftButtonDown, m_whiteboard, &Whiteboard::picDraw_MouseDown);
    connect(m_panel->picDraw, &DrawingBoard::leftButtonMove, m_whiteboard, &Whiteboard::picDraw_MouseMove);
    connect(m_panel, &ChatPanel::brushChanged, m_whiteboard, &Whiteboard::comBrush_Click);
    connect(m_panel, &ChatPanel::swatchClicked, m_whiteboard, &Whiteboard::picSelColor_Click);
    connect(m_panel->cmdClearDraw, &QPushButton::clicked, m_whiteboard, &Whiteboard::cmdClearDraw_Click);
}

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
