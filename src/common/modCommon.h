#pragma once

#include "platform/text/ChineseScript.h"

#include <QString>
#include <QStringList>

// Small stateless routines shared by every tool. None shows a message; each returns a plain result.
namespace modCommon {

// Separator of the platform's paths: "/" here, "\" on Windows.
QChar PathSeparator();

// folder + name with one separator between them; every run of separators collapsed to one.
QString JoinPath(const QString &folder, const QString &name);
// Trims blanks at both ends, then replaces doubled separators by single ones until nothing changes.
QString CollapseRepeats(const QString &text, const QString &separator);
// One value of an INI file: the default when the key is missing or empty, otherwise the whole value
// without trailing blanks (no 255-character cap: a cut list would lose items and cut numbers).
QString ReadSetting(const QString &file, const QString &section, const QString &key,
                    const QString &defaultValue);

// Four dot-separated parts, each of one to three digits with a value below 256, after trimming.
bool IsIPv4Address(const QString &text);

bool ArrayContains(const QString &value, const QStringList &array);
bool ArrayIsEmpty(const QStringList &array);
// Keeps the first occurrence of each value, in order.
void RemoveDuplicates(QStringList &array);

// A Chinese character is one from U+4E00 to U+9FA5 inclusive.
bool IsChineseCharacter(QChar c);
bool ContainsChinese(const QString &text);
int CountChinese(const QString &text);
bool IsLettersOnly(const QString &text);
// direction 0 = to simplified, 1 = to traditional. Words are converted as words (沉降 stays 沉降,
// 制图 becomes 製圖), the rest character by character; only ideographs change. `fits` may refuse a
// converted character (one the target's code page lacks): the original one then stays.
QString ConvertChineseScript(const QString &text, int direction, const tavlo::text::CharacterFits &fits = {});

// A number as a user types it: optional sign, digits with an optional decimal point, optional exponent.
bool IsNumeric(const QString &text, double *value = nullptr);
bool IsWholeNumber(const QString &text);
// Every character an ASCII digit or letter; an empty text counts as code text.
bool IsCodeText(const QString &text);

QString ParentFolder(const QString &path);
// The next-to-last piece between separators: a folder path ending in a separator gives the folder's name.
QString LastPathSegment(const QString &path);
bool FolderExists(const QString &path);

} // namespace modCommon
