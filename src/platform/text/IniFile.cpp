#include "IniFile.h"

#include "AtomicFile.h"

#include <QFile>

#include <algorithm>

namespace tavlo::text {

namespace {

bool isSectionHeader(const QString &line, QString *name = nullptr) {
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return false;
    const qsizetype close = t.indexOf(u']');
    if (close < 0)
        return false;
    if (name)
        *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool isKeyLine(const QString &line, QString *key = nullptr, QString *value = nullptr) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
        return false;
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0)
        return false;
    if (key)
        *key = t.left(eq).trimmed();
    if (value)
        *value = t.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile IniFile::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromBytes(file.readAll());
}

IniFile IniFile::parse(const QString &text) {
    return fromBytes(text.toUtf8());
}

IniFile IniFile::fromBytes(const QByteArray &bytes) {
    IniFile ini;
    QByteArray body = bytes;
    const Encoding bomEncoding = encodingOfBom(bytes);
    if (bomEncoding != Encoding::Utf8) {
        ini.m_bom = bytes.left(bomLength(bomEncoding));
        body = bytes.mid(ini.m_bom.size());
    }
    const bool utf16 = bomEncoding == Encoding::Utf16Le || bomEncoding == Encoding::Utf16Be;
    // UTF-16 is split after decoding (its code units hold zero bytes); the other encodings keep CR and LF
    // as plain bytes that no multi-byte character contains, so their lines are cut from the bytes.
    const QByteArray splittable = utf16 ? decodeWithoutBom(body, bomEncoding).toUtf8() : body;

    // Each line is classed first: UTF-8 with three- or four-byte sequences (Chinese in UTF-8) is taken
    // as UTF-8; bytes that are not UTF-8 are GB18030. A line that is valid UTF-8 with only two-byte
    // sequences is ambiguous (many GBK words, such as 图纸, are also valid UTF-8) and follows the evidence
    // of the rest of the file.
    enum class Kind { Ascii, Utf8, Ambiguous, Gb18030 };
    QList<Kind> kinds;
    int utf8Lines = 0;
    int gbLines = 0;
    int crlf = 0, lf = 0, cr = 0;
    qsizetype start = 0;
    auto add = [&](qsizetype end, qsizetype endLength) {
        const QByteArray content = splittable.mid(start, end - start);
        Line line;
        line.ended = endLength > 0;
        Kind kind = Kind::Ascii;
        if (utf16) {
            line.text = QString::fromUtf8(content);
            line.raw = encodeWithoutBom(line.text + QString::fromLatin1(splittable.mid(end, endLength)),
                                        bomEncoding);
        } else {
            line.raw = splittable.mid(start, end - start + endLength);
            const bool ascii = std::all_of(content.begin(), content.end(),
                                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
            const bool longSequences = std::any_of(
                content.begin(), content.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
            if (ascii)
                kind = Kind::Ascii;
            else if (!isValidUtf8(content))
                kind = Kind::Gb18030;
            else
                kind = longSequences ? Kind::Utf8 : Kind::Ambiguous;
            utf8Lines += kind == Kind::Utf8 ? 1 : 0;
            gbLines += kind == Kind::Gb18030 ? 1 : 0;
        }
        kinds.append(kind);
        ini.m_lines.append(line);
        start = end + endLength;
    };
    for (qsizetype i = 0; i < splittable.size(); ++i) {
        const char c = splittable[i];
        if (c == '\r' && i + 1 < splittable.size() && splittable[i + 1] == '\n') {
            ++crlf;
            add(i, 2);
            ++i;
        } else if (c == '\r') {
            ++cr;
            add(i, 1);
        } else if (c == '\n') {
            ++lf;
            add(i, 1);
        }
    }
    if (start < splittable.size())
        add(splittable.size(), 0);

    const bool mostlyGb = gbLines > utf8Lines;
    for (int i = 0; i < ini.m_lines.size() && !utf16; ++i) {
        Line &line = ini.m_lines[i];
        const QByteArray content = line.raw.left(line.raw.size() - (line.raw.endsWith("\r\n") ? 2
                                                                    : line.ended              ? 1
                                                                                              : 0));
        const bool gb = kinds[i] == Kind::Gb18030 || (kinds[i] == Kind::Ambiguous && mostlyGb);
        line.text = gb ? fromWire(content) : QString::fromUtf8(content);
    }

    if (crlf >= lf && crlf >= cr && crlf > 0)
        ini.m_lineEnd = QStringLiteral("\r\n");
    else if (cr > lf)
        ini.m_lineEnd = QStringLiteral("\r");
    if (bomEncoding != Encoding::Utf8)
        ini.m_encoding = bomEncoding;
    else
        ini.m_encoding = mostlyGb ? Encoding::Gb18030 : Encoding::Utf8;
    return ini;
}

int IniFile::sectionLine(const QString &section) const {
    QString name;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (isSectionHeader(m_lines[i].text, &name) && sameName(name, section))
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int sectionIndex) const {
    int i = sectionIndex + 1;
    while (i < m_lines.size() && !isSectionHeader(m_lines[i].text))
        ++i;
    return i;
}

int IniFile::keyLine(int sectionIndex, const QString &key) const {
    if (sectionIndex < 0)
        return -1;
    const int end = sectionEnd(sectionIndex);
    QString name;
    for (int i = sectionIndex + 1; i < end; ++i) {
        if (isKeyLine(m_lines[i].text, &name) && sameName(name, key))
            return i;
    }
    return -1;
}

bool IniFile::contains(const QString &section, const QString &key) const {
    return keyLine(sectionLine(section), key) >= 0;
}

QString IniFile::value(const QString &section, const QString &key) const {
    const int line = keyLine(sectionLine(section), key);
    QString value;
    if (line >= 0)
        isKeyLine(m_lines[line].text, nullptr, &value);
    return value;
}

void IniFile::insertLine(int index, const QString &text) {
    Line line;
    line.text = text;
    if (index == m_lines.size() && !m_lines.isEmpty() && !m_lines.last().ended) {
        // The file ended without a line end: the old last line gets one, the new line takes its place
        // as the unterminated end.
        Line &last = m_lines.last();
        last.ended = true;
        if (!last.raw.isEmpty())
            last.raw += encodeWithoutBom(m_lineEnd, m_encoding);
        line.ended = false;
    }
    m_lines.insert(index, line);
}

void IniFile::replaceLine(int index, const QString &text) {
    m_lines[index].text = text;
    m_lines[index].raw.clear();
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value) {
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key + u'=' + clean;

    int header = sectionLine(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().text.trimmed().isEmpty())
            insertLine(int(m_lines.size()), QString());
        insertLine(int(m_lines.size()), u'[' + section + u']');
        insertLine(int(m_lines.size()), line);
        return;
    }
    const int existing = keyLine(header, key);
    if (existing >= 0) {
        QString oldKey;
        QString oldValue;
        isKeyLine(m_lines[existing].text, &oldKey, &oldValue);
        if (oldValue == clean.trimmed())
            return;
        replaceLine(existing, oldKey + u'=' + clean);
        return;
    }
    // After the section's last non-blank line, so a blank line that separates sections stays put.
    int insertAt = sectionEnd(header);
    while (insertAt - 1 > header && m_lines[insertAt - 1].text.trimmed().isEmpty())
        --insertAt;
    insertLine(insertAt, line);
}

QString IniFile::toText() const {
    QString text;
    for (const Line &line : m_lines) {
        text += line.text;
        if (line.ended)
            text += m_lineEnd;
    }
    return text;
}

QByteArray IniFile::toBytes() const {
    QByteArray bytes = m_bom;
    if (bytes.isEmpty() && m_encoding == Encoding::Utf8Bom)
        bytes = bomOf(m_encoding);
    for (const Line &line : m_lines) {
        if (!line.raw.isEmpty())
            bytes += line.raw;
        else
            bytes += encodeWithoutBom(line.ended ? line.text + m_lineEnd : line.text, m_encoding);
    }
    return bytes;
}

bool IniFile::save(const QString &path, QString *error) const {
    return writeFileAtomically(path, toBytes(), error);
}

} // namespace tavlo::text
