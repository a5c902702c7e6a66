#pragma once

#include "Chat.h"
#include "Palette.h"

#include <QObject>

class ChatPanel;
class QGroupBox;
class Session;
class Whiteboard;

// The chat panel of the main window: messages and whispers beside the shared whiteboard, built together
// over one panel. The main window loads and saves its values; the panel's controls stay in here.
class ChatTool : public QObject {
    Q_OBJECT

public:
    // What Tavlo.ini keeps of the panel.
    struct Values {
        int brush = 0;                       // index in the brush list
        int color = Palette::kDefaultSwatch; // the marked swatch
        bool privateChat = false;
    };

    // Builds the panel's controls into `panel` (owned by the caller), chat and whiteboard over them.
    // `notifyUser` brings the window to the front on this panel when a whisper arrives.
    ChatTool(QGroupBox *panel, Session &session, Chat::Notifier notifyUser, QObject *parent = nullptr);

    ChatPanel &panel() const { return *m_panel; }
    Chat &chat() const { return *m_chat; }
    Whiteboard &whiteboard() const { return *m_whiteboard; }

    void applyValues(const Values &values);
    Values values() const;

private:
    ChatPanel *m_panel;
    Chat *m_chat;
    Whiteboard *m_whiteboard;
};
