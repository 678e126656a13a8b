#pragma once

#include <functional>

#include <QString>
#include <QUrl>

class QWidget;

namespace versalo {

// Hands an address to the application that opens it; false when none could be started. The
// program passes OpenWithDesktop; a test passes a recorder, so that no browser or mail program
// starts.
using UrlOpener = std::function<bool(const QUrl&)>;

// The desktop's own opener (QDesktopServices). It starts the application in its own process and
// returns at once; false when the desktop has nothing that opens the address (no browser, no
// xdg-open), which Qt itself reports only on standard error.
bool OpenWithDesktop(const QUrl& url);

// Opens a file, web address or mail address through open. When nothing opens it, a message over
// parent names the file or address, so that the user can open it himself.
void ShellOpen(QWidget* parent, const UrlOpener& open, const QString& target);

// Where the help page of a program in programDirectory lies: beside the program (the build folder),
// else in the data folder of an installation around the program (bin/../share/versalo), else in
// dataDirectory (the data folder the build was configured for). When it is in none of them, the path
// beside the program, so that the desktop reports the missing page as it would any other.
QString HelpFilePath(const QString& programDirectory, const QString& dataDirectory);

// Opens the help page "hilfe.htm" of the running program, as ShellOpen does.
void ShowHelp(QWidget* parent, const UrlOpener& open);

}  // namespace versalo
