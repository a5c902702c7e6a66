#include "ProtocolTags.h"

namespace ProtocolTags {

std::optional<Sender> SenderOf(QStringView tag) {
    for (const Tag &t : kAll) {
        if (t.text == tag)
            return t.sentBy;
    }
    return std::nullopt;
}

QStringList KnownTags() {
    QStringList tags;
    for (const Tag &t : kAll)
        tags.append(t.toString());
    return tags;
}

} // namespace ProtocolTags
