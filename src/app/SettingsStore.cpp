#include "SettingsStore.h"

#include "common/modCommon.h"

#include <QFile>
#include <QFileInfo>

#include <functional>

using tavlo::text::IniFile;

namespace SettingsStore {

namespace {

const QString kTavlo = QStringLiteral("Tavlo");
const QString kIcq = QStringLiteral("ICQ");
const QString kMis = QStringLiteral("MIS");
const QString kPr = QStringLiteral("PR");

// "1" gives 1, anything else 0.
int oneOrZero(const QString &text) {
    return text == QLatin1String("1") ? 1 : 0;
}

// A whole number within [low, high], else the fallback.
int wholeNumberIn(const QString &text, int low, int high, int fallback) {
    if (!modCommon::IsWholeNumber(text))
        return fallback;
    const double value = text.trimmed().toDouble();
    return (value >= low && value <= high) ? static_cast<int>(value) : fallback;
}

bool toBoolean(const QString &text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    double value = 0;
    return modCommon::IsNumeric(t, &value) && value != 0;
}

QString number(int value) {
    return QString::number(value);
}

} // namespace

const std::array<QString, RecordSchema::kAttributeCount> &attributeKeys() {
    static const std::array<QString, RecordSchema::kAttributeCount> keys{
        QStringLiteral("Name"),    QStringLiteral("Describe"), QStringLiteral("Model And Size"),
        QStringLiteral("Project"), QStringLiteral("Date"),     QStringLiteral("Brand Or Manufacturer"),
        QStringLiteral("Unit"),    QStringLiteral("Quantity"), QStringLiteral("Price"),
        QStringLiteral("NC Code"), QStringLiteral("Inputer")};
    return keys;
}

QStringList parseAddressList(const QString &text) {
    // Trimmed first, so " 10.0.0.1" and "10.0.0.1" count as one address.
    QStringList items = text.split(u'|');
    for (QString &item : items)
        item = item.trimmed();
    modCommon::RemoveDuplicates(items);
    QStringList addresses;
    for (const QString &item : std::as_const(items)) {
        if (modCommon::IsIPv4Address(item))
            addresses.append(item);
    }
    return addresses;
}

Settings read(const IniFile &ini, const SettingsDefaults &defaults) {
    Settings s;
    auto value = [&ini](const QString &section, const char *key) {
        return ini.value(section, QString::fromLatin1(key));
    };

    s.recentServer = toBoolean(value(kTavlo, "RecentServer"));
    s.platformName = value(kTavlo, "PlatformName");
    if (s.platformName.isEmpty())
        s.platformName = defaults.applicationTitle;
    s.port = wholeNumberIn(value(kTavlo, "Port"), 1, 65535, Settings::kDefaultPort);
    const QString ip = value(kTavlo, "IP");
    s.ip = modCommon::IsIPv4Address(ip) ? ip.trimmed() : QStringLiteral("127.0.0.1");
    s.vipList = parseAddressList(value(kTavlo, "VIPList"));
    s.blackList = parseAddressList(value(kTavlo, "BlackList"));
    s.recentId = value(kTavlo, "RecentID");
    if (s.recentId.isEmpty())
        s.recentId = defaults.hostName;
    s.connectMode = oneOrZero(value(kTavlo, "ConnectMode"));
    s.autoConnect = oneOrZero(value(kTavlo, "AutoConnect"));

    s.brush = wholeNumberIn(value(kIcq, "Brush"), 0, defaults.brushCount - 1, 0);
    s.color = wholeNumberIn(value(kIcq, "Color"), 0, 15, 1);
    s.privateChat = value(kIcq, "Private") == QLatin1String("1");

    s.matchCase = oneOrZero(value(kMis, "MatchCase"));
    s.wholeWord = oneOrZero(value(kMis, "WholeWord"));
    s.andOr = oneOrZero(value(kMis, "AndOr"));
    s.showMode = oneOrZero(value(kMis, "ShowMode"));
    s.schema.systemName = value(kMis, "System");
    if (s.schema.systemName.isEmpty())
        s.schema.systemName = defaults.schema.systemName;
    for (int i = 0; i < RecordSchema::kAttributeCount; ++i) {
        s.schema.attributes[i] = ini.value(kMis, attributeKeys()[i]);
        if (s.schema.attributes[i].isEmpty())
            s.schema.attributes[i] = defaults.schema.attributes[i];
    }

    s.behavior = wholeNumberIn(value(kPr, "Behavior"), 0, 1000, 0);
    s.dataSource = value(kPr, "DataSource");
    s.projectName = value(kPr, "ProjectName");
    s.designCode = value(kPr, "DesignCode");
    s.projectCode = value(kPr, "ProjectCode");
    return s;
}

void write(IniFile &ini, const Settings &s) {
    ini.setValue(kTavlo, QStringLiteral("RecentServer"),
                 s.recentServer ? QStringLiteral("True") : QStringLiteral("False"));
    ini.setValue(kTavlo, QStringLiteral("PlatformName"), s.platformName);
    ini.setValue(kTavlo, QStringLiteral("Port"), number(s.port));
    ini.setValue(kTavlo, QStringLiteral("IP"), s.ip);
    ini.setValue(kTavlo, QStringLiteral("VIPList"), s.vipList.join(u'|'));
    ini.setValue(kTavlo, QStringLiteral("BlackList"), s.blackList.join(u'|'));
    ini.setValue(kTavlo, QStringLiteral("RecentID"), s.recentId);
    ini.setValue(kTavlo, QStringLiteral("ConnectMode"), number(s.connectMode == 1 ? 1 : 0));
    ini.setValue(kTavlo, QStringLiteral("AutoConnect"), number(s.autoConnect == 1 ? 1 : 0));

    ini.setValue(kIcq, QStringLiteral("Brush"), number(s.brush));
    ini.setValue(kIcq, QStringLiteral("Color"), number(s.color));
    ini.setValue(kIcq, QStringLiteral("Private"), number(s.privateChat ? 1 : 0));

    ini.setValue(kMis, QStringLiteral("MatchCase"), number(s.matchCase));
    ini.setValue(kMis, QStringLiteral("WholeWord"), number(s.wholeWord));
    ini.setValue(kMis, QStringLiteral("AndOr"), number(s.andOr));
    ini.setValue(kMis, QStringLiteral("ShowMode"), number(s.showMode));
    ini.setValue(kMis, QStringLiteral("System"), s.schema.systemName);
    for (int i = 0; i < RecordSchema::kAttributeCount; ++i)
        ini.setValue(kMis, attributeKeys()[i], s.schema.attributes[i]);

    ini.setValue(kPr, QStringLiteral("Behavior"), number(s.behavior));
    // Written once they hold something (and cleared once they did), so a file that never had them keeps
    // its layout.
    auto remembered = [&ini](const QString &key, const QString &text) {
        if (!text.isEmpty() || !ini.value(kPr, key).isEmpty())
            ini.setValue(kPr, key, text);
    };
    remembered(QStringLiteral("DataSource"), s.dataSource);
    remembered(QStringLiteral("ProjectName"), s.projectName);
    remembered(QStringLiteral("DesignCode"), s.designCode);
    remembered(QStringLiteral("ProjectCode"), s.projectCode);
}

Settings load(const QString &path, const SettingsDefaults &defaults) {
    return read(IniFile::load(path), defaults);
}

namespace {

bool fail(QString *error, const QString &message) {
    if (error)
        *error = message;
    return false;
}

bool change(const QString &path, const std::function<void(IniFile &)> &edit, QString *error) {
    const QFileInfo info(path);
    const bool exists = info.exists() || info.isSymLink();
    if (exists && !info.isFile())
        return fail(error, QStringLiteral("“%1”不是普通文件，设置未保存").arg(path));
    // The file is kept read-only between runs; lift that for the write, put it back afterwards.
    constexpr auto kReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    if (exists)
        QFile::setPermissions(path, kReadOnly | QFile::WriteOwner);
    IniFile ini;
    if (exists) {
        // An unreadable file is not replaced by one holding only our keys: the others would be lost.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            QFile::setPermissions(path, kReadOnly);
            return fail(error, QStringLiteral("无法读取“%1”：%2").arg(path, file.errorString()));
        }
        ini = IniFile::fromBytes(file.readAll());
    }
    edit(ini);
    QString reason;
    const bool saved = ini.save(path, &reason);
    if (QFileInfo(path).isFile())
        QFile::setPermissions(path, kReadOnly);
    if (!saved)
        return fail(error, QStringLiteral("无法保存“%1”：%2").arg(info.fileName(), reason));
    return true;
}

} // namespace

bool save(const QString &path, const Settings &settings, QString *error) {
    return change(
        path, [&settings](IniFile &ini) { write(ini, settings); }, error);
}

bool saveValue(const QString &path, const QString &section, const QString &key, const QString &value,
               QString *error) {
    return change(
        path, [&](IniFile &ini) { ini.setValue(section, key, value); }, error);
}

} // namespace SettingsStore
