#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

namespace versalo {

// The program's values lie in "Quistel's Kistwerk.ini" in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), in the group [Versalo], each as a decimal text.
QString SettingsFilePath();

// The keys the program uses, all of them: the case option (0 upper, 1 lower, 2 first letter
// capital), the two check boxes (0 clear, 1 checked, 2 grey), the window's top and left corner
// in twips (-1: not stored), as they are stored; the window converts them to its pixels. The
// options of a drop: Woerter (Alternativ: 0 first letter of the name, 1 of every word),
// Namensteil (0 whole name, 1 name only, 2 extension only), Eintraege (0 files and folders, 1 files
// only, 2 folders only), Tiefe (-1 all levels, else levels below a dropped item).
enum class Setting { CaseType, Floating, Methode, Top, Left, Woerter, Namensteil, Eintraege, Tiefe };

// The lists among the options, stored as one text with ";" between the items: Ausnehmen (name
// patterns left out) and Behalten (spellings kept).
enum class ListSetting { Ausnehmen, Behalten };

// The stored value. A value that is absent, not a whole number, or out of the setting's range
// gives the default: a hand-edited or damaged file must never keep the program from starting.
std::int32_t ReadSetting(Setting setting);

// Stores value at once, so that a program ended from inside a handler loses nothing. False when
// the file could not be written (a read-only or full configuration folder): the value is lost.
bool WriteSetting(Setting setting, std::int32_t value);

// The stored list, empty items left out; a value that is no text (QSettings reads "a, b" as a
// list) gives the default, an empty list.
QStringList ReadListSetting(ListSetting setting);
bool WriteListSetting(ListSetting setting, const QStringList& items);

}  // namespace versalo
