#include "settings/settings_store.h"

#include <array>
#include <limits>

#include <QSettings>
#include <QStandardPaths>

namespace versalo {

namespace {

struct SettingInfo {
    const char* key;
    std::int32_t defaultValue;
    std::int32_t lowest;
    std::int32_t highest;
};

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// In the order of enum class Setting.
constexpr std::array<SettingInfo, 9> kSettings{{
    {"CaseType", 1, 0, 2},
    {"Floating", 1, 0, 2},
    {"Methode", 1, 0, 2},
    {"_Top", -1, kInt32Min, kInt32Max},
    {"_Left", -1, kInt32Min, kInt32Max},
    {"Woerter", 0, 0, 1},
    {"Namensteil", 0, 0, 2},
    {"Eintraege", 0, 0, 2},
    {"Tiefe", -1, -1, kInt32Max},
}};

QString ListKeyOf(ListSetting setting) {
    return setting == ListSetting::Ausnehmen ? QStringLiteral("Versalo/Ausnehmen")
                                             : QStringLiteral("Versalo/Behalten");
}

const SettingInfo& InfoOf(Setting setting) {
    return kSettings.at(static_cast<std::size_t>(setting));
}

QString KeyOf(Setting setting) {
    return QStringLiteral("Versalo/") + QString::fromLatin1(InfoOf(setting).key);
}

}  // namespace

QString SettingsFilePath() {
    // Read anew each time: QStandardPaths honours a changed XDG_CONFIG_HOME.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quistel's Kistwerk.ini");
}

std::int32_t ReadSetting(Setting setting) {
    const SettingInfo& info = InfoOf(setting);
    const QSettings store(SettingsFilePath(), QSettings::IniFormat);
    // A hand-written list ("1, 2") gives no text and so the default, not a crash.
    const QVariant stored = store.value(KeyOf(setting));
    bool ok = false;
    const qlonglong number =
        stored.canConvert<QString>() ? stored.toString().trimmed().toLongLong(&ok, 10) : 0;
    if (!ok || number < info.lowest || number > info.highest) {
        return info.defaultValue;
    }
    return static_cast<std::int32_t>(number);
}

QStringList ReadListSetting(ListSetting setting) {
    const QSettings store(SettingsFilePath(), QSettings::IniFormat);
    const QVariant stored = store.value(ListKeyOf(setting));
    if (stored.typeId() != QMetaType::QString) {
        return {};
    }
    QStringList items;
    for (const QString& item : stored.toString().split(QLatin1Char(';'))) {
        if (!item.trimmed().isEmpty()) {
            items.append(item.trimmed());
        }
    }
    return items;
}

bool WriteListSetting(ListSetting setting, const QStringList& items) {
    QSettings store(SettingsFilePath(), QSettings::IniFormat);
    store.setValue(ListKeyOf(setting), items.join(QLatin1Char(';')));
    store.sync();
    return store.status() == QSettings::NoError;
}

bool WriteSetting(Setting setting, std::int32_t value) {
    QSettings store(SettingsFilePath(), QSettings::IniFormat);
    store.setValue(KeyOf(setting), QString::number(value));
    store.sync();
    return store.status() == QSettings::NoError;
}

}  // namespace versalo
