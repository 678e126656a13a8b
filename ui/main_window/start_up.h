#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/case_rules.h"

namespace versalo {

// The German help text of the window program, for --help.
std::string WindowHelpText();

// What the command line of the window program asks for, worked out before anything of the window
// system starts, so that --help, --version and a wrong option work without a display.
struct WindowCommandLine {
    bool help = false;
    bool version = false;
    std::string error;  // a German reason when an argument is not understood; then nothing else counts
    std::vector<std::string> paths;  // to rename as one drop, byte for byte, in their order
    // -l, -u, -c, -w (the last one counts): the rule for these paths instead of the window's; the
    // window's own choice and the stored setting stay as they are. The file managers' menus use it.
    std::optional<CaseRule> rule;
    // What the application object may see: the program's name, then only the Qt options of a
    // short fixed list (-platform NAME, -style NAME, ...) with their values.
    std::vector<std::string> qtArguments;
};

// Reads the arguments as versalo-cli reads its own: -h and -V may be bundled ("-hV"), long options
// abbreviated while unambiguous ("--hel"), and "--" ends the options. Qt never parses the command
// line itself: an argument after "--", and one that names an existing file or folder, is a path
// and never reaches Qt, so that "versalo -- *" lets no file name choose Qt's plugins or title.
// Before "--", the program's own options come first; an existing path is a path even when it
// begins with "-"; one of Qt's listed options takes its value from the next argument unless that
// is "--" or an existing path; any other argument beginning with "-" is an unknown option.
WindowCommandLine ParseWindowCommandLine(int argc, char** argv);

// Prints the help or the version when the command line asked for one, else the reason for a
// wrong command line. Returns the exit status, or -1 when the window is to start.
int AnswerWithoutWindow(const WindowCommandLine& commandLine);

// The window relies on a place of its own choosing on the screen and on staying above other
// windows; Wayland gives a program neither. In a Wayland session with XWayland at hand the
// program therefore runs as an X11 client, unless the user has chosen a platform himself
// (QT_QPA_PLATFORM). Must run before the application object is created.
void PreferXWaylandInWaylandSession();

}  // namespace versalo
