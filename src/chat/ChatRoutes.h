#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class Session;

// The chat's and the whiteboard's part of the protocol: what a received line does on this copy, and
// how a host passes it on to its members. No widgets: the screens come in as functions.
namespace ChatRoutes {

// A "[悄悄话]" payload: a count field, that many member-number fields, then the display line.
struct Whisper {
    QString display;
    // Each number once, in the order the payload names them, unreadable fields left out; reading stops
    // where the payload runs out of fields. -1 is the host.
    QList<int> recipients;
};
// Empty when the count field is no number.
std::optional<Whisper> ReadWhisper(const QString &payload);

// The brush index a "[画笔]" payload stands for: values that are no number or beyond the brush list
// (of brushCount entries) become 0.
int UsedBrush(const QString &payload, int brushCount);

// The brush list the program was designed with.
inline constexpr int kDesignedBrushCount = 8;

struct ChatScreen {
    std::function<void(const QString &line)> showMessage;
    std::function<void()> notify;
};
// "[消息]" is shown; a host relays a member's message to every other member. "[通知]" notifies. A
// "[悄悄话]" reaching the host is shown here with a notification when it names the host, and goes on
// as "[消息]" + "[通知]" to each named member on the member list except its sender.
void routeChat(Session &session, ChatScreen screen);

struct BoardScreen {
    std::function<int()> brushCount;
    std::function<void(int index)> setBrush;
    std::function<void(const QString &payload)> drawLine;
    std::function<void()> clear;
};
// "[画笔]" is shown with the brush it stands for, and a host sends that brush to every member, the
// drawer included; "[直线]" is drawn and sent to every member as well; "[清除图片]" clears the board
// and goes to every member but the sender.
void routeWhiteboard(Session &session, BoardScreen screen);

} // namespace ChatRoutes
