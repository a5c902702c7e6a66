#include "Dispatcher.h"

#include "HostRole.h"
#include "MemberList.h"
#include "ProtocolTags.h"
#include "SessionLink.h"
#include "SessionSockets.h"
#include "WireFormat.h"

using WireFormat::FieldAt;
using WireFormat::FieldsFrom;
namespace Tags = ProtocolTags;

Dispatcher::Dispatcher(SessionLink &session, HostRole &host, Router &router, QObject *parent)
    : QObject(parent)
    , m_session(session)
    , m_host(host)
    , m_router(router) {}

void Dispatcher::ProcessIncoming(const QString &line, int source) {
    m_session.LogReceived(source == SessionSockets::kFromHost
                              ? QStringLiteral("主机: ") + line
                              : QStringLiteral("连线(%1): ").arg(source) + line);
    const WireFormat::Line parts = WireFormat::SplitLine(line);
    if (parts.tag.isEmpty())
        return;
    const bool member = fromMember(source);
    const IncomingLine incoming{parts.tag, parts.payload, source, member};
    // A connection that has not joined may only join: it is nobody in the session yet.
    if (member && !m_session.members().contains(source) && Tags::kJoin != parts.tag)
        return;
    const std::optional<Tags::Sender> sentBy = Tags::SenderOf(parts.tag);
    if (sentBy == Tags::Sender::Host && member)
        return; // a member may not clear or rewrite the host's state
    if (sentBy == Tags::Sender::Member && !m_session.isHost())
        return;

    static const QHash<QString, Action> actions{
        {Tags::kJoin.toString(), &Dispatcher::onJoin},
        {Tags::kRefused.toString(), &Dispatcher::onRefused},
        {Tags::kKicked.toString(), &Dispatcher::onKicked},
        {Tags::kConnectionLost.toString(), &Dispatcher::onConnectionLost},
        {Tags::kClearList.toString(), &Dispatcher::onClearList},
        {Tags::kName.toString(), &Dispatcher::onName},
        {Tags::kOwnNumber.toString(), &Dispatcher::onOwnNumber},
        {Tags::kPlatformName.toString(), &Dispatcher::onPlatformName},
    };
    const auto action = actions.constFind(parts.tag);
    if (action != actions.cend())
        (this->*action.value())(incoming);
    else
        m_router.dispatch(incoming); // a tool's tag, or one a tool brought along
}

bool Dispatcher::fromMember(int source) const {
    // On a host every line from a socket comes from a member's slot; -1 is the host's own answer.
    return m_session.isHost() && source >= 0;
}

std::optional<int> Dispatcher::numberAt(const QString &payload) const {
    const auto number = WireFormat::ToInt16(FieldAt(payload, 1));
    if (!number)
        return std::nullopt;
    return int(*number);
}

void Dispatcher::onJoin(const IncomingLine &line) {
    // One join per connection: a member that joins again cannot rename itself or replay the reply.
    if (line.fromMember && m_session.members().contains(line.source))
        return;
    const QString &id = line.payload;
    if (line.fromMember && id.size() > SessionLink::kMaxIdLength) {
        // Every member gets the ID back in the member list: a name that long only serves to make
        // lines longer than members accept.
        m_session.AppendStatus(QStringLiteral("连线(%1) 的登录帐号超过 %2 个字符，已断开")
                                   .arg(line.source)
                                   .arg(SessionLink::kMaxIdLength));
        m_session.sockets().closeSlot(line.source);
        return;
    }
    m_session.AppendStatus(id + QStringLiteral("加入"));
    m_router.dispatch(line);
    if (line.fromMember)
        m_host.admit(line.source, id);
}

void Dispatcher::onRefused(const IncomingLine &line) {
    const auto n = numberAt(line.payload);
    if (!n)
        return;
    m_session.AppendStatus(QStringLiteral("拒绝") + m_session.members().MemberName(*n));
    m_session.members().RemoveMember(*n);
}

void Dispatcher::onKicked(const IncomingLine &line) {
    const auto n = numberAt(line.payload);
    if (!n)
        return;
    m_session.AppendStatus(QStringLiteral("逐出") + m_session.members().MemberName(*n));
    m_session.members().RemoveMember(*n);
}

void Dispatcher::onConnectionLost(const IncomingLine &line) {
    const auto n = numberAt(line.payload);
    if (!n)
        return;
    m_session.AppendStatus(m_session.members().MemberName(*n) + QStringLiteral("连接断开"));
    m_session.members().RemoveMember(*n);
}

void Dispatcher::onClearList(const IncomingLine &) {
    m_session.members().clear();
}

void Dispatcher::onName(const IncomingLine &line) {
    const auto n = numberAt(line.payload);
    if (n)
        m_session.members().AddMember(*n, FieldsFrom(line.payload, 2));
}

void Dispatcher::onOwnNumber(const IncomingLine &line) {
    const auto n = WireFormat::ToInt16(line.payload);
    if (n)
        m_session.setOwnNumber(*n);
}

void Dispatcher::onPlatformName(const IncomingLine &line) {
    m_session.receivePlatformName(line.payload);
    m_session.showCaption();
}

void Router::route(QStringView tag, Handler handler) {
    m_handlers.insert(tag.toString(), std::move(handler));
}

void Router::unroute(QStringView tag) {
    m_handlers.remove(tag.toString());
}

bool Router::dispatch(const IncomingLine &line) const {
    const auto handler = m_handlers.constFind(line.tag);
    if (handler == m_handlers.cend())
        return false;
    // Copy first: the handler may route or unroute tags.
    const Handler run = handler.value();
    run(line);
    return true;
}
