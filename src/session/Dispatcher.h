#pragma once

#include "Router.h"

#include <QObject>
#include <QString>

#include <optional>

class HostRole;
class SessionLink;

// `ProcessIncoming`: the receiving side of the protocol, for both roles. Every line is logged; its tag
// is compared whole and exactly with the tag table (ProtocolTags). A tag only a host sends is ignored
// when it comes from a member, a tag only a member sends is ignored by a member, and a connection that
// has not joined may only join. The session's own tags (joining and the member list) are carried out
// here; every other tag goes to the route a tool registered for it, or is only logged.
class Dispatcher : public QObject {
    Q_OBJECT

public:
    Dispatcher(SessionLink &session, HostRole &host, Router &router, QObject *parent = nullptr);

    // Handles one line without its terminator, from source -1 (the host) or slot n.
    void ProcessIncoming(const QString &line, int source);

private:
    using Action = void (Dispatcher::*)(const IncomingLine &);

    bool fromMember(int source) const;
    // A member number read from the first field; empty when malformed.
    std::optional<int> numberAt(const QString &payload) const;

    void onJoin(const IncomingLine &line);
    void onRefused(const IncomingLine &line);
    void onKicked(const IncomingLine &line);
    void onConnectionLost(const IncomingLine &line);
    void onClearList(const IncomingLine &line);
    void onName(const IncomingLine &line);
    void onOwnNumber(const IncomingLine &line);
    void onPlatformName(const IncomingLine &line);

    SessionLink &m_session;
    HostRole &m_host;
    Router &m_router;
};
