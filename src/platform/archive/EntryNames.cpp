#include "EntryNames.h"

#include "platform/text/TextCodec.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace tavlo::archive {

namespace {

bool isAscii(const QByteArray &bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool hasDriveLetter(const QString &name) {
    return name.size() >= 2 && name[1] == u':' && name[0].isLetter() && name[0].unicode() < 0x80;
}

// Chinese written as UTF-8 takes three bytes a character, each led by a byte of E0 or more; GBK text
// is valid UTF-8 only by chance, and then through two-byte sequences ("图纸" is CD BC D6 BD).
bool hasLongUtf8Sequence(const QByteArray &bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
}

} // namespace

QString decodeEntryName(const QByteArray &raw, bool utf8Flag) {
    if (isAscii(raw))
        return QString::fromUtf8(raw);
    // Unmarked names come from Chinese Windows as GBK, but Info-ZIP and other Linux tools store UTF-8
    // without the mark: those are recognised by their three-byte sequences.
    if (text::isValidUtf8(raw) && (utf8Flag || hasLongUtf8Sequence(raw)))
        return QString::fromUtf8(raw);
    return text::fromWire(raw);
}

ResolvedPath resolveEntryPath(const QString &name) {
    ResolvedPath result;
    QString normal = name;
    normal.replace(u'\\', u'/');
    if (normal.startsWith(u'/') || hasDriveLetter(normal)) {
        result.check = PathCheck::Absolute;
        return result;
    }
    result.isFolder = normal.endsWith(u'/');
    QStringList parts;
    for (const QString &part : normal.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u'.')
            continue;
        if (part == QLatin1String("..")) {
            if (parts.isEmpty()) {
                result.check = PathCheck::Escapes;
                return result;
            }
            parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    if (parts.isEmpty()) {
        result.check = PathCheck::Empty;
        return result;
    }
    result.check = PathCheck::Safe;
    result.relative = parts.join(u'/');
    return result;
}

QString numberedName(const QString &folder, const QString &fileName) {
    // The extension is what follows the last dot, as the Windows shell numbers copies; a name whose
    // only dot leads it (".profile") has none.
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const bool hasExtension = dot > 0;
    const QString base = hasExtension ? fileName.left(dot) : fileName;
    const QString extension = hasExtension ? fileName.mid(dot) : QString();
    const QDir dir(folder);
    for (int n = 2;; ++n) {
        const QString candidate = base + QStringLiteral(" (") + QString::number(n) + u')' + extension;
        const QFileInfo info(dir.filePath(candidate));
        if (!info.exists() && !info.isSymLink())
            return candidate;
    }
}

} // namespace tavlo::archive
