#pragma once

#include <functional>

#include <QString>
#include <QUrl>

namespace versalo {

// Hands an address to the application that opens it. The program passes OpenWithDesktop; a test
// passes a recorder, so that no browser or mail program starts.
using UrlOpener = std::function<void(const QUrl&)>;

// The desktop's own opener (QDesktopServices). It starts the application in its own process and
// returns at once; when nothing can open the address the desktop says so, or nothing happens.
void OpenWithDesktop(const QUrl& url);

// Opens a file, web address or mail address through open.
void ShellOpen(const UrlOpener& open, const QString& target);

// The address for target: a text with a scheme ("mailto:", "https:", "file:") is taken as it is,
// a path as a local file, and anything else, such as "www.host.example/new.htm", as a web address.
QUrl ShellTargetUrl(const QString& target);

// Where the help page of a program in programDirectory lies: beside the program (the build folder),
// else in the data folder of an installation around the program (bin/../share/versalo), else in
// dataDirectory (the data folder the build was configured for). When it is in none of them, the path
// beside the program, so that the desktop reports the missing page as it would any other.
QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory);

// Opens the help page "hilfe.htm" of the running program.
void ShowHelp(const UrlOpener& open);

}  // namespace versalo
