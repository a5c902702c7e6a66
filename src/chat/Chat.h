#pragma once

#include <QObject>

#include <functional>

class ChatPanel;
class Session;
struct IncomingLine;

// Messages and whispers of the chat panel, sent through the session and shown in the transcript.
class Chat : public QObject {
    Q_OBJECT

public:
    // Brings the main window to the front on the chat panel and plays the notification sound.
    using Notifier = std::function<void()>;

    // Longest message a user may type: well inside the session's line limit even in four-byte characters.
    static constexpr int kMaxMessageLength = 8000;

    Chat(Session &session, ChatPanel &panel, Notifier notifyUser, QObject *parent = nullptr);

    void cmdSend_Click();
    void cmdClearDialog_Click();
    void AppendDialog(const QString &text);
    void NotifyUser();

    // Display lines: ID + "说： " + text, and ID + "悄悄说：" + text.
    static QString MessageLine(const QString &name, const QString &text);
    static QString WhisperLine(const QString &name, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void registerHandlers();
    void sendWhisper(const QString &name, const QString &text);

    Session &m_session;
    ChatPanel &m_panel;
    Notifier m_notifyUser;
    QObject *m_input = nullptr;
};
