#include "Chat.h"

#include "ChatPanel.h"
#include "ChatRoutes.h"

#include "session/MemberList.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

#include <QPushButton>
#include <QTimer>

#include <utility>

Chat::Chat(Session &session, ChatPanel &panel, Notifier notifyUser, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_panel(panel)
    , m_notifyUser(std::move(notifyUser))
    , m_dialogTimer(new QTimer(this)) {
    m_dialogTimer->setSingleShot(true);
    m_dialogTimer->setInterval(1000 / kDialogUpdatesPerSecond);
    connect(m_dialogTimer, &QTimer::timeout, this, &Chat::flushDialog);
    m_panel.setLimits(kMaxMessageLength, kMaxDialogLines);
    connect(&m_panel, &ChatPanel::messageEntered, this, &Chat::cmdSend_Click);
    connect(m_panel.cmdSend, &QPushButton::clicked, this, &Chat::cmdSend_Click);
    connect(m_panel.cmdClearDialog, &QPushButton::clicked, this, &Chat::cmdClearDialog_Click);
    connect(&m_session, &Session::sessionReset, this, &Chat::cmdClearDialog_Click);
    registerHandlers();
}

void Chat::registerHandlers() {
    ChatRoutes::routeChat(m_session,
                          {[this](const QString &line) { queueDialogLine(line); }, [this] { NotifyUser(); }});
}

QString Chat::MessageLine(const QString &name, const QString &text) {
    return name + QStringLiteral("说： ") + text;
}

QString Chat::WhisperLine(const QString &name, const QString &text) {
    return name + QStringLiteral("悄悄说：") + text;
}

void Chat::cmdSend_Click() {
    const QString text = m_panel.message();
    if (!text.isEmpty()) {
        const QString name = m_session.members().MemberName(m_session.ownNumber());
        if (m_panel.privateChat()) {
            sendWhisper(name, text);
            AppendDialog(WhisperLine(name, text));
        } else {
            const QString line = ProtocolTags::kMessage.line(MessageLine(name, text));
            if (m_session.isHost())
                m_session.SendToAllMembers(line);
            else
                m_session.QueueToHost(line);
            AppendDialog(MessageLine(name, text));
        }
    }
    m_panel.clearMessage();
}

void Chat::sendWhisper(const QString &name, const QString &text) {
    const MemberList &members = m_session.members();
    const QString display = WhisperLine(name, text);
    if (m_session.isHost()) {
        for (int i = 0; i < members.count(); ++i) {
            const int k = members.at(i).number;
            if (!members.isSelected(i) || k == MemberList::kHostNumber)
                continue;
            m_session.QueueMessage(ProtocolTags::kMessage.line(display), k);
            m_session.QueueMessage(ProtocolTags::kNotify.line(), k);
        }
        return;
    }
    int count = 0;
    QString numbers;
    for (int i = 0; i < members.count(); ++i) {
        if (members.isSelected(i)) {
            ++count;
            numbers += WireFormat::FormatNumberField(members.at(i).number);
        }
    }
    if (count > 0)
        m_session.QueueToHost(
            ProtocolTags::kWhisper.line(WireFormat::FormatNumberField(count) + numbers + display));
}

void Chat::cmdClearDialog_Click() {
    m_pendingDialog.clear();
    m_dialogTimer->stop();
    m_panel.clearTranscript();
}

void Chat::queueDialogLine(const QString &text) {
    // Only what the transcript can keep waits.
    if (m_pendingDialog.size() >= 2 * kMaxDialogLines)
        m_pendingDialog.erase(m_pendingDialog.begin(), m_pendingDialog.begin() + kMaxDialogLines);
    m_pendingDialog.append(shownDialogLine(text));
    if (!m_dialogTimer->isActive())
        m_dialogTimer->start();
}

void Chat::flushDialog() {
    m_dialogTimer->stop();
    if (m_pendingDialog.isEmpty())
        return;
    const QStringList lines = std::exchange(m_pendingDialog, {});
    // One edit for the whole batch; the box keeps its newest lines only.
    m_panel.appendToTranscript(lines.mid(qMax<qsizetype>(0, lines.size() - kMaxDialogLines)).join(u'\n'));
}

QString Chat::shownDialogLine(const QString &text) {
    const QString cut =
        text.size() <= kMaxDialogLineChars
            ? text
            : text.left(kMaxDialogLineChars) + QStringLiteral("…（共 %1 字符）").arg(text.size());
    if (cut.size() <= kMaxUnbrokenRun)
        return cut;
    QString shown;
    shown.reserve(cut.size() + cut.size() / kMaxUnbrokenRun);
    int run = 0;
    for (const QChar c : cut) {
        shown += c;
        // Blanks and CJK characters are places to wrap already.
        run = c.isSpace() || c.unicode() >= 0x2E80 ? 0 : run + 1;
        if (run >= kMaxUnbrokenRun && !c.isHighSurrogate()) {
            shown += QChar(0x200B);
            run = 0;
        }
    }
    return shown;
}

void Chat::AppendDialog(const QString &text) {
    flushDialog();
    m_panel.appendToTranscript(shownDialogLine(text));
}

void Chat::NotifyUser() {
    flushDialog(); // the whisper is in view when the window comes to the front
    if (m_notifyUser)
        m_notifyUser();
}
