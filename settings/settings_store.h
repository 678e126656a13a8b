#pragma once

#include <cstdint>
#include <functional>

#include <QString>

namespace versalo {

// Every value of the program lies under this application name and section. The file is
// "<application>.ini" in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config),
// with the values in the group [Versalo].
inline constexpr char kSettingsApplication[] = "Quistel's Kistwerk";
inline constexpr char kSettingsSection[] = "Versalo";

// The keys the program uses, all of them.
enum class Setting { CaseType, Floating, Methode, Top, Left };

// A key's name in the store, the value that applies while nothing (or nothing usable) is stored,
// and the range of values that mean something.
struct SettingInfo {
    const char* key;
    std::int32_t defaultValue;
    std::int32_t lowest;
    std::int32_t highest;
};

const SettingInfo& InfoOf(Setting setting);
QString KeyOf(Setting setting);

// The settings file in use. Tests point the store at a file of their own, so that the real
// user's settings are never touched; an empty path goes back to the user's file.
QString SettingsFilePath();
void SetSettingsFilePath(const QString& path);

// Told of every value written, in the order of writing (tests use it to see that order).
using SettingsWriteObserver = std::function<void(const QString& key, const QString& text)>;
void SetSettingsWriteObserver(SettingsWriteObserver observer);

// Stores the decimal text of value under key, replacing what was there: 1 gives "1", -1 gives
// "-1", a whole single-precision number has no decimal separator (1440.0 gives "1440").
void SaveValue(const QString& key, std::int16_t value);
void SaveValue(const QString& key, std::int32_t value);
void SaveValue(const QString& key, float value);

// The text stored under key, or the text of defaultValue when nothing is stored there.
QString LoadValue(const QString& key, std::int32_t defaultValue);

// The stored value of setting as a number. A value that is absent, not a whole number, or out
// of the setting's range counts as absent and gives the default: a hand-edited or damaged file
// must never keep the program from starting.
std::int32_t ReadSetting(Setting setting);

// Turns a stored text into a whole number within lowest..highest; false when it is none.
bool ParseStoredNumber(const QString& text, std::int32_t lowest, std::int32_t highest, std::int32_t* value);

}  // namespace versalo
