#include "Session.h"

#include "Dispatcher.h"
#include "HostRequests.h"
#include "HostRole.h"
#include "MemberList.h"
#include "MemberRole.h"
#include "SendQueue.h"
#include "SessionSockets.h"
#include "platform/text/TextCodec.h"

#include <algorithm>
#include <utility>

Session::Session(QObject *parent)
    : QObject(parent)
    , m_sockets(new SessionSockets(this))
    , m_queue(new SendQueue(*m_sockets, this))
    , m_members(new MemberList(this))
    , m_requests(new HostRequests(*this, this))
    , m_host(new HostRole(*this, this))
    , m_member(new MemberRole(*this, this))
    , m_dispatcher(new Dispatcher(*this, *m_host, m_router, this)) {
    connect(m_queue, &SendQueue::lineSent, this, &Session::LogSent);
    connect(m_sockets, &SessionSockets::lineArrived, m_dispatcher, &Dispatcher::ProcessIncoming);
    connect(m_sockets, &SessionSockets::lineTooLong, this, &Session::onLineTooLong);
    // What waited for a connection that ended never reaches whoever takes its slot next.
    connect(m_sockets, &SessionSockets::slotReleased, this, [this](int n) {
        m_queue->dropDestination(n);
        m_requests->forget(n);
    });
    connect(m_sockets, &SessionSockets::writable, m_queue, &SendQueue::wake);
    // Members' lines are relayed: while the queue is full of lines that are leaving, reading waits.
    m_sockets->setReadGate([this] { return !m_queue->isCongested(); });
    connect(m_queue, &SendQueue::backlogExceeded, this, &Session::onBacklogExceeded);
    connect(m_requests, &HostRequests::tooManyRequests, this, &Session::onTooManyRequests);
    connect(m_members, &MemberList::changed, this, [this] {
        m_joinedSlots.clear();
        for (const int n : m_members->numbers()) {
            if (n >= 1)
                m_joinedSlots.push_back(n);
        }
        std::sort(m_joinedSlots.begin(), m_joinedSlots.end());
        m_joinedSlots.erase(std::unique(m_joinedSlots.begin(), m_joinedSlots.end()), m_joinedSlots.end());
        if (m_isHost) {
            for (const int n : m_joinedSlots)
                m_sockets->markJoined(n);
        }
    });
    connect(m_sockets, &SessionSockets::connectionsRefused, this, &Session::onConnectionsRefused);
}

Session::~Session() {
    m_shutDown = true;
}

SessionConfig Session::config() const {
    return m_configSource ? m_configSource() : SessionConfig{};
}

QString Session::customisationText() const {
    return m_customisationSource ? m_customisationSource() : QString();
}

void Session::wakeQueue() {
    m_queue->wake();
}

int Session::SessionStatus() const {
    if (m_sockets->isListening())
        return m_sockets->anySlotConnected() ? HostingWithMembers : HostingAlone;
    switch (m_sockets->memberState()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return Connected;
    default:
        break;
    }
    return m_sockets->memberInError() ? Failed : Idle;
}

bool Session::isOnline() const {
    const int status = SessionStatus();
    return status == HostingWithMembers || status == Connected;
}

quint64 Session::startNewAction() {
    m_member->callOff();
    return ++m_generation;
}

void Session::setOwnNumber(int number) {
    m_ownNumber = number;
    showCaption();
}

void Session::setAddress(const QString &address) {
    if (address == m_address)
        return;
    m_address = address;
    emit addressChanged(address);
}

bool Session::fitsOnWire(const QString &text) {
    const qsizetype cap = m_sockets->maxLineBytes();
    // No UTF-16 unit takes more than four bytes in GB18030: most lines need no encoding to tell.
    if (text.size() * 4 <= cap)
        return true;
    const qsizetype bytes = tavlo::text::toWire(text).size();
    if (bytes <= cap)
        return true;
    AppendStatus(QStringLiteral("一行长 %1 字节，超过对方能接收的 %2 字节，未发送：%3…")
                     .arg(bytes)
                     .arg(cap)
                     .arg(text.left(20)));
    return false;
}

void Session::QueueToHost(const QString &text) {
    if (fitsOnWire(text))
        m_queue->QueueToHost(text);
}

void Session::QueueMessage(const QString &text, int n) {
    // A line for a slot without its connection would wait for whoever connects there next.
    if (m_isHost && !m_sockets->isSlotConnected(n))
        return;
    if (fitsOnWire(text))
        m_queue->QueueMessage(text, n);
}

void Session::SendToAllMembers(const QString &text) {
    RelayExcept(text, -1);
}

void Session::RelayExcept(const QString &text, int n0) {
    if (!fitsOnWire(text))
        return;
    // Only to members who joined: a connection that never announced itself hears nothing.
    for (const int n : m_joinedSlots) {
        if (n != n0 && m_sockets->isSlotConnected(n))
            m_queue->QueueMessage(text, n);
    }
}

void Session::ProcessIncoming(const QString &line) {
    m_dispatcher->ProcessIncoming(line, SessionSockets::kFromHost);
}

void Session::AppendStatus(const QString &text) {
    if (!m_shutDown)
        emit statusAppended(text);
}

void Session::LogSent(const QString &text) {
    if (!m_shutDown)
        emit lineSent(text);
}

void Session::LogReceived(const QString &text) {
    if (!m_shutDown)
        emit lineReceived(text);
}

void Session::ResetSession() {
    m_queue->clear();
    m_host->resetMemberListUpdates();
    m_requests->clear();
    m_members->clear();
    m_ownNumber = 0;
    showCaption();
    emit sessionReset();
    emit logsCleared();
}

