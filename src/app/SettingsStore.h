#pragma once

#include "infosys/RecordSchema.h"
#include "platform/text/IniFile.h"

#include <QString>
#include <QStringList>

#include <array>

// Every preference kept in Tavlo.ini, as the program holds it while it runs. Tools whose controls
// come later read their start values from here and hand their values back before the save.
struct Settings {
    static constexpr int kDefaultPort = 1006;

    bool recentServer = false; // was hosting when last closed
    QString platformName;
    int port = kDefaultPort;
    QString ip = QStringLiteral("127.0.0.1");
    QStringList vipList;
    QStringList blackList;
    QString recentId;
    int connectMode = 0;
    int autoConnect = 0;

    int brush = 0;
    int color = 1;
    bool privateChat = false;

    int matchCase = 0;
    int wholeWord = 0;
    int andOr = 0;
    int showMode = 0;
    RecordSchema schema; // system name and attribute captions

    int behavior = 0;
    // The requisition tool's last coding workbook and the project fields of its form.
    QString dataSource;
    QString projectName;
    QString designCode;
    QString projectCode;
};

// Values that the reader falls back on and that depend on the running program.
struct SettingsDefaults {
    QString applicationTitle;
    QString hostName;
    RecordSchema schema; // captions designed into the form
    int brushCount = 8;
};

namespace SettingsStore {

inline constexpr const char *kFileName = "Tavlo.ini";

// The INI keys of the eleven record attributes, by attribute index.
const std::array<QString, RecordSchema::kAttributeCount> &attributeKeys();

// Splits a "|" list, drops repeats (first kept) and items that are not IPv4 addresses.
QStringList parseAddressList(const QString &text);

// Reads every key with its validity rule; an unreadable value falls back to its default.
Settings read(const tavlo::text::IniFile &ini, const SettingsDefaults &defaults);
// Writes every key in the fixed order, keeping whatever else the file holds.
void write(tavlo::text::IniFile &ini, const Settings &settings);

// Loads the file at `path` (missing file: all defaults).
Settings load(const QString &path, const SettingsDefaults &defaults);

// The one writer of Tavlo.ini: every save goes through here. The file is kept read-only between runs;
// the mode is lifted for the write and put back afterwards. The file is read afresh before each write
// so keys that others stored meanwhile (the pending-upload rows) are kept. A path that exists but is not
// a regular file (a folder, say) is left alone. Each returns false with the reason in *error when the
// file could not be written; the old file is then left byte for byte as it was.

// Writes the settings into the file at `path`.
bool save(const QString &path, const Settings &settings, QString *error = nullptr);
// Writes one key (the information system's pending-upload rows).
bool saveValue(const QString &path, const QString &section, const QString &key, const QString &value,
               QString *error = nullptr);

} // namespace SettingsStore
