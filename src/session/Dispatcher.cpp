#include "Dispatcher.h"

#include "HostRequests.h"
#include "HostRole.h"
#include "MemberList.h"
#include "Session.h"
#include "SessionSockets.h"
#include "WireFormat.h"

#include <QSet>

using WireFormat::FieldAt;
using WireFormat::FieldsFrom;
using WireFormat::FormatNumberField;

namespace {

struct TagEntry {
    const char16_t *tag;
    Dispatcher::Sender sentBy;
};

// Every tag of the protocol and who sends it.
constexpr TagEntry kTagTable[] = {
    {u"[加入]", Dispatcher::Sender::Both},       {u"[拒绝加入]", Dispatcher::Sender::Host},
    {u"[逐出]", Dispatcher::Sender::Host},       {u"[连接断开]", Dispatcher::Sender::Host},
    {u"[清除ID列表]", Dispatcher::Sender::Host}, {u"[人名]", Dispatcher::Sender::Host},
    {u"[连接号]", Dispatcher::Sender::Host},     {u"[平台名称]", Dispatcher::Sender::Host},
    {u"[定制信息]", Dispatcher::Sender::Host},   {u"[消息]", Dispatcher::Sender::Both},
    {u"[悄悄话]", Dispatcher::Sender::Member},   {u"[通知]", Dispatcher::Sender::Host},
    {u"[画笔]", Dispatcher::Sender::Both},       {u"[直线]", Dispatcher::Sender::Both},
    {u"[清除图片]", Dispatcher::Sender::Both},   {u"[记录]", Dispatcher::Sender::Member},
    {u"[记录结果]", Dispatcher::Sender::Host},   {u"[查询]", Dispatcher::Sender::Both},
    {u"[查询条数]", Dispatcher::Sender::Host},
};

const QString kRecordsSuffix = QStringLiteral(" 条记录");

} // namespace

Dispatcher::Dispatcher(Session &session)
    : QObject(&session)
    , m_session(session)
    , m_requests(new HostRequests(session, this)) {}

void Dispatcher::setRecordStore(RecordStore store) {
    m_requests->setRecordStore(std::move(store));
}

void Dispatcher::setQueryRunner(QueryRunner runner) {
    m_requests->setQueryRunner(std::move(runner));
}

std::optional<Dispatcher::Sender> Dispatcher::SenderOf(const QString &tag) {
    for (const TagEntry &e : kTagTable) {
        if (tag == QStringView(e.tag))
            return e.sentBy;
    }
    return std::nullopt;
}

QStringList Dispatcher::KnownTags() {
    QStringList tags;
    for (const TagEntry &e : kTagTable)
        tags.append(QString::fromUtf16(e.tag));
    return tags;
}

void Dispatcher::registerHandler(const QString &tag, Handler handler) {
    m_handlers.insert(tag, std::move(handler));
}

void Dispatcher::unregisterHandler(const QString &tag) {
    m_handlers.remove(tag);
}

void Dispatcher::resetQuery() {
    m_queryExpected = 0;
    m_queryRows.clear();
}

void Dispatcher::ProcessIncoming(QString &buffer, int source) {
    const QLatin1String end(WireFormat::kLineEnd);
    for (qsizetype cut = buffer.indexOf(end); cut >= 0; cut = buffer.indexOf(end)) {
        const QString line = buffer.left(cut);
        buffer.remove(0, cut + end.size());
        handleLine(line, source);
    }
}

