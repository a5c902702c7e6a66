#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Every tag of the session's protocol, with the direction it travels and who may send it. Lines are
// built and compared through these constants only; the dispatcher reads the sender column to ignore a
// tag that came from the wrong side.
namespace ProtocolTags {

enum class Sender {
    Host,   // host -> member only; a host ignores it from a member
    Member, // member -> host only; a member ignores it
    Either  // both ways: a host relays what a member sends
};

struct Tag {
    QStringView text; // with its brackets, e.g. "[消息]"
    Sender sentBy;

    QString toString() const { return text.toString(); }
    // The protocol line: the tag followed by its payload.
    QString line(QStringView payload = {}) const {
        QString out;
        out.reserve(text.size() + payload.size());
        out.append(text);
        out.append(payload);
        return out;
    }
    bool operator==(QStringView other) const { return text == other; }
};

// Joining and the member list.
inline constexpr Tag kJoin{u"[加入]", Sender::Either};
inline constexpr Tag kRefused{u"[拒绝加入]", Sender::Host};
inline constexpr Tag kKicked{u"[逐出]", Sender::Host};
inline constexpr Tag kConnectionLost{u"[连接断开]", Sender::Host};
inline constexpr Tag kClearList{u"[清除ID列表]", Sender::Host};
inline constexpr Tag kName{u"[人名]", Sender::Host};
inline constexpr Tag kOwnNumber{u"[连接号]", Sender::Host};
inline constexpr Tag kPlatformName{u"[平台名称]", Sender::Host};
inline constexpr Tag kCustomisation{u"[定制信息]", Sender::Host};
// Chat.
inline constexpr Tag kMessage{u"[消息]", Sender::Either};
inline constexpr Tag kWhisper{u"[悄悄话]", Sender::Member};
inline constexpr Tag kNotify{u"[通知]", Sender::Host};
// Whiteboard.
inline constexpr Tag kBrush{u"[画笔]", Sender::Either};
inline constexpr Tag kLine{u"[直线]", Sender::Either};
inline constexpr Tag kClearPicture{u"[清除图片]", Sender::Either};
// Information system.
inline constexpr Tag kRecord{u"[记录]", Sender::Member};
inline constexpr Tag kRecordResult{u"[记录结果]", Sender::Host};
inline constexpr Tag kQuery{u"[查询]", Sender::Either};
inline constexpr Tag kQueryCount{u"[查询条数]", Sender::Host};

inline constexpr Tag kAll[] = {
    kJoin,         kRefused,       kKicked,       kConnectionLost, kClearList,  kName,  kOwnNumber,
    kPlatformName, kCustomisation, kMessage,      kWhisper,        kNotify,     kBrush, kLine,
    kClearPicture, kRecord,        kRecordResult, kQuery,          kQueryCount,
};

// Who may send a tag; empty for a tag that is not in the table (a tool may still route it).
std::optional<Sender> SenderOf(QStringView tag);
QStringList KnownTags();

} // namespace ProtocolTags
