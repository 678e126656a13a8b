#include "ui/main_window/start_up.h"

#include <getopt.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/skip_report.h"
#include "version/version.h"

namespace versalo {

std::string WindowHelpText() {
    return "Aufruf: versalo [OPTION]... [PFAD]...\n"
           "Ändert die Groß- und Kleinschreibung der Namen von Dateien und Ordnern: Dateien\n"
           "und Ordner auf das Fenster ziehen, und sie werden GROSS, klein oder mit großem\n"
           "ersten Zeichen geschrieben, ein Ordner samt allem darin, in jeder Tiefe.\n"
           "\n"
           "Werden PFADE angegeben, zeigt das Fenster sich und benennt sie sofort um, als\n"
           "wären sie zusammen auf das Fenster gezogen worden: mit der Schreibweise und der\n"
           "Art (Direkt oder über einen vorläufigen Namen), die im Fenster eingestellt\n"
           "sind, und mit derselben Meldung am Ende. So wirkt auch \"Öffnen mit Versalo\" im\n"
           "Dateimanager. Mit -l, -u, -c oder -w bekommen die PFADE dieses Aufrufs diese\n"
           "Schreibweise statt der eingestellten, die dabei bleibt, wie sie ist; so rufen\n"
           "die Kontextmenüs der Dateimanager (\"Groß-/Kleinschreibung\") Versalo auf.\n"
           "Für Skripte und das Terminal gibt es versalo-cli.\n"
           "\n"
           "Optionen:\n"
           "  -l, --lower      die PFADE alles klein schreiben\n"
           "  -u, --upper      die PFADE alles groß schreiben\n"
           "  -c, --capital    erstes Zeichen groß, alles Weitere klein\n"
           "  -w, --words      jedes Wort mit großem Anfangsbuchstaben, sonst klein\n"
           "  -h, --help       diese Hilfe zeigen und beenden\n"
           "  -V, --version    die Versionsnummer zeigen und beenden\n"
           "  --               alles Weitere sind Pfade, auch wenn es mit '-' beginnt\n"
           "\n"
           "Lange Optionen dürfen abgekürzt werden, solange sie eindeutig bleiben (--hel).\n"
           "Ein Argument, das eine vorhandene Datei oder ein vorhandener Ordner ist, ist\n"
           "immer ein PFAD, auch wenn es mit '-' beginnt (außer -h, -V, --help, --version).\n"
           "Von den Optionen von Qt gelten nur -platform, -platformtheme, -style, -display,\n"
           "-geometry, -qwindowgeometry, -qwindowtitle (je mit einem Wert, der kein\n"
           "vorhandener Pfad ist), -reverse und -widgetcount, und nur vor '--'; Qt liest\n"
           "die Befehlszeile nie selbst. Pfade für Qt (Plugins, Stylesheets) gehen nur über\n"
           "die Umgebung, etwa QT_PLUGIN_PATH.\n"
           "\n"
           "In einer Wayland-Sitzung läuft das Fenster über XWayland, denn nur so kann es\n"
           "seinen Platz behalten und über anderen Fenstern bleiben;\n"
           "QT_QPA_PLATFORM=wayland wählt dennoch Wayland.\n"
           "\n"
           "Rückgabewert: 0, sobald das Fenster geschlossen wird; 2 bei falschem Aufruf.\n";
}

namespace {

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"lower", no_argument, nullptr, 'l'},
    {"upper", no_argument, nullptr, 'u'},
    {"capital", no_argument, nullptr, 'c'},
    {"words", no_argument, nullptr, 'w'},
    {nullptr, 0, nullptr, 0},
};

// The options of Qt that are passed on to it, with whether each takes the next argument as its
// value. Options that name a file or folder (-platformpluginpath, -stylesheet, -qwindowicon,
// -plugin) are not among them: a path on this command line is always one to rename.
struct QtOption {
    std::string_view name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"-platform", true},     {"-platformtheme", true}, {"-style", true},
    {"-display", true},      {"-geometry", true},      {"-qwindowgeometry", true},
    {"-qwindowtitle", true}, {"-reverse", false},      {"-widgetcount", false},
};

