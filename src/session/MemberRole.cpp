#include "MemberRole.h"

#include "MemberList.h"
#include "SendQueue.h"
#include "Session.h"
#include "SessionSockets.h"

#include "common/modCommon.h"

#include <QCoreApplication>
#include <QPointer>

#include <utility>

MemberRole::MemberRole(Session &session)
    : QObject(&session)
    , m_session(session) {
    SessionSockets &sockets = session.sockets();
    connect(&sockets, &SessionSockets::memberConnected, this, [this] { m_session.queue().wake(); });
    connect(&sockets, &SessionSockets::memberClosed, this, &MemberRole::sckConnect_Close);
    connect(&sockets, &SessionSockets::memberFailed, this, &MemberRole::onMemberFailed);
}

void MemberRole::cmdConnect_Click() {
    if (m_session.id().trimmed().isEmpty()) {
        m_session.requestIdFocus();
        return;
    }
    const quint64 action = m_session.startNewAction();
    const QPointer<Session> alive(&m_session);
    // The user may leave, host or close the program while this waits; then the join is called off.
    auto calledOff = [&] {
        if (!alive)
            return true;
        if (m_session.generation() == action)
            return false;
        m_joining = false;
        return true;
    };

    m_session.LockSessionControls();
    m_session.setHost(false);
    m_session.ResetSession();
    m_session.AppendStatus(QStringLiteral("正在连接... ..."));

    m_joining = true;
    if (m_session.config().connectMode == 0) {
        TryConnect(m_session.address());
        modCommon::WaitMilliseconds(kManualJoinWaitMs);
        if (calledOff())
            return;
        if (m_session.SessionStatus() == Session::Failed)
            return failJoin();
    } else {
        // Every search starts afresh, even after an earlier one was stopped by leaving.
        m_session.setSearchStopped(false);
        const QString found = SearchHost();
        if (calledOff())
            return;
        m_session.setAddress(found);
        if (m_session.SessionStatus() != Session::Connected)
            return failJoin();
    }
    m_joining = false;

    m_session.QueueToHost(QStringLiteral("[加入]") + m_session.id());
    const QString serverAddress = m_session.address();
    emit m_session.serverAddressChosen(serverAddress);
    if (hostIsElsewhere(serverAddress))
        emit m_session.uploadLocalRecordsRequested(serverAddress);
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

void MemberRole::TryConnect(const QString &address) {
    if (!modCommon::IsIPv4Address(address))
        return;
    // The echo lets events run: if the user left or started something else meanwhile, this attempt
    // belongs to an action that is over and connects nothing.
    const quint64 action = m_session.generation();
    const QPointer<Session> alive(&m_session);
    if (!m_session.hostAnswers(address) || !alive || m_session.generation() != action)
        return;
    m_session.sockets().connectToHost(address, quint16(m_session.config().port));
}

QString MemberRole::SearchHost() {
    const QPointer<Session> alive(&m_session);
    const quint64 action = m_session.generation();
    const QStringList vipList = m_session.config().vipList;
    for (const QString &v : vipList) {
        TryConnect(v);
        if (!alive || m_session.generation() != action)
            return QString();
        QCoreApplication::processEvents();
        modCommon::WaitMilliseconds(kSearchStepWaitMs);
        if (!alive || m_session.generation() != action)
            return QString();
        if (m_session.SessionStatus() == Session::Connected || m_session.searchStopped())
            break;
    }
    if (m_session.SessionStatus() == Session::Connected)
        return m_session.sockets().memberPeerAddress();
    return QString();
}

void MemberRole::sckConnect_Close() {
    m_session.AppendStatus(QStringLiteral("连接断开"));
    m_session.sockets().closeMemberSocket();
    m_session.members().clear();
    m_session.ResetSession();
    m_session.UnlockSessionControls();
}
