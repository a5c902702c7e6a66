#include "HostRole.h"

#include "MemberList.h"
#include "ProtocolTags.h"
#include "SendQueue.h"
#include "SessionLink.h"
#include "SessionSockets.h"
#include "WireFormat.h"

#include <QTimer>

#include <algorithm>

using WireFormat::FormatNumberField;
namespace Tags = ProtocolTags;

HostRole::HostRole(SessionLink &session, QObject *parent)
    : QObject(parent)
    , tmrShutdown(new QTimer(this))
    , m_session(session)
    , m_listTimer(new QTimer(this)) {
    m_listTimer->setSingleShot(true);
    connect(m_listTimer, &QTimer::timeout, this, &HostRole::sendPendingMemberLists);
    tmrShutdown->setObjectName(QStringLiteral("tmrShutdown"));
    tmrShutdown->setInterval(kLivenessIntervalMs);
    connect(tmrShutdown, &QTimer::timeout, this, &HostRole::tmrShutdown_Timer);
    connect(&session.sockets(), &SessionSockets::slotAccepted, this, &HostRole::onSlotAccepted);
    connect(&session.sockets(), &SessionSockets::slotClosed, this, &HostRole::sckConnection_Close);
}

void HostRole::cmdHost_Click() {
    const int status = m_session.SessionStatus();
    if (status != SessionLink::Idle && status != SessionLink::Failed)
        return;
    if (m_session.id().trimmed().isEmpty()) {
        m_session.requestIdFocus();
        return;
    }
    m_session.startNewAction();
    m_session.LockSessionControls();
    m_session.setHost(true);
    m_session.ResetSession();

    SessionSockets &sockets = m_session.sockets();
    sockets.closeMemberSocket();
    const int port = m_session.config().port;
    QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
    if (!sockets.listen(quint16(port), &error)) {
        // Claiming "主机建立" over a listener that does not listen would leave every member out.
        m_session.AppendStatus(error == QAbstractSocket::AddressInUseError
                                   ? QStringLiteral("端口 %1 已被占用，主机未建立").arg(port)
                                   : QStringLiteral("无法在端口 %1 上等候连接，主机未建立").arg(port));
        m_session.setHost(false);
        m_session.UnlockSessionControls();
        return;
    }
    m_session.AppendStatus(QStringLiteral("主机建立"));
    m_session.members().AddMember(MemberList::kHostNumber, m_session.id());
    m_session.setOwnNumber(MemberList::kHostNumber);
    tmrShutdown->start();
}

void HostRole::admit(int n, const QString &id) {
    // Everyone who joined before, then the newcomer itself: its own announcement opens its reply.
    m_session.SendToAllMembers(Tags::kJoin.line(id));
    m_session.QueueMessage(Tags::kJoin.line(id), n);
    m_session.members().AddMember(n, id);
    // The newcomer gets the whole list at once; the others are brought up to it once joins have
    // settled, so a burst of joins does not resend the growing list to everyone for each of them.
    memberListChanged(n);
    SendMemberListTo(n);
    m_session.QueueMessage(Tags::kOwnNumber.line(QString::number(n)), n);
    m_session.QueueMessage(Tags::kPlatformName.line(m_session.platformName()), n);
    m_session.QueueMessage(Tags::kCustomisation.line(m_session.customisationText()), n);
    if (m_session.config().blackList.contains(RemoteAddress(n)))
        RefuseJoin(n);
}

void HostRole::onSlotAccepted(int) {
    // Lines queued for this slot number (a member that left) may leave now.
    m_session.wakeQueue();
}

void HostRole::sckConnection_Close(int n) {
    m_session.sockets().closeSlot(n);
    // Whatever its name (a raw peer may join with an empty one), the entry goes with the connection:
    // a stale entry would make the slot's next member look joined already.
    if (!m_session.members().contains(n))
        return;
    const QString name = m_session.members().MemberName(n);
    m_session.AppendStatus((name.isEmpty() ? SendQueue::Label(n) : name) + QStringLiteral("连接断开"));
    flushMemberList();
    m_session.members().RemoveMember(n);
    m_session.SendToAllMembers(Tags::kConnectionLost.line(FormatNumberField(n)));
}

void HostRole::RefuseJoin(int n) {
    MemberList &members = m_session.members();
    members.clearSelection();
    const int position = members.positionOf(n);
    if (position < 0 || n == MemberList::kHostNumber)
        return;
    members.setSelected(position, true);
    const QString name = members.at(position).name;
    flushMemberList();
    m_session.SendToAllMembers(Tags::kRefused.line(QString::number(n)));

    // The pause lets the queue hand the refusal on; a timer, so nothing runs inside this join's
    // handling. Only the connection that was refused is closed, not one that took the slot since.
    const quint64 connection = m_session.sockets().connectionId(n);
    QTimer::singleShot(kRefuseDelayMs, this, [this, n, name, connection] {
        if (m_session.sockets().connectionId(n) != connection)
            return; // it left by itself meanwhile, and was reported as leaving
        m_session.sockets().closeSlot(n);
        m_session.AppendStatus(QStringLiteral("拒绝") + name);
        m_session.members().RemoveMember(n);
        m_session.members().clearSelection();
    });
}

