#pragma once

#include "TextCodec.h"

#include <QString>
#include <QStringList>

namespace tavlo::text {

// An INI text kept line by line, so sections, keys, comments and order that the program does not know
// survive a rewrite. Sections and keys are matched without regard to case or surrounding blanks, as
// the Windows profile functions match them.
class IniFile {
public:
    IniFile() = default;

    // A missing or unreadable file gives an empty document that saves as a new UTF-8 file.
    static IniFile load(const QString &path);
    static IniFile parse(const QString &text);

    bool contains(const QString &section, const QString &key) const;
    // The value with surrounding blanks removed; empty when the key is missing.
    QString value(const QString &section, const QString &key) const;
    // Replaces the key's line, or adds the key at the end of its section (the section at the end of
    // the file when missing). Line breaks in the value are replaced by blanks so one key stays one line.
    void setValue(const QString &section, const QString &key, const QString &value);

    QString toText() const;
    // Saves atomically in the encoding the file was read in.
    bool save(const QString &path, QString *error = nullptr) const;

    Encoding encoding() const { return m_encoding; }

private:
    int sectionLine(const QString &section) const;
    int keyLine(int sectionIndex, const QString &key) const;
    int sectionEnd(int sectionIndex) const;

    QStringList m_lines;
    QString m_lineEnd = QStringLiteral("\n");
    Encoding m_encoding = Encoding::Utf8;
    bool m_endsWithNewline = true;
};

} // namespace tavlo::text
