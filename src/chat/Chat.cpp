#include "Chat.h"

#include "session/Dispatcher.h"
#include "session/MemberList.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

#include <QSet>
#include <QTimer>

#include <utility>

namespace Tags = ProtocolTags;

Chat::Chat(Session &session, View &view, Notifier notifyUser, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_view(view)
    , m_notifyUser(std::move(notifyUser))
    , m_dialogTimer(new QTimer(this)) {
    m_dialogTimer->setSingleShot(true);
    m_dialogTimer->setInterval(1000 / kDialogUpdatesPerSecond);
    connect(m_dialogTimer, &QTimer::timeout, this, &Chat::flushDialog);
    connect(&m_session, &Session::sessionReset, this, &Chat::cmdClearDialog_Click);
    registerHandlers();
}

void Chat::registerHandlers() {
    Router &router = m_session.router();
    router.route(Tags::kMessage.text, [this](const IncomingLine &line) {
        queueDialogLine(line.payload);
        if (line.fromMember)
            m_session.RelayExcept(Tags::kMessage.line(line.payload), line.source);
    });
    router.route(Tags::kNotify.text, [this](const IncomingLine &) { NotifyUser(); });
    router.route(Tags::kWhisper.text,
                 [this](const IncomingLine &line) { passOnWhisper(line.payload, line.source); });
}

std::optional<Chat::Whisper> Chat::ReadWhisper(const QString &payload) {
    const auto count = WireFormat::ToInt16(WireFormat::FieldAt(payload, 1));
    if (!count)
        return std::nullopt;
    Whisper whisper{WireFormat::FieldsFrom(payload, *count + 2), {}};
    QSet<int> named;
    for (int k = 2; k <= *count + 1; ++k) {
        const QString field = WireFormat::FieldAt(payload, k);
        if (field.isEmpty())
            break; // the payload ran out of recipients
        const auto id = WireFormat::ToInt16(field);
        if (!id || named.contains(*id))
            continue;
        named.insert(*id);
        whisper.recipients.append(*id);
    }
    return whisper;
}

void Chat::passOnWhisper(const QString &payload, int source) {
    const std::optional<Whisper> whisper = ReadWhisper(payload);
    if (!whisper)
        return;
    for (const int id : whisper->recipients) {
        if (id == MemberList::kHostNumber) {
            queueDialogLine(whisper->display);
            NotifyUser();
        } else if (id != source && id >= 1 && m_session.members().contains(id)) {
            // Only to members on the list: a number nobody holds would wait in the queue for good.
            m_session.QueueMessage(Tags::kMessage.line(whisper->display), id);
            m_session.QueueMessage(Tags::kNotify.line(), id);
        }
    }
}

QString Chat::MessageLine(const QString &name, const QString &text) {
    return name + QStringLiteral("说： ") + text;
}

QString Chat::WhisperLine(const QString &name, const QString &text) {
    return name + QStringLiteral("悄悄说：") + text;
}

void Chat::cmdSend_Click() {
    const QString text = m_view.message();
    if (!text.isEmpty()) {
        const QString name = m_session.members().MemberName(m_session.ownNumber());
        if (m_view.privateChat()) {
            sendWhisper(name, text);
            AppendDialog(WhisperLine(name, text));
        } else {
            const QString line = Tags::kMessage.line(MessageLine(name, text));
            if (m_session.isHost())
                m_session.SendToAllMembers(line);
            else
                m_session.QueueToHost(line);
            AppendDialog(MessageLine(name, text));
        }
    }
    m_view.clearMessage();
}

void Chat::sendWhisper(const QString &name, const QString &text) {
    const MemberList &members = m_session.members();
    const QString display = WhisperLine(name, text);
    if (m_session.isHost()) {
        for (int i = 0; i < members.count(); ++i) {
            const int k = members.at(i).number;
            if (!members.isSelected(i) || k == MemberList::kHostNumber)
                continue;
            m_session.QueueMessage(Tags::kMessage.line(display), k);
            m_session.QueueMessage(Tags::kNotify.line(), k);
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
        m_session.QueueToHost(Tags::kWhisper.line(WireFormat::FormatNumberField(count) + numbers + display));
}

void Chat::cmdClearDialog_Click() {
    m_pendingDialog.clear();
    m_dialogTimer->stop();
    m_view.clearTranscript();
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
    m_view.appendToTranscript(lines.mid(qMax<qsizetype>(0, lines.size() - kMaxDialogLines)).join(u'\n'));
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
    m_view.appendToTranscript(shownDialogLine(text));
}

void Chat::NotifyUser() {
    flushDialog(); // the whisper is in view when the window comes to the front
    if (m_notifyUser)
        m_notifyUser();
}
