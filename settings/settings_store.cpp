#include "settings/settings_store.h"

#include <array>
#include <limits>

#include <QSettings>
#include <QStandardPaths>

namespace versalo {

namespace {

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The one table of keys and defaults. The options are indices (0 to 2) and check-box values
// (0 clear, 1 checked, 2 grey); the window position is in twips, -1 meaning "not stored".
constexpr std::array<SettingInfo, 5> kSettings{{
    {"CaseType", 1, 0, 2},
    {"Floating", 1, 0, 2},
    {"Methode", 1, 0, 2},
    {"_Top", -1, kInt32Min, kInt32Max},
    {"_Left", -1, kInt32Min, kInt32Max},
}};

QString& OverridePath() {
    static QString path;
    return path;
}

SettingsWriteObserver& WriteObserver() {
    static SettingsWriteObserver observer;
    return observer;
}

QString SectionKey(const QString& key) {
    return QString::fromLatin1(kSettingsSection) + u'/' + key;
}

void Store(const QString& key, const QString& text) {
    QSettings store(SettingsFilePath(), QSettings::IniFormat);
    store.setValue(SectionKey(key), text);
    // Written at once, key by key, so that a program ended from inside a handler loses nothing.
    store.sync();
    if (WriteObserver()) {
        WriteObserver()(key, text);
    }
}

}  // namespace

const SettingInfo& InfoOf(Setting setting) {
    return kSettings.at(static_cast<std::size_t>(setting));
}

QString KeyOf(Setting setting) {
    return QString::fromLatin1(InfoOf(setting).key);
}

QString SettingsFilePath() {
    if (!OverridePath().isEmpty()) {
        return OverridePath();
    }
    // Honours XDG_CONFIG_HOME and falls back to ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' +
           QString::fromUtf8(kSettingsApplication) + QStringLiteral(".ini");
}

void SetSettingsFilePath(const QString& path) {
    OverridePath() = path;
}

void SetSettingsWriteObserver(SettingsWriteObserver observer) {
    WriteObserver() = std::move(observer);
}

void SaveValue(const QString& key, std::int16_t value) {
    Store(key, QString::number(value));
}

void SaveValue(const QString& key, std::int32_t value) {
    Store(key, QString::number(value));
}

void SaveValue(const QString& key, float value) {
    // Seven significant digits are all a single-precision number holds; whole numbers come out
    // without a decimal separator.
    Store(key, QString::number(static_cast<double>(value), 'g', 7));
}

QString LoadValue(const QString& key, std::int32_t defaultValue) {
    const QSettings store(SettingsFilePath(), QSettings::IniFormat);
    const QVariant value = store.value(SectionKey(key));
    if (!value.isValid()) {
        return QString::number(defaultValue);
    }
    // A hand-written list ("1, 2") or other odd entry gives no usable text, not a crash.
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool ParseStoredNumber(const QString& text, std::int32_t lowest, std::int32_t highest, std::int32_t* value) {
    bool ok = false;
    const qlonglong number = text.trimmed().toLongLong(&ok, 10);
    if (!ok || number < lowest || number > highest) {
        return false;
    }
    *value = static_cast<std::int32_t>(number);
    return true;
}

std::int32_t ReadSetting(Setting setting) {
    const SettingInfo& info = InfoOf(setting);
    std::int32_t value = info.defaultValue;
    if (!ParseStoredNumber(LoadValue(KeyOf(setting), info.defaultValue), info.lowest, info.highest, &value)) {
        return info.defaultValue;
    }
    return value;
}

}  // namespace versalo
