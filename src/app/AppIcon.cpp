#include "AppIcon.h"

namespace AppIcon {

QIcon icon() {
    // The same pictures the package installs into the icon theme (packaging/icons), built in.
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        result.addFile(QStringLiteral(":/tavlo/icons/%1x%1.png").arg(size), QSize(size, size));
    return result;
}

} // namespace AppIcon
