#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QTimer;
class Session;

// Messages and whispers, sent through the session and shown in the transcript, and the chat's part of
// the protocol: what a received "[消息]", "[通知]" or "[悄悄话]" does here and how a host passes it on.
// No widgets: the chat panel is its view.
class Chat : public QObject {
    Q_OBJECT

public:
    // The message box and the transcript, as the chat reads and fills them.
    class View {
    public:
        virtual QString message() const = 0;
        virtual void clearMessage() = 0;
        // Whether a message goes to the selected members only.
        virtual bool privateChat() const = 0;
        virtual void appendToTranscript(const QString &lines) = 0;
        virtual void clearTranscript() = 0;

    protected:
        ~View() = default;
    };

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

    // A "[悄悄话]" payload: a count field, that many member-number fields, then the display line.
    struct Whisper {
        QString display;
        // Each number once, in the order the payload names them, unreadable fields left out; reading
        // stops where the payload runs out of fields. -1 is the host.
        QList<int> recipients;
    };
    // Empty when the count field is no number.
    static std::optional<Whisper> ReadWhisper(const QString &payload);

    // Routes the chat's tags: "[消息]" is shown, and a host relays a member's message to every other
    // member; "[通知]" notifies. A "[悄悄话]" reaching the host is shown here with a notification when it
    // names the host, and goes on as "[消息]" + "[通知]" to each named member on the member list except
    // its sender.
    Chat(Session &session, View &view, Notifier notifyUser, QObject *parent = nullptr);

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
    void passOnWhisper(const QString &payload, int source);
    void sendWhisper(const QString &name, const QString &text);

    Session &m_session;
    View &m_view;
    Notifier m_notifyUser;
    QStringList m_pendingDialog;
    QTimer *m_dialogTimer;
};
