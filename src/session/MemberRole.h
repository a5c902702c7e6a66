#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class SessionLink;

// The member role: joining a host at the typed address or one found over the VIP list, announcing
// this copy with "[加入]", and noticing when the host closes the connection.
//
// Joining runs as continuations of one timer, never as a wait inside the click: with the typed
// address the connection gets kManualJoinWaitMs to come up; the search tries one VIP address per
// kSearchStepWaitMs. Leaving or starting something else meanwhile (a new action of the session) calls
// the join off (callOff): the timer is stopped and nothing of the join runs afterwards.
class MemberRole : public QObject {
    Q_OBJECT

public:
    static constexpr int kManualJoinWaitMs = 2000;
    static constexpr int kSearchStepWaitMs = 50;

    using Found = std::function<void(const QString &address)>;

    explicit MemberRole(SessionLink &session, QObject *parent = nullptr);

    void cmdConnect_Click();
    // Starts connecting to the address when it is a dotted IPv4 address that answers; else nothing.
    // `then` runs once the address was probed (and the connection started if it answered), unless the
    // join was called off meanwhile.
    void TryConnect(const QString &address, std::function<void()> then = {});
    // Part of a join: tries the VIP list in order, one address per step; `found` gets the first
    // address that accepted a connection, or empty text. Not called when the join is called off.
    void SearchHost(Found found);
    // The session started another action: a join that still waits ends here.
    void callOff();
    // The host closed the connection (it left, kicked or refused this copy).
    void sckConnect_Close();

    // A join is waiting for its connection.
    bool isJoining() const { return m_joining; }

private:
    void searchStep();
    // After the manual join's wait: announces this copy, or gives up when the connection failed.
    void manualJoinWaited();
    void searchDone(const QString &found);
    void announce();
    void failJoin();
    void onMemberFailed();
    // Whether the host is on another computer, so local records should go to it.
    bool hostIsElsewhere(const QString &serverAddress) const;
    enum class Step { ManualJoinWaited, SearchStep };
    // `step` runs when the timer fires, unless the join was called off meanwhile.
    void schedule(int delayMs, Step step);

    SessionLink &m_session;
    QTimer *m_step;
    Step m_next = Step::SearchStep;
    bool m_joining = false;
    QStringList m_vipList;
    qsizetype m_vipIndex = 0;
    Found m_found;
};
