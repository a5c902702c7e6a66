#pragma once

#include <QIcon>

namespace AppIcon {
// The program's icon, drawn at start so no image file has to be found.
QIcon icon();
} // namespace AppIcon
