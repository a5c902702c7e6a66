#include "AtomicFile.h"

#include <QSaveFile>

namespace tavlo::text {

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error) {
    QSaveFile file(path);
    // A read-only target must not stop the save: the rename replaces it, like a profile write would.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace tavlo::text
