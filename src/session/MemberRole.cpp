#include "MemberRole.h"

#include "MemberList.h"
#include "ProtocolTags.h"
#include "SessionLink.h"
#include "SessionSockets.h"

#include "common/modCommon.h"

#include <QPointer>
#include <QTimer>

#include <utility>

MemberRole::MemberRole(SessionLink &session, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_step(new QTimer(this)) {
    m_step->setSingleShot(true);
    connect(m_step, &QTimer::timeout, this, [this] {
        if (m_next == Step::ManualJoinWaited)
            manualJoinWaited();
        else
            searchStep();
    });
    SessionSockets &sockets = session.sockets();
    connect(&sockets, &SessionSockets::memberConnected, this, [this] { m_session.wakeQueue(); });
    connect(&sockets, &SessionSockets::memberClosed, this, &MemberRole::sckConnect_Close);
    connect(&sockets, &SessionSockets::memberFailed, this, &MemberRole::onMemberFailed);
}

void MemberRole::callOff() {
    m_step->stop();
    m_joining = false;
    m_found = nullptr;
}

void MemberRole::schedule(int delayMs, Step step) {
    m_next = step;
    m_step->start(delayMs);
}

void MemberRole::cmdConnect_Click() {
    if (m_session.id().trimmed().isEmpty()) {
        m_session.requestIdFocus();
        return;
    }
    m_session.startNewAction(); // calls off a join that still waits
    m_session.LockSessionControls();
    m_session.setHost(false);
    m_session.ResetSession();
    m_session.AppendStatus(QStringLiteral("正在连接... ..."));

    m_joining = true;
    if (m_session.config().connectMode == 0) {
        TryConnect(m_session.address(), [this] {
            if (m_joining) // else the join was called off while the address was probed
                schedule(kManualJoinWaitMs, Step::ManualJoinWaited);
        });
        return;
    }
    // Every search starts afresh, even after an earlier one was stopped by leaving.
    m_session.setSearchStopped(false);
    SearchHost([this](const QString &found) { searchDone(found); });
}

void MemberRole::manualJoinWaited() {
    if (m_session.SessionStatus() == SessionLink::Failed)
        return failJoin();
    announce();
}

void MemberRole::searchDone(const QString &found) {
    m_session.setAddress(found);
    if (m_session.SessionStatus() != SessionLink::Connected)
        return failJoin();
    announce();
}

void MemberRole::announce() {
    m_joining = false;
    m_session.QueueToHost(ProtocolTags::kJoin.line(m_session.id()));
    const QString serverAddress = m_session.address();
    m_session.joinSent(serverAddress, hostIsElsewhere(serverAddress));
}

void MemberRole::failJoin() {
    m_joining = false;
    m_session.sockets().closeMemberSocket();
    m_session.AppendStatus(QStringLiteral("连接失败"));
    m_session.UnlockSessionControls();
}

void MemberRole::onMemberFailed() {
    // During the join the join itself looks at the state; afterwards a failed connection is reported
    // at once instead of leaving "正在连接... ..." standing.
    if (m_joining || m_session.isHost() || !m_session.controlsLocked())
        return;
    failJoin();
}

bool MemberRole::hostIsElsewhere(const QString &serverAddress) const {
    return serverAddress != m_session.sockets().memberLocalAddress() &&
           serverAddress != QLatin1String("127.0.0.1");
}

void MemberRole::TryConnect(const QString &address, std::function<void()> then) {
    if (!modCommon::IsIPv4Address(address)) {
        if (then)
            then();
        return;
    }
    // The answer comes later: if the user left or started something else meanwhile, this attempt
    // belongs to an action that is over and goes no further.
    const quint64 action = m_session.generation();
    const QPointer<MemberRole> alive(this);
    m_session.hostAnswers(address, [this, alive, action, address, then = std::move(then)](bool answers) {
        if (!alive || m_session.generation() != action)
            return;
        if (answers)
            m_session.sockets().connectToHost(address, quint16(m_session.config().port));
        if (then)
            then();
    });
}

void MemberRole::SearchHost(Found found) {
    m_found = std::move(found);
    m_vipList = m_session.config().vipList;
    m_vipIndex = 0;
    searchStep();
}

void MemberRole::searchStep() {
    const bool connected = m_session.SessionStatus() == SessionLink::Connected;
    if (m_vipIndex > 0 && (connected || m_session.searchStopped() || m_vipIndex >= m_vipList.size())) {
        const Found found = std::exchange(m_found, nullptr);
        found(connected ? m_session.sockets().memberPeerAddress() : QString());
        return;
    }
    if (m_vipList.isEmpty()) {
        const Found found = std::exchange(m_found, nullptr);
        found(QString());
        return;
    }
    TryConnect(m_vipList.at(m_vipIndex++), [this] {
        // The connection gets a step's time to come up before the next address is tried, unless the
        // join was called off while the address was probed.
        if (m_joining)
            schedule(kSearchStepWaitMs, Step::SearchStep);
    });
}

void MemberRole::sckConnect_Close() {
    m_session.AppendStatus(QStringLiteral("连接断开"));
    m_session.sockets().closeMemberSocket();
    m_session.members().clear();
    m_session.ResetSession();
    m_session.UnlockSessionControls();
}
