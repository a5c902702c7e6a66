#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class MemberList;
class SessionSockets;

// The settings the session reads each time it needs them.
struct SessionConfig {
    int port = 1006;
    QStringList vipList;   // searched in order for a running host
    QStringList blackList; // addresses whose join is refused
    int connectMode = 0;   // 0 join the typed address, 1 search the VIP list
};

// What the parts of a session (host role, member role, dispatcher, request queue) use of the session
// that holds them: its sockets and member list, the one way to send a line, the state both roles
// share, and the reports the session passes on to whoever shows them. The session implements it; the
// parts never see the session itself.
class SessionLink {
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

    virtual ~SessionLink() = default;

    virtual SessionSockets &sockets() = 0;
    virtual MemberList &members() = 0;
    // Lines waiting for a destination that just connected may leave now.
    virtual void wakeQueue() = 0;
    virtual SessionConfig config() const = 0;
    // System name and attribute names, as the host's join reply carries them.
    virtual QString customisationText() const = 0;

    // 0 none, 1 hosting alone, 2 hosting with a connected member, 3 member socket connecting,
    // 4 member socket connected, 5 member socket in error.
    virtual int SessionStatus() const = 0;
    virtual bool isHost() const = 0;
    virtual void setHost(bool host) = 0;
    virtual int ownNumber() const = 0;
    // Takes the number and shows it in the caption.
    virtual void setOwnNumber(int number) = 0;
    virtual QString id() const = 0;
    virtual QString address() const = 0;
    virtual void setAddress(const QString &address) = 0;
    virtual QString platformName() const = 0;
    // The platform name the host sent replaces ours.
    virtual void receivePlatformName(const QString &name) = 0;
    virtual bool controlsLocked() const = 0;
    virtual void LockSessionControls() = 0;
    virtual void UnlockSessionControls() = 0;
    virtual bool searchStopped() const = 0;
    virtual void setSearchStopped(bool stopped) = 0;
    // Changes whenever the user ends or restarts what the session is doing, so work that waits can
    // tell that it was called off meanwhile.
    virtual quint64 generation() const = 0;
    virtual quint64 startNewAction() = 0;

    // The only ways to send a protocol line (see Session).
    virtual void QueueToHost(const QString &text) = 0;
    virtual void QueueMessage(const QString &text, int n) = 0;
    virtual void SendToAllMembers(const QString &text) = 0;
    virtual void RelayExcept(const QString &text, int n0) = 0;

    // Reports, passed on by the session's signals.
    virtual void AppendStatus(const QString &text) = 0;
    virtual void LogReceived(const QString &text) = 0;
    virtual void showTip(const QString &text) = 0;
    virtual void showCaption() = 0;
    virtual void requestIdFocus() = 0;
    // Member list, queue, own number and the tools' screens start afresh.
    virtual void ResetSession() = 0;
    // A join went out to the host at serverAddress, which runs on another computer or not.
    virtual void joinSent(const QString &serverAddress, bool hostElsewhere) = 0;

    // Asks whether an address answers, for joining and the host search; `answered` gets the answer when
    // it comes (not at all when the session is gone by then).
    virtual void hostAnswers(const QString &address, std::function<void(bool answers)> answered) = 0;
    // Asks whether the member on slot n answers, for the liveness check; `answered` gets the answer
    // when it comes (not at all when the session is gone by then).
    virtual void askMember(int n, std::function<void(bool answers)> answered) = 0;
};
