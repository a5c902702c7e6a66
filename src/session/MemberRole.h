#pragma once

#include <QObject>
#include <QString>

class Session;

// The member role: joining a host at the typed address or one found over the VIP list, announcing
// this copy with "[加入]", and noticing when the host closes the connection.
class MemberRole : public QObject {
    Q_OBJECT

public:
    static constexpr int kManualJoinWaitMs = 2000;
    static constexpr int kSearchStepWaitMs = 50;

    explicit MemberRole(Session &session);

    void cmdConnect_Click();
    // Starts connecting to the address when it is a dotted IPv4 address that answers; else nothing.
    void TryConnect(const QString &address);
    // The first address of the VIP list that accepts a connection, or empty text.
    QString SearchHost();
    // The host closed the connection (it left, kicked or refused this copy).
    void sckConnect_Close();

    bool isJoining() const { return m_joining; }

private:
    void failJoin();
    void onMemberFailed();
    // Whether the host is on another computer, so local records should go to it.
    bool hostIsElsewhere(const QString &serverAddress) const;

    Session &m_session;
    bool m_joining = false;
};
