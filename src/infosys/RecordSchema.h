#pragma once

#include <QString>

#include <array>

// What the information system's records describe: a system name and the names of the eleven
// attributes. Attribute 10 ("录入者", the computer a record was typed on) is never customised.
struct RecordSchema {
    static constexpr int kAttributeCount = 11;
    static constexpr int kCustomisable = 10;

    QString systemName;
    std::array<QString, kAttributeCount> attributes;

    bool operator==(const RecordSchema &) const = default;
};

namespace RecordSchemaText {

// The schema a new installation starts with.
RecordSchema designed();

// Names travel joined with "|", so a "|" inside a name would split it in two: it is replaced by the
// full-width bar "｜", which reads the same.
QString cleanName(const QString &name);

// The host's customisation message payload: system name, then attributes 0..9, joined with "|".
QString customisationText(const RecordSchema &schema);
// Applies a received customisation payload. Fields that are missing leave their name unchanged.
void applyCustomisationText(const QString &payload, RecordSchema &schema);

} // namespace RecordSchemaText
