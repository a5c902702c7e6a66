#pragma once

#include "TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tavlo::text {

// An INI text kept line by line, so sections, keys, comments and order that the program does not know
// survive a rewrite. Sections and keys are matched without regard to case or surrounding blanks, as
// the Windows profile functions match them.
//
// Files edited by hand often mix encodings (a UTF-8 file with one comment typed in a GBK editor), so
// each line is decoded on its own: UTF-8 when its bytes are valid UTF-8, else GB18030. A line the
// program does not change is written back with exactly the bytes it was read with, line end included;
// new and changed lines take the file's main encoding and line end. A UTF-16 file (with its byte order
// mark) is read as UTF-16 and stays UTF-16. CR LF, LF and a lone CR all end a line.
class IniFile {
public:
    IniFile() = default;

    // A missing or unreadable file gives an empty document that saves as a new UTF-8 file.
    static IniFile load(const QString &path);
    static IniFile fromBytes(const QByteArray &bytes);
    static IniFile parse(const QString &text);

    bool contains(const QString &section, const QString &key) const;
    // The value with surrounding blanks removed; empty when the key is missing.
    QString value(const QString &section, const QString &key) const;
    // Replaces the key's line, or adds the key at the end of its section (the section at the end of
    // the file when missing). Line breaks in the value are replaced by blanks so one key stays one line.
    // A key that already holds the value keeps its line (and its bytes) as they are.
    void setValue(const QString &section, const QString &key, const QString &value);

    QString toText() const;
    QByteArray toBytes() const;
    // Saves atomically; false with the reason in *error when the file could not be written, the old
    // file then being left as it was.
    bool save(const QString &path, QString *error = nullptr) const;

    // The main encoding: the one new and changed lines are written in.
    Encoding encoding() const { return m_encoding; }

private:
    struct Line {
        QString text;
        QByteArray raw;    // the bytes read, line end included; empty for a new or changed line
        bool ended = true; // followed by a line end
    };

    int sectionLine(const QString &section) const;
    int keyLine(int sectionIndex, const QString &key) const;
    int sectionEnd(int sectionIndex) const;
    void insertLine(int index, const QString &text);
    void replaceLine(int index, const QString &text);

    QList<Line> m_lines;
    QString m_lineEnd = QStringLiteral("\n");
    Encoding m_encoding = Encoding::Utf8;
    QByteArray m_bom; // the byte order mark the file started with
};

} // namespace tavlo::text
