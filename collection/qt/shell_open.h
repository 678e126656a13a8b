#pragma once

#include <QString>

class QWidget;

namespace versalo {

// Opens a file, web address or mail address with the user's preferred application.
// Returns at once; reports nothing when nothing can open the target.
void ShellOpen(QWidget* form, const QString& target, int showCommand);

// Opens the help page "hilfe.htm".
void ShowHelp(QWidget* form);

}  // namespace versalo
