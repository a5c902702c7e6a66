#include "InfoRoutes.h"

#include "session/Dispatcher.h"
#include "session/HostRequests.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

namespace Tags = ProtocolTags;

namespace {

const QString kRecordsSuffix = QStringLiteral(" 条记录");

} // namespace

void QueryRows::expect(int count) {
    m_rows.clear();
    m_expected = count;
}

std::optional<QStringList> QueryRows::add(const QString &row) {
    m_rows.append(row);
    if (m_rows.size() != m_expected)
        return std::nullopt;
    const QStringList rows = m_rows;
    reset();
    return rows;
}

void QueryRows::reset() {
    m_expected = 0;
    m_rows.clear();
}

InfoRoutes::InfoRoutes(Session &session, Screen screen, QObject *parent)
    : QObject(parent)
    , m_session(&session)
    , m_screen(std::move(screen)) {
    Router &router = session.router();
    router.route(Tags::kRecord.text, [&session](const IncomingLine &line) {
        // Served later, one request at a time; never from inside the handling of this line.
        if (session.requests().hasRecordStore())
            session.requests().submitRecord(line.payload, line.source);
    });
    router.route(Tags::kRecordResult.text, [this](const IncomingLine &line) {
        m_screen.tip(line.payload);
        m_screen.recordResult(line.payload);
    });
    router.route(Tags::kQuery.text, [this](const IncomingLine &line) { onQuery(line.payload, line.source); });
    router.route(Tags::kQueryCount.text, [this](const IncomingLine &line) { onQueryCount(line.payload); });
    // Answers to what was asked before never come once the session starts afresh.
    connect(&session, &Session::sessionReset, this, [this] { m_rows.reset(); });
}

InfoRoutes::~InfoRoutes() {
    // The session may be gone already when both belong to a window that is being destroyed.
    if (!m_session)
        return;
    for (const Tags::Tag &tag : {Tags::kRecord, Tags::kRecordResult, Tags::kQuery, Tags::kQueryCount})
        m_session->router().unroute(tag.text);
}

void InfoRoutes::onQuery(const QString &payload, int source) {
    if (m_session->isHost()) {
        if (m_session->requests().hasQueryRunner() && source >= 1)
            m_session->requests().submitQuery(payload, source);
        return;
    }
    const std::optional<QStringList> rows = m_rows.add(payload);
    if (!rows)
        return;
    m_screen.tip(QString::number(rows->size()) + kRecordsSuffix);
    m_screen.showRows(*rows);
}

void InfoRoutes::onQueryCount(const QString &payload) {
    const auto count = WireFormat::ToInt16(payload);
    if (!count || *count < 0)
        return;
    m_rows.expect(*count);
    m_screen.tip(QString::number(*count) + kRecordsSuffix);
}
