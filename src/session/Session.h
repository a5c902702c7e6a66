#pragma once

#include "Dispatcher.h"
#include "SessionLink.h"
#include "modPing.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class Dispatcher;
class HostRequests;
class HostRole;
class MemberList;
class MemberRole;
class SendQueue;
class SessionSockets;

// The LAN session of one running copy: its sockets, send queue and member list, the host and member
// roles and the dispatcher, plus the state both roles share (own number, platform name, the session
// log and the locked controls). The roles reach it through SessionLink only; the tools send through
// it and route their tags with router(). No widgets: the panel shows what the signals report and calls
// the handlers.
class Session : public QObject, public SessionLink {
    Q_OBJECT

public:
    using ConfigSource = std::function<SessionConfig()>;
    using Pinger = std::function<modPing::Echo(const QString &address)>;
    using CustomisationSource = std::function<QString()>;

    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    void setConfigSource(ConfigSource source) { m_configSource = std::move(source); }
    // An echo that answers at once in place of the system's, which answers later (tests put their own
    // in); an empty one restores the system's.
    void setPinger(Pinger pinger) { m_pinger = std::move(pinger); }
    // The customisation text the host sends with its join reply: system name, then the ten attribute
    // names, joined with "|".
    void setCustomisationSource(CustomisationSource source) { m_customisationSource = std::move(source); }
    QString customisationText() const override;

    SessionSockets &sockets() override { return *m_sockets; }
    SendQueue &queue() { return *m_queue; }
    MemberList &members() override { return *m_members; }
    const MemberList &members() const { return *m_members; }
    HostRole &host() { return *m_host; }
    MemberRole &member() { return *m_member; }
    // Where the tools route their tags.
    Router &router() { return m_router; }
    // The host's waiting record and query requests, served by the information system's store and runner.
    HostRequests &requests() { return *m_requests; }

    int SessionStatus() const override;
    bool isOnline() const;

    bool isHost() const override { return m_isHost; }
    int ownNumber() const override { return m_ownNumber; }
    // The login ID as typed (txtID) and the host address box (txtIP).
    QString id() const override { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString address() const override { return m_address; }
    void setAddress(const QString &address) override;
    QString platformName() const override { return m_platformName; }
    void setPlatformName(const QString &name) { m_platformName = name; }
    bool controlsLocked() const override { return m_locked; }
    bool searchStopped() const override { return m_searchStopped; }

    // The only ways to send a protocol line. SendToAllMembers and RelayExcept reach the connected
    // members on the member list, in increasing slot order. A line longer on the wire than the cap
    // every peer enforces is not sent (a peer would drop the connection); the session log says so.
    void QueueToHost(const QString &text) override;
    void QueueMessage(const QString &text, int n) override;
    void SendToAllMembers(const QString &text) override;
    void RelayExcept(const QString &text, int n0) override;
    // Handles a line as if the host had sent it: the host's answer to its own record.
    void ProcessIncoming(const QString &line);

    // A line for the traffic log lstSent.
    void LogSent(const QString &text);
    void ResetSession() override;
    void cmdDisconnect_Click();
    // Hands every waiting line to its socket and writes them out as far as the network takes them now,
    // without letting events run. Program end calls it before shutdown(), so that what was queued last
    // still leaves.
    void flushOutgoing();
    // Program end: every socket closed, every timer stopped, nothing more reported.
    void shutdown();

signals:
    // A line for the session log txtStatus.
    void statusAppended(const QString &line);
    // A line for the traffic logs lstSent / lstReceived.
    void lineSent(const QString &line);
    void lineReceived(const QString &line);
    void logsCleared();
    // The transcript and the whiteboard are to be cleared (chat listens).
    void sessionReset();
    void controlsLockedChanged(bool locked);
    void captionChanged(const QString &caption);
    void idFocusRequested();
    void addressChanged(const QString &address);
    void tipRequested(const QString &text);
    void platformNameReceived(const QString &name);
    // A join went out to this server address (it becomes the address to join next time).
    void serverAddressChosen(const QString &serverAddress);
    // A member joined a host on another computer: local records may now be uploaded.
    void uploadLocalRecordsRequested(const QString &serverAddress);

private:
    // SessionLink: what the roles use besides the public part above.
    void wakeQueue() override;
    SessionConfig config() const override;
    void setHost(bool host) override { m_isHost = host; }
    void setOwnNumber(int number) override;
    void receivePlatformName(const QString &name) override;
    void LockSessionControls() override;
    void UnlockSessionControls() override;
    void setSearchStopped(bool stopped) override { m_searchStopped = stopped; }
    quint64 generation() const override { return m_generation; }
    quint64 startNewAction() override;
    void AppendStatus(const QString &text) override;
    void LogReceived(const QString &text) override;
    void showTip(const QString &text) override;
    // Window caption: the platform name, and " - " + own ID once this copy has a number.
    void showCaption() override;
    void requestIdFocus() override;
    void joinSent(const QString &serverAddress, bool hostElsewhere) override;
    // The echo, or where echoes cannot be sent, a connection to the platform port.
    void hostAnswers(const QString &address, std::function<void(bool answers)> answered) override;
    // The echo, or where echoes cannot be sent, the state of the member's connection.
    void askMember(int n, std::function<void(bool answers)> answered) override;

    void noteEchoUnavailable();
    // Whether the address answered the echo; empty where echoes cannot be sent.
    void echoAnswers(const QString &address, std::function<void(std::optional<bool>)> answered);
    void onLineTooLong(int source);
    // A destination did not take what was sent to it until too much waited: its connection goes.
    void onBacklogExceeded(int destination);
    void onTooManyRequests(int n);
    void onConnectionsRefused(int tooManyWaiting, int noDescriptors, int tooSlow);
    bool fitsOnWire(const QString &text);

    SessionSockets *m_sockets;
    SendQueue *m_queue;
    MemberList *m_members;
    Router m_router;
    HostRequests *m_requests;
    HostRole *m_host;
    MemberRole *m_member;
    Dispatcher *m_dispatcher;

    ConfigSource m_configSource;
    Pinger m_pinger;
    CustomisationSource m_customisationSource;

    bool m_isHost = false;
    int m_ownNumber = 0;
    QString m_id;
    QString m_address;
    QString m_platformName;
    bool m_locked = false;
    bool m_searchStopped = false;
    bool m_echoUnavailableSaid = false;
    bool m_shutDown = false;
    quint64 m_generation = 0;
    std::vector<int> m_joinedSlots; // slot numbers on the member list, increasing
};
