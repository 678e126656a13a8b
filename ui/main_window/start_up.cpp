#include "ui/main_window/start_up.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "version/version.h"

namespace versalo {

std::string WindowHelpText() {
    return "Aufruf: versalo [PFAD]...\n"
           "Ändert die Groß- und Kleinschreibung der Namen von Dateien und Ordnern: Dateien und\n"
           "Ordner auf das Fenster ziehen, und sie werden GROSS, klein oder mit großem ersten\n"
           "Zeichen geschrieben, ein Ordner samt allem darin, in jeder Tiefe.\n"
           "\n"
           "Werden PFADE angegeben, zeigt das Fenster sich und benennt sie sofort um, als wären\n"
           "sie zusammen auf das Fenster gezogen worden: mit der Schreibweise und der Art\n"
           "(Direkt oder über einen vorläufigen Namen), die im Fenster eingestellt sind, und\n"
           "mit derselben Meldung am Ende. So wirkt auch \"Öffnen mit Versalo\" im Dateimanager.\n"
           "Für Skripte und das Terminal gibt es versalo-cli.\n"
           "\n"
           "Optionen:\n"
           "  -h, --help       diese Hilfe zeigen und beenden\n"
           "  -V, --version    die Versionsnummer zeigen und beenden\n"
           "  --               alles Weitere sind Pfade, auch wenn es mit '-' beginnt\n"
           "\n"
           "In einer Wayland-Sitzung läuft das Fenster über XWayland, denn nur so kann es seinen\n"
           "Platz behalten und über anderen Fenstern bleiben; QT_QPA_PLATFORM=wayland wählt\n"
           "dennoch Wayland.\n";
}

namespace {

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--") {
            break;
        }
        if (argument == "-h" || argument == "--help") {
            return Print(WindowHelpText()) ? 0 : 1;
        }
        if (argument == "-V" || argument == "--version") {
            return Print(VersionLine() + "\n") ? 0 : 1;
        }
    }
    return std::nullopt;
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

std::vector<std::string> PathsToDrop(int argc, char** argv, std::string& error) {
    std::vector<std::string> paths;
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
            error = "unbekannte Option '" + argument + "'";
            return {};
        } else {
            paths.push_back(argument);
        }
    }
    return paths;
}

}  // namespace versalo