void HostRole::cmdKick_Click() {
    const int status = m_session.SessionStatus();
    if (status != SessionLink::HostingAlone && status != SessionLink::HostingWithMembers &&
        status != SessionLink::Connected)
        return;
    if (!m_session.isHost()) {
        m_session.showTip(QStringLiteral("主机特权"));
        return;
    }
    MemberList &members = m_session.members();
    SessionSockets &sockets = m_session.sockets();
    flushMemberList();
    for (int i = members.count() - 1; i >= 0; --i) {
        if (i >= members.count() || !members.isSelected(i))
            continue;
        const MemberList::Entry kicked = members.at(i);
        if (kicked.number == MemberList::kHostNumber)
            continue;
        for (int j = 0; j < members.count(); ++j) {
            const MemberList::Entry &other = members.at(j);
            if (other.number != MemberList::kHostNumber && sockets.isSlotConnected(other.number) &&
                !other.selected)
                m_session.QueueMessage(Tags::kKicked.line(FormatNumberField(kicked.number)), other.number);
        }
        sockets.closeSlot(kicked.number);
        m_session.AppendStatus(QStringLiteral("逐出") + kicked.name);
        members.removeAt(i);
    }
    members.clearSelection();
}

void HostRole::tmrShutdown_Timer() {
    if (isChecking())
        return; // one walk at a time
    // The walk goes over the members present when it starts and finds each by number, so members
    // that leave meanwhile are neither skipped nor read out of range.
    for (const int k : m_session.members().numbers()) {
        if (k != MemberList::kHostNumber)
            m_unchecked.push_back(k);
    }
    checkNextMember();
}

void HostRole::checkNextMember() {
    while (isChecking()) {
        const int k = m_unchecked.front();
        if (!m_session.isHost() || !m_session.members().contains(k)) {
            m_unchecked.pop_front();
            continue;
        }
        // The member stays first in line until its answer came, so no second walk starts meanwhile.
        m_session.askMember(k, [this, walk = m_walk, k, asked = m_session.sockets().connectionId(k)](
                                   bool answers) { memberAnswered(walk, k, asked, answers); });
        return;
    }
}

void HostRole::memberAnswered(quint64 walk, int n, quint64 connection, bool answers) {
    if (walk != m_walk)
        return; // the walk was stopped before the answer came
    m_unchecked.pop_front();
    // Meanwhile the member may have left and another taken slot n: only the connection that was asked
    // is dropped.
    if (!answers && m_session.sockets().connectionId(n) == connection)
        sckConnection_Close(n);
    // The next member on the next turn of the event loop: whatever came in meanwhile goes first.
    if (isChecking())
        QTimer::singleShot(0, this, &HostRole::checkNextMember);
}

void HostRole::SendMemberList() {
    QList<int> receivers = m_session.members().numbers();
    receivers.removeAll(MemberList::kHostNumber);
    for (const int n : std::as_const(receivers))
        SendMemberListTo(n);
}

void HostRole::SendMemberListTo(int n) {
    const MemberList &members = m_session.members();
    if (n == MemberList::kHostNumber || !members.contains(n))
        return;
    m_listSent.insert(n, m_listVersion);
    m_session.QueueMessage(Tags::kClearList.line(), n);
    for (int i = 0; i < members.count(); ++i) {
        const MemberList::Entry &e = members.at(i);
        m_session.QueueMessage(Tags::kName.line(FormatNumberField(e.number) + e.name), n);
    }
}

void HostRole::memberListChanged(int n) {
    m_entryAdded.insert(n, ++m_listVersion);
    if (!m_listTimer->isActive())
        m_listPendingSince.start();
    const qint64 left = kMemberListMaxDelayMs - m_listPendingSince.elapsed();
    m_listTimer->start(int(std::clamp<qint64>(left, 0, kMemberListSettleMs)));
}

void HostRole::flushMemberList() {
    if (!m_listTimer->isActive())
        return;
    m_listTimer->stop();
    sendPendingMemberLists();
}

bool HostRole::memberListPending() const {
    return m_listTimer->isActive();
}

void HostRole::resetMemberListUpdates() {
    m_listTimer->stop();
    m_listSent.clear();
    m_entryAdded.clear();
}

void HostRole::sendPendingMemberLists() {
    if (!m_session.isHost())
        return;
    const MemberList &members = m_session.members();
    QList<MemberList::Entry> entries;
    for (int i = 0; i < members.count(); ++i)
        entries.append(members.at(i));
    for (const MemberList::Entry &receiver : std::as_const(entries)) {
        const int n = receiver.number;
        if (n == MemberList::kHostNumber)
            continue;
        const auto sent = m_listSent.constFind(n);
        if (sent == m_listSent.cend()) {
            SendMemberListTo(n);
            continue;
        }
        // Members that joined last already had the latest list with their join reply.
        const quint64 has = sent.value();
        if (has >= m_listVersion)
            continue;
        for (const MemberList::Entry &e : std::as_const(entries)) {
            if (e.number != MemberList::kHostNumber && m_entryAdded.value(e.number, 0) > has)
                m_session.QueueMessage(Tags::kName.line(FormatNumberField(e.number) + e.name), n);
        }
        m_listSent.insert(n, m_listVersion);
    }
}

QString HostRole::RemoteAddress(int n) const {
    return m_session.sockets().RemoteAddress(n);
}

QString HostRole::selectedAddressTip() const {
    const MemberList &members = m_session.members();
    if (!m_session.isHost() || members.selectedCount() != 1)
        return QString();
    for (int i = 0; i < members.count(); ++i) {
        if (!members.isSelected(i))
            continue;
        const int k = members.at(i).number;
        return k == MemberList::kHostNumber ? m_session.sockets().listenerAddress() : RemoteAddress(k);
    }
    return QString();
}

void HostRole::stopWatching() {
    tmrShutdown->stop();
    m_unchecked.clear();
    ++m_walk;
}
