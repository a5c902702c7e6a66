#include "ChatRoutes.h"

#include "session/Dispatcher.h"
#include "session/MemberList.h"
#include "session/ProtocolTags.h"
#include "session/Session.h"
#include "session/WireFormat.h"

#include <QSet>

namespace Tags = ProtocolTags;

namespace ChatRoutes {

std::optional<Whisper> ReadWhisper(const QString &payload) {
    const auto count = WireFormat::ToInt16(WireFormat::FieldAt(payload, 1));
    if (!count)
        return std::nullopt;
    Whisper whisper{WireFormat::FieldsFrom(payload, *count + 2), {}};
    QSet<int> named;
    for (int k = 2; k <= *count + 1; ++k) {
        const QString field = WireFormat::FieldAt(payload, k);
        if (field.isEmpty())
            break; // the payload ran out of recipients
        const auto id = WireFormat::ToInt16(field);
        if (!id || named.contains(*id))
            continue;
        named.insert(*id);
        whisper.recipients.append(*id);
    }
    return whisper;
}

int UsedBrush(const QString &payload, int brushCount) {
    const auto value = WireFormat::ToInt16(payload);
    const int index = value ? int(*value) : 0;
    return index < 0 || index > brushCount - 1 ? 0 : index;
}

void routeChat(Session &session, ChatScreen screen) {
    Router &router = session.router();
    router.route(Tags::kMessage.text, [&session, screen](const IncomingLine &line) {
        screen.showMessage(line.payload);
        if (line.fromMember)
            session.RelayExcept(Tags::kMessage.line(line.payload), line.source);
    });
    router.route(Tags::kNotify.text, [screen](const IncomingLine &) { screen.notify(); });
    router.route(Tags::kWhisper.text, [&session, screen](const IncomingLine &line) {
        const std::optional<Whisper> whisper = ReadWhisper(line.payload);
        if (!whisper)
            return;
        for (const int id : whisper->recipients) {
            if (id == MemberList::kHostNumber) {
                screen.showMessage(whisper->display);
                screen.notify();
            } else if (id != line.source && id >= 1 && session.members().contains(id)) {
                // Only to members on the list: a number nobody holds would wait in the queue for good.
                session.QueueMessage(Tags::kMessage.line(whisper->display), id);
                session.QueueMessage(Tags::kNotify.line(), id);
            }
        }
    });
}

void routeWhiteboard(Session &session, BoardScreen screen) {
    Router &router = session.router();
    router.route(Tags::kBrush.text, [&session, screen](const IncomingLine &line) {
        const int index = UsedBrush(line.payload, screen.brushCount());
        screen.setBrush(index);
        if (line.fromMember)
            session.SendToAllMembers(Tags::kBrush.line(QString::number(index)));
    });
    router.route(Tags::kLine.text, [&session, screen](const IncomingLine &line) {
        screen.drawLine(line.payload);
        if (line.fromMember)
            session.SendToAllMembers(Tags::kLine.line(line.payload));
    });
    router.route(Tags::kClearPicture.text, [&session, screen](const IncomingLine &line) {
        screen.clear();
        if (line.fromMember)
            session.RelayExcept(Tags::kClearPicture.line(), line.source);
    });
}

} // namespace ChatRoutes
