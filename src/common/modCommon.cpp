#include "modCommon.h"

#include "platform/text/ChineseScript.h"
#include "platform/text/IniFile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace modCommon {

QChar PathSeparator() {
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

QString JoinPath(const QString &folder, const QString &name) {
    const QChar sep = PathSeparator();
    const QString joined =
        (folder.endsWith(sep) || name.startsWith(sep)) ? folder + name : folder + sep + name;
    return CollapseRepeats(joined, QString(sep));
}

QString CollapseRepeats(const QString &text, const QString &separator) {
    QString result = text.trimmed();
    if (separator.isEmpty())
        return result;
    const QString doubled = separator + separator;
    qsizetype before;
    do {
        before = result.size();
        result.replace(doubled, separator);
    } while (result.size() != before);
    return result;
}

QString ReadSetting(const QString &file, const QString &section, const QString &key,
                    const QString &defaultValue) {
    // The whole value: a profile buffer of 256 characters would cut long lists (the pending-upload rows)
    // in the middle of a number.
    const QString value = tavlo::text::IniFile::load(file).value(section, key);
    if (value.isEmpty())
        return defaultValue;
    qsizetype end = value.size();
    while (end > 0 && value[end - 1].isSpace())
        --end;
    return value.left(end);
}

bool IsIPv4Address(const QString &text) {
    // Whole-string matches: "$" alone would also match before a final line break.
    static const QRegularExpression part(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{1,3}")));
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QStringList parts = trimmed.split(u'.');
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        if (!part.match(p).hasMatch() || p.toInt() > 255)
            return false;
    }
    return true;
}

bool ArrayContains(const QString &value, const QStringList &array) {
    return array.contains(value);
}

bool ArrayIsEmpty(const QStringList &array) {
    return array.isEmpty();
}

void RemoveDuplicates(QStringList &array) {
    QSet<QString> seen;
    QStringList kept;
    for (const QString &item : std::as_const(array)) {
        if (!seen.contains(item)) {
            seen.insert(item);
            kept.append(item);
        }
    }
    array = kept;
}

bool IsChineseCharacter(QChar c) {
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5;
}

bool ContainsChinese(const QString &text) {
    return std::any_of(text.begin(), text.end(), IsChineseCharacter);
}

int CountChinese(const QString &text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), IsChineseCharacter));
}

bool IsLettersOnly(const QString &text) {
    static const QRegularExpression letters(QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z]+")));
    return letters.match(text).hasMatch();
}

QString ConvertChineseScript(const QString &text, int direction, const tavlo::text::CharacterFits &fits) {
    const auto target = direction == 0 ? tavlo::text::Script::Simplified : tavlo::text::Script::Traditional;
    return tavlo::text::convertChineseText(text, target, fits);
}

bool IsNumeric(const QString &text, double *value) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return false;
    bool ok = false;
    const double v = trimmed.toDouble(&ok);
    if (ok && value)
        *value = v;
    return ok;
}

bool IsWholeNumber(const QString &text) {
    double value = 0;
    return IsNumeric(text, &value) && std::floor(value) == value;
}

bool IsCodeText(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
    });
}

QString ParentFolder(const QString &path) {
    const qsizetype last = path.lastIndexOf(PathSeparator());
    return last < 0 ? QString() : path.left(last);
}

QString LastPathSegment(const QString &path) {
    const QStringList pieces = path.split(PathSeparator());
    return pieces.size() < 2 ? QString() : pieces.at(pieces.size() - 2);
}

bool FolderExists(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace modCommon
