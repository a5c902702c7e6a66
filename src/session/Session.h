#pragma once

#include "modPing.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class Dispatcher;
class HostRole;
class MemberList;
class MemberRole;
class SendQueue;
class SessionSockets;

// The settings the session reads each time it needs them.
struct SessionConfig {
    int port = 1006;
    QStringList vipList;   // searched in order for a running host
    QStringList blackList; // addresses whose join is refused
    int connectMode = 0;   // 0 join the typed address, 1 search the VIP list
};

// The LAN session of one running copy: its sockets, send queue, member list, dispatcher and the host
// and member roles, plus the state both roles share (own number, platform name, the session log and
// the locked controls). No widgets: the panel shows what the signals report and calls the handlers.
class Session : public QObject {
    Q_OBJECT

public:
    // Values of SessionStatus().
    enum Status {
        Idle = 0,
        HostingAlone = 1,
        HostingWithMembers = 2,
        Connecting = 3,
        Connected = 4,
        Failed = 5
    };

    // Longest login ID a host accepts: the ID travels in every member's list.
    static constexpr int kMaxIdLength = 64;

    using ConfigSource = std::function<SessionConfig()>;
    using Pinger = std::function<modPing::Echo(const QString &address)>;
    using CustomisationSource = std::function<QString()>;

    explicit Session(QObject *parent = nullptr);
    ~Session() override;

    void setConfigSource(ConfigSource source) { m_configSource = std::move(source); }
    SessionConfig config() const;
    // The echo used to find hosts and watch members (tests put their own in).
    void setPinger(Pinger pinger) { m_pinger = std::move(pinger); }
    // The customisation text the host sends with its join reply: system name, then the ten attribute
    // names, joined with "|".
    void setCustomisationSource(CustomisationSource source) { m_customisationSource = std::move(source); }
    QString customisationText() const;

    SessionSockets &sockets() { return *m_sockets; }
    SendQueue &queue() { return *m_queue; }
    MemberList &members() { return *m_members; }
    const MemberList &members() const { return *m_members; }
    Dispatcher &dispatcher() { return *m_dispatcher; }
    HostRole &host() { return *m_host; }
    MemberRole &member() { return *m_member; }

    // 0 none, 1 hosting alone, 2 hosting with a connected member, 3 member socket connecting,
    // 4 member socket connected, 5 member socket in error.
    int SessionStatus() const;
    bool isOnline() const;

    bool isHost() const { return m_isHost; }
    void setHost(bool host) { m_isHost = host; }
    int ownNumber() const { return m_ownNumber; }
    void setOwnNumber(int number) { m_ownNumber = number; }
    // The login ID as typed (txtID) and the host address box (txtIP).
    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString address() const { return m_address; }
    void setAddress(const QString &address);
    QString platformName() const { return m_platformName; }
    void setPlatformName(const QString &name) { m_platformName = name; }
    bool controlsLocked() const { return m_locked; }
    bool searchStopped() const { return m_searchStopped; }
    void setSearchStopped(bool stopped) { m_searchStopped = stopped; }
    // Changes whenever the user ends or restarts what the session is doing, so a join that waits can
    // tell that it was called off meanwhile.
    quint64 generation() const { return m_generation; }
    quint64 startNewAction() { return ++m_generation; }

    // The only ways to send a protocol line. SendToAllMembers and RelayExcept reach the connected
    // members on the member list, in increasing slot order. A line longer on the wire than the cap
    // every peer enforces is not sent (a peer would drop the connection); the session log says so.
    void QueueToHost(const QString &text);
    void QueueMessage(const QString &text, int n);
    void SendToAllMembers(const QString &text);
    void RelayExcept(const QString &text, int n0);
    // Feeds received text to the dispatcher (complete lines only; the rest stays in the buffer).
    void ProcessIncoming(QString &buffer, int source);

    // Shared operations of both roles.
    void AppendStatus(const QString &text);
    void LogSent(const QString &text);
    void LogReceived(const QString &text);
    void ResetSession();
    void LockSessionControls();
    void UnlockSessionControls();
    void cmdDisconnect_Click();
    // Window caption: the platform name, and " - " + own ID once this copy has a number.
    void showCaption();
    void showTip(const QString &text);
    void requestIdFocus();
    // The platform name the host sent replaces ours.
    void receivePlatformName(const QString &name);

    // Whether an address answers, for joining and the host search: the echo, or where echoes cannot
    // be sent, a connection to the platform port.
    bool hostAnswers(const QString &address);
    // Whether the member on slot n answers, for the liveness check: the echo, or where echoes cannot be
    // sent, the state of its connection.
    bool memberAnswers(int n);

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
    void noteEchoUnavailable();
    // Whether the address answered the echo; empty where echoes cannot be sent.
    std::optional<bool> echoAnswers(const QString &address);
    void onLineTooLong(int source);
    // A destination did not take what was sent to it until too much waited: its connection goes.
    void onBacklogExceeded(int destination);
    void onTooManyRequests(int n);
    void onConnectionsRefused(int tooManyWaiting, int noDescriptors, int tooSlow);
    bool fitsOnWire(const QString &text);

    SessionSockets *m_sockets;
    SendQueue *m_queue;
    MemberList *m_members;
    Dispatcher *m_dispatcher;
    HostRole *m_host;
    MemberRole *m_member;

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
