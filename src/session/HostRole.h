#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <deque>

class QTimer;
class SessionLink;

// The host role: listening on the platform port, members on slots 1, 2, ..., the member list, refusal
// of black-listed members, kicking, and the liveness check that drops members whose computers no
// longer answer.
class HostRole : public QObject {
    Q_OBJECT

public:
    static constexpr int kLivenessIntervalMs = 60000;
    static constexpr int kRefuseDelayMs = 50;
    // Member-list updates after joins wait until no join has come for the settle time, but no longer
    // than the maximum delay, and then bring every member to the latest list at once.
    static constexpr int kMemberListSettleMs = 100;
    static constexpr int kMemberListMaxDelayMs = 1000;

    explicit HostRole(SessionLink &session, QObject *parent = nullptr);

    void cmdHost_Click();
    // A connection on slot n joined as `id`: everyone who joined before hears of it, the newcomer gets
    // its join reply (its own announcement, the member list, its number, the platform name and the
    // customisation), and a black-listed address is refused.
    void admit(int n, const QString &id);
    void cmdKick_Click();
    // The member on slot n closed its connection (also used by the liveness check).
    void sckConnection_Close(int n);
    void RefuseJoin(int n);
    // Starts a walk over the members present now, one member per turn of the event loop (see
    // checkNextMember); nothing while a walk is still going.
    void tmrShutdown_Timer();
    // Whether a liveness walk has members left to ask.
    bool isChecking() const { return !m_unchecked.empty(); }
    // The whole member list to every member at once.
    void SendMemberList();
    // The whole member list to the member on slot n.
    void SendMemberListTo(int n);
    // The member on slot n was added to the list: every member that has not had the latest list is
    // brought up to it once joins have settled, with a "[人名]" line for each entry added since the
    // list it has (a member adds each such entry at the end, as the host's list has it).
    void memberListChanged(int n);
    // Sends a waiting member-list update now: before a line that names a member by number, so every
    // member knows whom it names.
    void flushMemberList();
    // Whether a member-list update is waiting to go out.
    bool memberListPending() const;
    // Forgets what was sent and what waits (a new session starts).
    void resetMemberListUpdates();
    QString RemoteAddress(int n) const;
    // The member list's tooltip: the address of the one selected entry, or empty.
    QString selectedAddressTip() const;
    // Host side of leaving: the liveness check stops.
    void stopWatching();

    QTimer *tmrShutdown = nullptr;

private:
    void onSlotAccepted(int n);
    void sendPendingMemberLists();
    // One step of the liveness walk: the next member still on the list is asked.
    void checkNextMember();
    // Its answer: a member that does not answer is dropped; the walk goes on with the next member.
    void memberAnswered(quint64 walk, int n, quint64 connection, bool answers);

    SessionLink &m_session;
    std::deque<int> m_unchecked; // members the running liveness walk has still to ask
    quint64 m_walk = 0;          // changes when a walk is stopped
    QTimer *m_listTimer;
    QElapsedTimer m_listPendingSince;
    quint64 m_listVersion = 0;
    QHash<int, quint64> m_listSent;   // slot -> version of the list it has
    QHash<int, quint64> m_entryAdded; // slot -> version that added its entry
};
