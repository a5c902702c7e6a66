#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class HostRole;
class SessionLink;

// One received protocol line, as a route sees it.
struct IncomingLine {
    QString tag;             // with its brackets, e.g. "[消息]"
    QString payload;         // everything after the first "]"
    int source = -1;         // -1: from the host (or the host's own answer); n >= 1: the member on slot n
    bool fromMember = false; // received by a host from one of its members: the host relays it
};

// The tools' part of the protocol: each tool routes its tags to a handler that shows the line and,
// on a host, relays it by its own rule. A tag nobody routed is only logged.
class Router {
public:
    using Handler = std::function<void(const IncomingLine &)>;

    void route(QStringView tag, Handler handler);
    void unroute(QStringView tag);
    bool routes(QStringView tag) const { return m_handlers.contains(tag.toString()); }
    // Runs the handler routed for the line's tag; false when there is none.
    bool dispatch(const IncomingLine &line) const;

private:
    QHash<QString, Handler> m_handlers;
};

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
