#pragma once

#include <QObject>
#include <QString>

class QTimer;
class Session;

// The host role: listening on the platform port, members on slots 1, 2, ..., the member list, refusal
// of black-listed members, kicking, and the liveness check that drops members whose computers no
// longer answer.
class HostRole : public QObject {
    Q_OBJECT

public:
    static constexpr int kLivenessIntervalMs = 60000;
    static constexpr int kRefuseDelayMs = 50;

    explicit HostRole(Session &session);

    void cmdHost_Click();
    void cmdKick_Click();
    // The member on slot n closed its connection (also used by the liveness check).
    void sckConnection_Close(int n);
    void RefuseJoin(int n);
    void tmrShutdown_Timer();
    void SendMemberList();
    QString RemoteAddress(int n) const;
    // The member list's tooltip: the address of the one selected entry, or empty.
    QString selectedAddressTip() const;
    // Host side of leaving: the liveness check stops.
    void stopWatching();

    QTimer *tmrShutdown = nullptr;

private:
    void onSlotAccepted(int n);

    Session &m_session;
    bool m_checking = false;
};
