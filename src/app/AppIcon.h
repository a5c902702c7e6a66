#pragma once

#include <QIcon>

namespace AppIcon {
// The program's icon, built into the executable so no image file has to be found.
QIcon icon();
} // namespace AppIcon
