#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class ChatPanel;
class QTimer;
class Session;

// Messages and whispers of the chat panel, sent through the session and shown in the transcript.
class Chat : public QObject {
    Q_OBJECT

public:
    // Brings the main window to the front on the chat panel and plays the notification sound.
    using Notifier = std::function<void()>;

    // Longest message a user may type: well inside the session's line limit even in four-byte characters.
    static constexpr int kMaxMessageLength = 8000;
    // The transcript keeps the newest lines only, each cut to what this program ever sends (longer
    // ones end with their length noted): its memory and layout stay bounded however much arrives.
    static constexpr int kMaxDialogLines = 2000;
    static constexpr int kMaxDialogLineChars = kMaxMessageLength + 100;

    // Characters without a place to wrap after which the transcript gets one (a zero-width space):
    // the layout would otherwise search a long unbroken run again for every screen line it wraps.
    static constexpr int kMaxUnbrokenRun = 80;
    static constexpr int kDialogUpdatesPerSecond = 20;

    // The line as the transcript shows it.
    static QString shownDialogLine(const QString &text);

    Chat(Session &session, ChatPanel &panel, Notifier notifyUser, QObject *parent = nullptr);

    void cmdSend_Click();
    void cmdClearDialog_Click();
    // Shows the line at once (after the received lines still waiting to be shown).
    void AppendDialog(const QString &text);
    // Shows a received line with the next batch: received lines are added a few times a second,
    // since adding each as it comes would cost more than relaying it.
    void queueDialogLine(const QString &text);
    // Shows the received lines waiting (normally done by a timer).
    void flushDialog();
    void NotifyUser();

    // Display lines: ID + "说： " + text, and ID + "悄悄说：" + text.
    static QString MessageLine(const QString &name, const QString &text);
    static QString WhisperLine(const QString &name, const QString &text);

private:
    void registerHandlers();
    void sendWhisper(const QString &name, const QString &text);

    Session &m_session;
    ChatPanel &m_panel;
    Notifier m_notifyUser;
    QStringList m_pendingDialog;
    QTimer *m_dialogTimer;
};
