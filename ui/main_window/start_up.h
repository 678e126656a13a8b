#pragma once

#include <optional>
#include <string>
#include <vector>

namespace versalo {

// The German help text of the window program, for --help.
std::string WindowHelpText();

// Answers --help and --version (-h, -V) before anything of the window system is started, so that
// they work without a display. Returns the exit status when the arguments asked for one of them,
// else nothing. Only arguments before a "--" count.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

// The window relies on a place of its own choosing on the screen and on staying above other
// windows; Wayland gives a program neither. In a Wayland session with XWayland at hand the
// program therefore runs as an X11 client, unless the user has chosen a platform himself
// (QT_QPA_PLATFORM). Must run before the application object is created.
void PreferXWaylandInWaylandSession();

// The paths named on the command line, byte for byte, after Qt has taken its own options out of
// the arguments. Sets error (a German text) for an option the program does not know.
std::vector<std::string> PathsToDrop(int argc, char** argv, std::string& error);

}  // namespace versalo
