#pragma once

#include <QString>

namespace SystemInfo {

// A few lines on the operating system, kernel, processor, memory and Qt; empty when the system
// tells nothing about itself.
QString describe();

// The value of the first "name : value" line with that name in a /proc style text.
QString procField(const QString &text, const QString &name);

} // namespace SystemInfo
