#pragma once

#include <functional>

#include <QString>
#include <QUrl>

class QWidget;

namespace versalo {

// Opens a file, web address or mail address with the user's preferred application.
// Returns at once; reports nothing when nothing can open the target.
void ShellOpen(QWidget* form, const QString& target, int showCommand);

// Opens the help page "hilfe.htm".
void ShowHelp(QWidget* form);

// The address ShellOpen hands to the desktop for target: a text with a scheme ("mailto:", "https:",
// "file:") is taken as it is, a path as a local file, and anything else, such as
// "www.host.example/new.htm", as a web address.
QUrl ShellTargetUrl(const QString& target);

// Where the help page of a program in programDirectory lies: beside the program (the build folder),
// else in the data folder of an installation around the program (bin/../share/versalo), else in
// dataDirectory (the data folder the build was configured for). When it is in none of them, the path
// beside the program, so that the desktop reports the missing page as it would any other.
QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory);

// Replaces what ShellOpen hands its address to; an empty opener restores the desktop's own.
// Returns the opener that was in place. Tests use it so that no browser or mail program starts.
using UrlOpener = std::function<void(const QUrl&)>;
UrlOpener SetUrlOpener(UrlOpener opener);

}  // namespace versalo