bool Exists(const char* path) {
    struct stat status {};
    return ::lstat(path, &status) == 0;
}

// The German reason getopt_long's refusal of argument stands for, in versalo-cli's words.
std::string OptionError(std::string_view argument, int letter) {
    if (argument.starts_with("--")) {
        for (const option& known : kLongOptions) {
            if (known.name != nullptr && known.val == letter) {
                return "die Option " + ShellQuoted(std::string("--") + known.name) + " erlaubt keinen Wert";
            }
        }
        const std::string_view bare = argument.substr(0, argument.find('='));
        return "unbekannte Option " + ShellQuoted(bare);
    }
    return "unbekannte Option " + ShellQuoted(std::string("-") + static_cast<char>(letter));
}

// Reads argument (beginning with "-") as the program's own options, exactly as getopt_long reads
// versalo-cli's. Each of them stands alone (none takes a value), so one argument at a time is
// enough. Sets error and changes nothing when argument is not entirely made of them.
bool ReadOwnOptions(const std::string& argument, WindowCommandLine& commandLine, std::string& error) {
    std::string program = "versalo";
    std::string word = argument;
    char* argv[] = {program.data(), word.data(), nullptr};
    opterr = 0;  // the messages are German and our own
    optind = 0;  // start afresh
    bool help = false;
    bool version = false;
    std::optional<CaseRule> rule;
    for (int letter = 0; (letter = ::getopt_long(2, argv, "+hVlucw", kLongOptions, nullptr)) != -1;) {
        switch (letter) {
            case 'h':
            case 'V':
                (letter == 'h' ? help : version) = true;
                continue;
            case 'l':
            case 'u':
            case 'c':
            case 'w':
                rule = letter == 'l'   ? CaseRule::kLower
                       : letter == 'u' ? CaseRule::kUpper
                       : letter == 'c' ? CaseRule::kInitialCapital
                                       : CaseRule::kEachWord;
                continue;
            default:
                error = OptionError(argument, optopt);
                return false;
        }
    }
    commandLine.help = commandLine.help || help;
    commandLine.version = commandLine.version || version;
    if (rule) {
        commandLine.rule = rule;
    }
    return true;
}

const QtOption* FindQtOption(std::string_view argument) {
    for (const QtOption& qt : kQtOptions) {
        if (argument == qt.name) {
            return &qt;
        }
    }
    return nullptr;
}

bool Print(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
        return true;
    }
    std::fputs("versalo: Schreibfehler\n", stderr);
    return false;
}

}  // namespace

WindowCommandLine ParseWindowCommandLine(int argc, char** argv) {
    WindowCommandLine result;
    result.qtArguments.emplace_back(argc > 0 ? argv[0] : "versalo");
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            result.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string ownError;
        if (ReadOwnOptions(argument, result, ownError)) {
            continue;
        }
        if (Exists(argv[index])) {
            result.paths.push_back(argument);
            continue;
        }
        const QtOption* qt = FindQtOption(argument);
        if (qt == nullptr) {
            result.error = ownError;
            return result;
        }
        result.qtArguments.push_back(argument);
        if (qt->takesValue) {
            if (index + 1 == argc || std::string_view(argv[index + 1]) == "--" || Exists(argv[index + 1])) {
                result.error =
                    "die Option " + ShellQuoted(argument) + " verlangt einen Wert, der kein Pfad ist";
                return result;
            }
            result.qtArguments.emplace_back(argv[++index]);
        }
    }
    return result;
}

int AnswerWithoutWindow(const WindowCommandLine& commandLine) {
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "versalo: %s\nWeitere Informationen mit 'versalo --help'.\n",
                     commandLine.error.c_str());
        return 2;
    }
    if (commandLine.help) {
        return Print(WindowHelpText()) ? 0 : 1;
    }
    if (commandLine.version) {
        return Print(VersionLine() + "\n") ? 0 : 1;
    }
    return -1;
}

void PreferXWaylandInWaylandSession() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland =
        set("WAYLAND_DISPLAY") || (session != nullptr && std::string_view(session) == "wayland");
    if (wayland && !set("QT_QPA_PLATFORM") && set("DISPLAY")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
}

}  // namespace versalo
