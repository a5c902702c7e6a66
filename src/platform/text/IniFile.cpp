#include "IniFile.h"

#include "AtomicFile.h"

#include <QFile>

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
    Encoding encoding = Encoding::Utf8;
    IniFile ini = parse(decodeFileText(file.readAll(), &encoding));
    ini.m_encoding = encoding;
    return ini;
}

IniFile IniFile::parse(const QString &text) {
    IniFile ini;
    if (text.isEmpty())
        return ini;
    ini.m_lineEnd = text.contains(QStringLiteral("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ini.m_endsWithNewline = normalised.endsWith(u'\n');
    if (ini.m_endsWithNewline)
        normalised.chop(1);
    ini.m_lines = normalised.split(u'\n');
    return ini;
}

int IniFile::sectionLine(const QString &section) const {
    QString name;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (isSectionHeader(m_lines[i], &name) && sameName(name, section))
            return i;
    }
    return -1;
}

int IniFile::sectionEnd(int sectionIndex) const {
    int i = sectionIndex + 1;
    while (i < m_lines.size() && !isSectionHeader(m_lines[i]))
        ++i;
    return i;
}

int IniFile::keyLine(int sectionIndex, const QString &key) const {
    if (sectionIndex < 0)
        return -1;
    const int end = sectionEnd(sectionIndex);
    QString name;
    for (int i = sectionIndex + 1; i < end; ++i) {
        if (isKeyLine(m_lines[i], &name) && sameName(name, key))
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
        isKeyLine(m_lines[line], nullptr, &value);
    return value;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value) {
    QString clean = value;
    clean.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString line = key + u'=' + clean;

    int header = sectionLine(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
        return;
    }
    const int existing = keyLine(header, key);
    if (existing >= 0) {
        QString oldKey;
        isKeyLine(m_lines[existing], &oldKey);
        m_lines[existing] = oldKey + u'=' + clean;
        return;
    }
    // After the section's last non-blank line, so a blank line that separates sections stays put.
    int insertAt = sectionEnd(header);
    while (insertAt - 1 > header && m_lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
}

QString IniFile::toText() const {
    QString text = m_lines.join(m_lineEnd);
    if (m_endsWithNewline && !m_lines.isEmpty())
        text += m_lineEnd;
    return text;
}

bool IniFile::save(const QString &path, QString *error) const {
    return writeFileAtomically(path, encodeFileText(toText(), m_encoding), error);
}

} // namespace tavlo::text
