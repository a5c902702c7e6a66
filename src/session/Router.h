#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <functional>

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
