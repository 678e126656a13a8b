#include "cli/options.h"

#include "collection/version.h"
#include "engine/engine_state.h"

namespace versalo::cli {

namespace {

// Applies one option by its short letter; false when there is no such option.
bool ApplyShort(char letter, Options& options) {
    switch (letter) {
        case 'u':
            options.caseType = kCaseUpper;
            options.caseGiven = true;
            return true;
        case 'l':
            options.caseType = kCaseLower;
            options.caseGiven = true;
            return true;
        case 'c':
            options.caseType = kCaseInitialCapital;
            options.caseGiven = true;
            return true;
        case 't':
            options.twoMove = true;
            return true;
        case 'n':
            options.dryRun = true;
            return true;
        case 'v':
            options.verbose = true;
            return true;
        case 'h':
            options.help = true;
            return true;
        case 'V':
            options.version = true;
            return true;
        default:
            return false;
    }
}

struct LongOption {
    const char* name;
    char letter;
};

constexpr LongOption kLongOptions[] = {
    {"upper", 'u'},   {"lower", 'l'},   {"capital", 'c'}, {"two-move", 't'},
    {"dry-run", 'n'}, {"verbose", 'v'}, {"help", 'h'},    {"version", 'V'},
};

// Long options that take a file name, and where it goes.
struct FileOption {
    const char* name;
    std::string Options::*target;
};

constexpr FileOption kFileOptions[] = {
    {"journal", &Options::journal},
    {"undo", &Options::undo},
};

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
    ParseResult result;
    Options& options = result.options;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument[1] == '-') {
            const std::string name = argument.substr(2);
            const std::size_t equals = name.find('=');
            const std::string bare = name.substr(0, equals);
            const FileOption* fileOption = nullptr;
            for (const FileOption& option : kFileOptions) {
                if (bare == option.name) {
                    fileOption = &option;
                }
            }
            if (fileOption != nullptr) {
                std::string file;
                if (equals != std::string::npos) {
                    file = name.substr(equals + 1);
                } else if (index + 1 < arguments.size() && !arguments[index + 1].starts_with('-')) {
                    // A forgotten file name must not swallow the next option ("--journal -n").
                    file = arguments[++index];
                }
                if (file.empty()) {
                    result.error = "die Option '--" + bare + "' verlangt eine DATEI";
                    return result;
                }
                options.*(fileOption->target) = file;
                continue;
            }
            bool known = false;
            for (const LongOption& option : kLongOptions) {
                if (bare == option.name) {
                    known = ApplyShort(option.letter, options);
                    break;
                }
            }
            if (!known) {
                result.error = "unbekannte Option '--" + bare + "'";
                return result;
            }
            if (equals != std::string::npos) {
                result.error = "die Option '--" + bare + "' erlaubt keinen Wert";
                return result;
            }
            continue;
        }
        for (std::size_t i = 1; i < argument.size(); ++i) {
            if (!ApplyShort(argument[i], options)) {
                result.error = "unbekannte Option '-" + argument.substr(i, 1) + "'";
                return result;
            }
        }
    }
    if (options.help || options.version) {
        return result;
    }
    if (!options.undo.empty()) {
        if (!options.paths.empty()) {
            result.error = "mit '--undo' werden keine PFADE angegeben";
        } else if (options.caseGiven || options.twoMove) {
            // An undo gives back the old names; a case rule or method would be silently ignored.
            result.error = "mit '--undo' gelten nur die Optionen -n und -v";
        }
    } else if (options.paths.empty()) {
        result.error = "kein PFAD angegeben";
    }
    return result;
}

std::string HelpText() {
    return "Aufruf: versalo-cli [OPTION]... PFAD...\n"
           "  oder: versalo-cli [-n] [-v] --undo DATEI\n"
           "Ändert die Groß- und Kleinschreibung der Namen von Dateien und Ordnern.\n"
           "\n"
           "Jeder PFAD wird in der angegebenen Reihenfolge umbenannt; ist er ein Ordner, wird\n"
           "danach alles darin umbenannt, in jeder Tiefe. Namen darin, die mit einem Punkt\n"
           "beginnen, bleiben, wie sie sind, und ein solcher Ordner wird nicht betreten; ein\n"
           "PFAD selbst wird aber immer umbenannt. Symbolische Verknüpfungen werden selbst\n"
           "umbenannt, aber nie verfolgt.\n"
           "\n"
           "Schreibweise:\n"
           "  -l, --lower      alles klein (Vorgabe)\n"
           "  -u, --upper      alles groß\n"
           "  -c, --capital    erstes Zeichen groß, alles Weitere klein\n"
           "\n"
           "Weitere Optionen:\n"
           "  -t, --two-move   jeden PFAD in zwei Schritten über einen vorläufigen Namen\n"
           "                   umbenennen (Vorgabe: direkt)\n"
           "  -n, --dry-run    nichts ändern, nur jede Umbenennung zeigen, die gemacht würde\n"
           "  -v, --verbose    jede gemachte Umbenennung zeigen ('alt' -> 'neu') und am Ende\n"
           "                   alle übersprungenen Einträge aufführen\n"
           "      --journal DATEI  jede gemachte Umbenennung sofort an DATEI anhängen, damit\n"
           "                   sie sich mit --undo zurücknehmen lässt\n"
           "      --undo DATEI  die Umbenennungen aus dem Journal DATEI zurücknehmen, die\n"
           "                   jüngste zuerst, aber nur, was der Lauf selbst umbenannt hat:\n"
           "                   Ordner ohne symbolische Verknüpfung erreicht und mit derselben\n"
           "                   Inode-Nummer, Eintrag derselbe, alter Name frei, beide Namen\n"
           "                   Schreibweisen desselben Namens; alles andere wird aufgeführt\n"
           "  -h, --help       diese Hilfe zeigen und beenden\n"
           "  -V, --version    die Versionsnummer zeigen und beenden\n"
           "  --               alles Weitere sind Pfade, auch wenn es mit '-' beginnt\n"
           "\n"
           "Kein Eintrag geht verloren: Ist der neue Name schon vergeben (etwa 'readme' neben\n"
           "'README'), behält der Eintrag seinen Namen. Solche Einträge und alle, die nicht\n"
           "umbenannt werden konnten (fehlende Rechte, Name kein gültiges UTF-8), werden am\n"
           "Ende auf der Standardfehlerausgabe aufgeführt. Strg+C hält nach dem laufenden\n"
           "Eintrag an; jeder Eintrag hat dann seinen alten oder seinen neuen Namen.\n"
           "\n"
           "Rückgabewert:\n"
           "  0  jeder Eintrag hat seinen neuen Namen oder hatte ihn schon\n"
           "  1  mindestens ein Eintrag wurde übersprungen, oder der Lauf wurde abgebrochen\n"
           "  2  falscher Aufruf (unbekannte Option, kein PFAD)\n"
           "Für --undo gilt dasselbe; ein Journal, das sich nicht lesen lässt, ergibt 1.\n";
}

std::string VersionLine() {
    return "Versalo " + VersionNumberText();
}

}  // namespace versalo::cli