void Dispatcher::handleLine(const QString &line, int source) {
    m_session.LogReceived(source == -1 ? QStringLiteral("主机: ") + line
                                       : QStringLiteral("连线(%1): ").arg(source) + line);
    const WireFormat::Line parts = WireFormat::SplitLine(line);
    if (parts.tag.isEmpty())
        return;
    const IncomingLine incoming{parts.tag, parts.payload, source};
    // A connection that has not joined may only join: it is nobody in the session yet.
    if (fromMember(incoming) && !m_session.members().contains(source) &&
        parts.tag != QStringLiteral("[加入]"))
        return;
    const std::optional<Sender> sentBy = SenderOf(parts.tag);
    if (!sentBy) {
        // Not a tag of the table: a tool may still have registered it as its own.
        runHandler(parts.tag, parts.payload, source);
        return;
    }
    const bool fromAMember = fromMember(incoming);
    if (*sentBy == Sender::Host && fromAMember)
        return; // a member may not clear or rewrite the host's state
    if (*sentBy == Sender::Member && !m_session.isHost())
        return;

    static const QHash<QString, Action> actions{
        {QStringLiteral("[加入]"), &Dispatcher::onJoin},
        {QStringLiteral("[拒绝加入]"), &Dispatcher::onRefused},
        {QStringLiteral("[逐出]"), &Dispatcher::onKicked},
        {QStringLiteral("[连接断开]"), &Dispatcher::onConnectionLost},
        {QStringLiteral("[清除ID列表]"), &Dispatcher::onClearList},
        {QStringLiteral("[人名]"), &Dispatcher::onName},
        {QStringLiteral("[连接号]"), &Dispatcher::onOwnNumber},
        {QStringLiteral("[平台名称]"), &Dispatcher::onPlatformName},
        {QStringLiteral("[定制信息]"), &Dispatcher::onToolOnly},
        {QStringLiteral("[消息]"), &Dispatcher::onMessage},
        {QStringLiteral("[悄悄话]"), &Dispatcher::onWhisper},
        {QStringLiteral("[通知]"), &Dispatcher::onToolOnly},
        {QStringLiteral("[画笔]"), &Dispatcher::onBrush},
        {QStringLiteral("[直线]"), &Dispatcher::onLine},
        {QStringLiteral("[清除图片]"), &Dispatcher::onClearPicture},
        {QStringLiteral("[记录]"), &Dispatcher::onRecord},
        {QStringLiteral("[记录结果]"), &Dispatcher::onRecordResult},
        {QStringLiteral("[查询]"), &Dispatcher::onQuery},
        {QStringLiteral("[查询条数]"), &Dispatcher::onQueryCount},
    };
    const auto action = actions.constFind(parts.tag);
    if (action != actions.cend())
        (this->*action.value())(incoming);
}

bool Dispatcher::fromMember(const IncomingLine &line) const {
    // On a host every line from a socket comes from a member's slot; -1 is text fed locally.
    return m_session.isHost() && line.source >= 0;
}

void Dispatcher::runHandler(const QString &tag, const QString &payload, int source) {
    const auto handler = m_handlers.constFind(tag);
    if (handler == m_handlers.cend())
        return;
    // Copy first: the handler may register or unregister handlers.
    const Handler run = handler.value();
    run(IncomingLine{tag, payload, source});
}

std::optional<int> Dispatcher::numberAt(const QString &payload) const {
    const auto number = WireFormat::ToInt16(FieldAt(payload, 1));
    if (!number)
        return std::nullopt;
    return int(*number);
}

void Dispatcher::onJoin(const IncomingLine &line) {
    // One join per connection: a member that joins again cannot rename itself or replay the reply.
    if (fromMember(line) && m_session.members().contains(line.source))
        return;
    const QString &id = line.payload;
    if (fromMember(line) && id.size() > Session::kMaxIdLength) {
        // Every member gets the ID back in the member list: a name that long only serves to make
        // lines longer than members accept.
        m_session.AppendStatus(QStringLiteral("连线(%1) 的登录帐号超过 %2 个字符，已断开")
                                   .arg(line.source)
                                   .arg(Session::kMaxIdLength));
        m_session.sockets().closeSlot(line.source);
        return;
    }
    m_session.AppendStatus(id + QStringLiteral("加入"));
    runHandler(line.tag, line.payload, line.source);
    if (!fromMember(line))
        return;
    const int n = line.source;
    // Everyone who joined before, then the newcomer itself: its own announcement opens its reply.
    m_session.SendToAllMembers(QStringLiteral("[加入]") + id);
    m_session.QueueMessage(QStringLiteral("[加入]") + id, n);
    m_session.members().AddMember(n, id);
    // The newcomer gets the whole list at once; the others are brought up to it once joins have
    // settled, so a burst of joins does not resend the growing list to everyone for each of them.
    m_session.host().memberListChanged(n);
    m_session.host().SendMemberListTo(n);
    m_session.QueueMessage(QStringLiteral("[连接号]") + QString::number(n), n);
    m_session.QueueMessage(QStringLiteral("[平台名称]") + m_session.platformName(), n);
    m_session.QueueMessage(QStringLiteral("[定制信息]") + m_session.customisationText(), n);
    if (m_session.config().blackList.contains(m_session.host().RemoteAddress(n)))
        m_session.host().RefuseJoin(n);
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
    if (!n)
        return;
    m_session.setOwnNumber(*n);
    m_session.showCaption();
}