void Session::LockSessionControls() {
    m_locked = true;
    emit controlsLockedChanged(true);
}

void Session::UnlockSessionControls() {
    m_locked = false;
    emit controlsLockedChanged(false);
}

void Session::cmdDisconnect_Click() {
    const int status = SessionStatus();
    // Besides hosting and being joined, leaving also ends a join that is still connecting, failed, or
    // waits for a host that never answered: otherwise only a restart would get out of those states.
    if (status == Idle && !m_locked)
        return;
    startNewAction();
    m_sockets->closeMemberSocket();
    m_sockets->closeAllSlots();
    m_isHost = false;
    AppendStatus(QStringLiteral("连接断开"));
    ResetSession();
    UnlockSessionControls();
    m_searchStopped = true;
    m_host->stopWatching();
}

void Session::showCaption() {
    emit captionChanged(m_ownNumber == 0
                            ? m_platformName
                            : m_platformName + QStringLiteral(" - ") + m_members->MemberName(m_ownNumber));
}

void Session::showTip(const QString &text) {
    emit tipRequested(text);
}

void Session::requestIdFocus() {
    emit idFocusRequested();
}

void Session::receivePlatformName(const QString &name) {
    m_platformName = name;
    emit platformNameReceived(name);
}

void Session::joinSent(const QString &serverAddress, bool hostElsewhere) {
    emit serverAddressChosen(serverAddress);
    if (hostElsewhere)
        emit uploadLocalRecordsRequested(serverAddress);
}

void Session::noteEchoUnavailable() {
    if (m_echoUnavailableSaid)
        return;
    m_echoUnavailableSaid = true;
    AppendStatus(QStringLiteral("本机不能发送 ICMP 回显：查找主机改为试连端口，成员检测改看连接状态"));
}

void Session::echoAnswers(const QString &address, std::function<void(std::optional<bool>)> answered) {
    const auto heard = [this, answered = std::move(answered)](modPing::Echo echo) {
        switch (echo) {
        case modPing::Echo::Answered:
            return answered(true);
        case modPing::Echo::Silent:
            return answered(false);
        case modPing::Echo::Unavailable:
            break;
        }
        noteEchoUnavailable();
        answered(std::nullopt);
    };
    if (m_pinger)
        heard(m_pinger(address));
    else
        modPing::Probe(address, this, heard);
}

void Session::hostAnswers(const QString &address, std::function<void(bool answers)> answered) {
    echoAnswers(address, [this, address, answered = std::move(answered)](std::optional<bool> echo) {
        if (echo)
            answered(*echo);
        else
            modPing::PortAnswers(address, quint16(config().port), this, answered);
    });
}

void Session::askMember(int n, std::function<void(bool answers)> answered) {
    echoAnswers(m_sockets->RemoteAddress(n),
                [this, n, answered = std::move(answered)](std::optional<bool> echo) {
                    answered(echo ? *echo : m_sockets->isSlotConnected(n));
                });
}

void Session::onLineTooLong(int source) {
    if (source == SessionSockets::kFromHost) {
        AppendStatus(QStringLiteral("主机发来的一行超过 %1 字节，连接已断开").arg(m_sockets->maxLineBytes()));
        m_member->sckConnect_Close();
        return;
    }
    AppendStatus(
        QStringLiteral("连线(%1) 发来的一行超过 %2 字节，已断开").arg(source).arg(m_sockets->maxLineBytes()));
    m_host->sckConnection_Close(source);
}

void Session::onBacklogExceeded(int destination) {
    if (destination == SendQueue::kHost) {
        if (m_isHost)
            return;
        AppendStatus(QStringLiteral("发往主机的数据积压过多，连接已断开"));
        m_member->sckConnect_Close();
        return;
    }
    if (!m_isHost || !m_sockets->isSlotConnected(destination))
        return;
    AppendStatus(QStringLiteral("连线(%1) 积压的数据过多（对方不接收），已断开").arg(destination));
    m_host->sckConnection_Close(destination);
}

void Session::onTooManyRequests(int n) {
    if (!m_isHost || !m_sockets->isSlotConnected(n))
        return;
    AppendStatus(QStringLiteral("连线(%1) 的记录和查询请求过多，已断开").arg(n));
    m_host->sckConnection_Close(n);
}

void Session::onConnectionsRefused(int tooManyWaiting, int noDescriptors, int tooSlow) {
    if (tooManyWaiting > 0)
        AppendStatus(QStringLiteral("断开了 %1 个等候最久的连接：尚未加入的连接已达 %2 个")
                         .arg(tooManyWaiting)
                         .arg(m_sockets->maxWaitingConnections()));
    if (noDescriptors > 0)
        AppendStatus(QStringLiteral("拒绝了 %1 个连接：连接过多，须为文件留出余量").arg(noDescriptors));
    if (tooSlow > 0)
        AppendStatus(QStringLiteral("断开了 %1 个连接：连接后 %2 秒内未加入")
                         .arg(tooSlow)
                         .arg(m_sockets->joinDeadlineMs() / 1000.0));
}

void Session::flushOutgoing() {
    // Each round hands over what the sockets take and writes it on, which makes room for the next.
    for (qsizetype waiting = m_queue->size(); waiting > 0;) {
        m_queue->tmrSendData_Timer();
        m_sockets->flushAll();
        const qsizetype before = std::exchange(waiting, m_queue->size());
        if (waiting >= before)
            break; // the rest waits for a destination that takes nothing more now
    }
    m_sockets->flushAll();
}

void Session::shutdown() {
    m_shutDown = true;
    startNewAction();
    m_host->stopWatching();
    m_queue->clear();
    m_requests->clear();
    m_sockets->closeMemberSocket();
    m_sockets->closeAllSlots();
}
