#pragma once

#include <cstdint>

#include <QString>

namespace versalo {

// The program's values lie in "Quistel's Kistwerk.ini" in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), in the group [Versalo], each as a decimal text.
QString SettingsFilePath();

// The keys the program uses, all of them: the case option (0 upper, 1 lower, 2 first letter
// capital), the two check boxes (0 clear, 1 checked, 2 grey), the window's top and left corner
// in twips (-1: not stored), as they are stored; the window converts them to its pixels.
enum class Setting { CaseType, Floating, Methode, Top, Left };

// The stored value. A value that is absent, not a whole number, or out of the setting's range
// gives the default: a hand-edited or damaged file must never keep the program from starting.
std::int32_t ReadSetting(Setting setting);

// Stores value at once, so that a program ended from inside a handler loses nothing. False when
// the file could not be written (a read-only or full configuration folder): the value is lost.
bool WriteSetting(Setting setting, std::int32_t value);

}  // namespace versalo