void Dispatcher::onPlatformName(const IncomingLine &line) {
    m_session.receivePlatformName(line.payload);
    m_session.showCaption();
}

void Dispatcher::onMessage(const IncomingLine &line) {
    runHandler(line.tag, line.payload, line.source);
    if (fromMember(line))
        m_session.RelayExcept(QStringLiteral("[消息]") + line.payload, line.source);
}

void Dispatcher::onWhisper(const IncomingLine &line) {
    const auto count = WireFormat::ToInt16(FieldAt(line.payload, 1));
    if (!count)
        return;
    const QString display = FieldsFrom(line.payload, *count + 2);
    // Each recipient gets the line once, however often the payload names it.
    QSet<int> reached;
    for (int k = 2; k <= *count + 1; ++k) {
        const QString field = FieldAt(line.payload, k);
        if (field.isEmpty())
            break; // the payload ran out of recipients
        const auto id = WireFormat::ToInt16(field);
        if (!id || reached.contains(*id))
            continue;
        reached.insert(*id);
        if (*id == MemberList::kHostNumber) {
            runHandler(QStringLiteral("[消息]"), display, line.source);
            runHandler(QStringLiteral("[通知]"), QString(), line.source);
        } else if (*id != line.source && *id >= 1 && m_session.members().contains(*id)) {
            // Only to members on the list: a number nobody holds would wait in the queue for good.
            m_session.QueueMessage(QStringLiteral("[消息]") + display, *id);
            m_session.QueueMessage(QStringLiteral("[通知]"), *id);
        }
    }
}

void Dispatcher::onBrush(const IncomingLine &line) {
    const auto value = WireFormat::ToInt16(line.payload);
    int index = value ? int(*value) : 0;
    if (index < 0 || index > m_brushCount - 1)
        index = 0;
    const QString used = QString::number(index);
    runHandler(line.tag, used, line.source);
    if (fromMember(line))
        m_session.SendToAllMembers(QStringLiteral("[画笔]") + used);
}

void Dispatcher::onLine(const IncomingLine &line) {
    runHandler(line.tag, line.payload, line.source);
    if (fromMember(line))
        m_session.SendToAllMembers(QStringLiteral("[直线]") + line.payload);
}

void Dispatcher::onClearPicture(const IncomingLine &line) {
    runHandler(line.tag, line.payload, line.source);
    if (fromMember(line))
        m_session.RelayExcept(QStringLiteral("[清除图片]"), line.source);
}

void Dispatcher::onRecord(const IncomingLine &line) {
    // Served later, one request at a time; never from inside the handling of this line.
    if (m_requests->hasRecordStore())
        m_requests->submitRecord(line.payload, line.source);
}

void Dispatcher::onRecordResult(const IncomingLine &line) {
    m_session.showTip(line.payload);
    runHandler(line.tag, line.payload, line.source);
}

void Dispatcher::onQuery(const IncomingLine &line) {
    if (m_session.isHost()) {
        if (m_requests->hasQueryRunner() && line.source >= 1)
            m_requests->submitQuery(line.payload, line.source);
        return;
    }
    m_queryRows.append(line.payload);
    if (m_queryRows.size() != m_queryExpected)
        return;
    m_session.showTip(QString::number(m_queryExpected) + kRecordsSuffix);
    const QStringList rows = m_queryRows;
    resetQuery();
    emit queryResultsReady(rows);
}

void Dispatcher::onQueryCount(const IncomingLine &line) {
    const auto count = WireFormat::ToInt16(line.payload);
    if (!count || *count < 0)
        return;
    // A new answer starts: rows left over from an earlier, incomplete one are not counted in.
    m_queryRows.clear();
    m_queryExpected = *count;
    m_session.showTip(QString::number(*count) + kRecordsSuffix);
}

void Dispatcher::onToolOnly(const IncomingLine &line) {
    runHandler(line.tag, line.payload, line.source);
}
