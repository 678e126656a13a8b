#include "cli/options.h"

#include <getopt.h>

#include <charconv>
#include <climits>
#include <string_view>

#include "engine/text_case.h"

#include "version/version.h"

namespace versalo::cli {

namespace {

// The value getopt_long gives the long options that have no short letter.
enum LongOnly {
    kJournal = 256,
    kUndo,
    kNameOnly,
    kExtensionOnly,
    kFilesOnly,
    kFoldersOnly,
    kMaxDepth,
    kExclude,
    kKeep
};

constexpr const char* kShortOptions = "+ulcwtnvxhV";

const option kLongOptions[] = {
    {"upper", no_argument, nullptr, 'u'},
    {"lower", no_argument, nullptr, 'l'},
    {"capital", no_argument, nullptr, 'c'},
    {"two-move", no_argument, nullptr, 't'},
    {"dry-run", no_argument, nullptr, 'n'},
    {"verbose", no_argument, nullptr, 'v'},
    {"one-file-system", no_argument, nullptr, 'x'},
    {"journal", required_argument, nullptr, kJournal},
    {"undo", required_argument, nullptr, kUndo},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"words", no_argument, nullptr, 'w'},
    {"name-only", no_argument, nullptr, kNameOnly},
    {"extension-only", no_argument, nullptr, kExtensionOnly},
    {"files-only", no_argument, nullptr, kFilesOnly},
    {"folders-only", no_argument, nullptr, kFoldersOnly},
    {"max-depth", required_argument, nullptr, kMaxDepth},
    {"exclude", required_argument, nullptr, kExclude},
    {"keep", required_argument, nullptr, kKeep},
    {nullptr, 0, nullptr, 0},
};

const option* LongOptionFor(int value) {
    for (const option* entry = kLongOptions; entry->name != nullptr; ++entry) {
        if (entry->val == value) {
            return entry;
        }
    }
    return nullptr;
}

// The German reason for an option getopt_long did not accept. argument is the command-line
// word it stopped at.
std::string OptionError(const std::string& argument, int letter) {
    if (argument.starts_with("--")) {
        const std::string bare = argument.substr(2, argument.find('=') - 2);
        const option* known = LongOptionFor(letter);
        if (known != nullptr && known->has_arg == no_argument) {
            return "die Option '--" + std::string(known->name) + "' erlaubt keinen Wert";
        }
        if (known != nullptr) {
            return "die Option '--" + std::string(known->name) + "' verlangt " +
                   (letter == kMaxDepth  ? "eine ZAHL"
                    : letter == kExclude ? "ein MUSTER"
                    : letter == kKeep    ? "ein WORT"
                                         : "eine DATEI");
        }
        std::size_t matches = 0;
        for (const option* entry = kLongOptions; entry->name != nullptr; ++entry) {
            matches += std::string_view(entry->name).starts_with(bare) ? 1 : 0;
        }
        if (matches > 1) {
            return "die Option '--" + bare + "' ist mehrdeutig";
        }
        return "unbekannte Option '--" + bare + "'";
    }
    return "unbekannte Option '-" + std::string(1, static_cast<char>(letter)) + "'";
}

// getopt_long wants a mutable argv; it reorders the pointers, never the strings.
struct MutableArgv {
    explicit MutableArgv(const std::vector<std::string>& arguments) : words{"versalo-cli"} {
        words.insert(words.end(), arguments.begin(), arguments.end());
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
    }
    std::vector<std::string> words;
    std::vector<char*> argv;
};

// Takes in an option without an argument; false for a letter that is none of them.
bool ApplyFlag(int letter, Options& options) {
    switch (letter) {
        case 'u':
        case 'l':
        case 'c':
        case 'w':
            options.caseRule = letter == 'u'   ? CaseRule::kUpper
                               : letter == 'l' ? CaseRule::kLower
                               : letter == 'c' ? CaseRule::kInitialCapital
                                               : CaseRule::kEachWord;
            options.caseGiven = true;
            return true;
        case 't':
            options.method = RenameMethod::kTwoMoves;
            return true;
        case 'n':
            options.dryRun = true;
            return true;
        case 'v':
            options.verbose = true;
            return true;
        case 'x':
            options.oneFileSystem = true;
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

// Sets one of two choices that exclude each other; notes the contradiction when the other one was
// given before.
template <typename Choice>
void Choose(Choice& current, Choice wanted, Choice other, const char* wantedName, const char* otherName,
            Options& options) {
    if (current == other && options.contradiction.empty()) {
        options.contradiction =
            "'--" + std::string(otherName) + "' und '--" + wantedName + "' schließen einander aus";
    }
    current = wanted;
}

// A whole number from 0; larger than an int holds counts as "all levels" would, being deeper
// than any tree can be.
bool ParseDepth(std::string_view text, int& depth) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    depth = error == std::errc::result_out_of_range || value > INT_MAX ? INT_MAX : static_cast<int>(value);
    return end == text.data() + text.size() || error == std::errc::result_out_of_range;
}

// Takes in an option of the name scope (part, entries, depth, patterns, kept words); false for a
// value that is none of them.
bool ApplyScope(int letter, const char* value, Options& options) {
    NameScope& scope = options.scope;
    const auto bad = [&](const std::string& reason) {
        if (options.contradiction.empty()) {
            options.contradiction = reason;
        }
    };
    const bool takesValue = letter == kMaxDepth || letter == kExclude || letter == kKeep;
    if (takesValue != (value != nullptr)) {
        return false;
    }
    switch (letter) {
        case kNameOnly:
            Choose(scope.part, NamePart::kNameOnly, NamePart::kExtensionOnly, "name-only", "extension-only",
                   options);
            return true;
        case kExtensionOnly:
            Choose(scope.part, NamePart::kExtensionOnly, NamePart::kNameOnly, "extension-only", "name-only",
                   options);
            return true;
        case kFilesOnly:
            Choose(scope.entries, EntryKinds::kFilesOnly, EntryKinds::kFoldersOnly, "files-only",
                   "folders-only", options);
            return true;
        case kFoldersOnly:
            Choose(scope.entries, EntryKinds::kFoldersOnly, EntryKinds::kFilesOnly, "folders-only",
                   "files-only", options);
            return true;
        case kMaxDepth:
            if (!ParseDepth(value, scope.maxDepth)) {
                bad("'--max-depth' verlangt eine ganze Zahl ab 0, nicht '" + std::string(value) + "'");
            }
            return true;
        case kExclude:
            if (!IsValidUtf8(value)) {
                bad("ein MUSTER für '--exclude' muss gültiges UTF-8 sein");
            }
            scope.exclude.emplace_back(value);
            return true;
        case kKeep:
            if (std::string_view(value).find('/') != std::string_view::npos || !IsValidUtf8(value)) {
                bad("ein WORT für '--keep' darf keinen '/' enthalten und muss gültiges UTF-8 sein");
            }
            scope.keep.emplace_back(value);
            return true;
        default:
            return false;
    }
}

// What the options given together forbid; empty when they fit.
std::string Conflict(const Options& options) {
    if (options.help || options.version) {
        return {};
    }
    if (!options.contradiction.empty()) {
        return options.contradiction;
    }
    if (!options.scope.keep.empty() &&
        (options.caseRule == CaseRule::kUpper || options.caseRule == CaseRule::kLower)) {
        // Upper and lower case place no capital by position; kept spellings would be ignored.
        return "'--keep' gilt nur mit -c oder -w";
    }
    if (options.undo.empty()) {
        return options.paths.empty() ? "kein PFAD angegeben" : "";
    }
    if (!options.paths.empty()) {
        return "mit '--undo' werden keine PFADE angegeben";
    }
    if (options.caseGiven || options.method == RenameMethod::kTwoMoves || !options.journal.empty() ||
        !options.scope.IsDefault()) {
        // An undo gives back the old names; a case rule, a method or a journal (an undo is not
        // written to one) would be silently ignored.
        return "mit '--undo' gelten nur die Optionen -n und -v";
    }
    return {};
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
    ParseResult result;
    Options& options = result.options;

    MutableArgv words(arguments);
    char** argv = words.argv.data();
    const int argc = static_cast<int>(words.words.size());

    opterr = 0;  // the messages are German and our own
    optind = 0;  // start afresh (also when called again)
    while (true) {
        const int before = optind == 0 ? 1 : optind;
        const int letter = ::getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (letter == -1) {
            // Options and paths may be mixed, so the scan goes on past each path ("+" makes
            // getopt_long stop at it); paths are collected in their order as they come.
            if (optind < argc && std::string_view(argv[optind - 1]) != "--") {
                options.paths.emplace_back(argv[optind++]);
                continue;
            }
            break;
        }
        if (ApplyFlag(letter, options) || ApplyScope(letter, nullptr, options)) {
            continue;
        }
        if (letter == kJournal || letter == kUndo || letter == kMaxDepth || letter == kExclude ||
            letter == kKeep) {
            // A forgotten file name must not swallow the next option ("--journal -n"); an empty
            // value ("--exclude=") is none.
            const bool separate = optarg == argv[optind - 1];
            if (*optarg != '\0' && !(separate && *optarg == '-')) {
                if (!ApplyScope(letter, optarg, options)) {
                    (letter == kJournal ? options.journal : options.undo) = optarg;
                }
                continue;
            }
            result.error = OptionError(std::string("--") + LongOptionFor(letter)->name, letter);
            return result;
        }
        const int at = optind > before ? optind - 1 : before;
        result.error = OptionError(at < argc ? argv[at] : "", optopt != 0 ? optopt : letter);
        return result;
    }
    // Everything after "--" is a path, also what begins with "-".
    options.paths.insert(options.paths.end(), argv + optind, argv + argc);
    result.error = Conflict(options);
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
           "PFAD selbst wird aber immer umbenannt. Nur den Inhalt eines Ordners, nicht ihn\n"
           "selbst, benennt 'ORDNER/.' um. Symbolische Verknüpfungen werden selbst umbenannt,\n"
           "aber nie verfolgt. Andere Dateisysteme, die in einem Ordner eingehängt sind, werden\n"
           "mit durchlaufen, außer mit -x.\n"
           "\n"
           "Lange Optionen dürfen abgekürzt werden, solange sie eindeutig bleiben (--up).\n"
           "\n"
           "Schreibweise:\n"
           "  -l, --lower            alles klein (Vorgabe)\n"
           "  -u, --upper            alles groß\n"
           "  -c, --capital          erstes Zeichen groß, alles Weitere klein\n"
           "  -w, --words            jedes Wort mit großem Anfangsbuchstaben, alles Weitere\n"
           "                         klein, die Endung einer Datei ganz klein: aus\n"
           "                         'MY FAVOURITE SONG.MP3' wird 'My Favourite Song.mp3'.\n"
           "                         Ein Wort beginnt nach allem, was weder Buchstabe,\n"
           "                         Ziffer, Akzentzeichen noch Apostroph ist (Don't)\n"
           "\n"
           "Was umbenannt wird (Vorgabe: der ganze Name jedes Eintrags in jeder Tiefe):\n"
           "      --name-only        nur den Namen vor der Endung ändern; die Endung (nach\n"
           "                         dem letzten Punkt, der weder erstes noch letztes\n"
           "                         Zeichen ist) bleibt: -u --name-only macht aus\n"
           "                         'bild.JPG' 'BILD.JPG'\n"
           "      --extension-only   nur die Endung ändern; Ordner und Namen ohne Endung\n"
           "                         bleiben: --extension-only macht aus 'IMG_1234.JPG'\n"
           "                         'IMG_1234.jpg'\n"
           "      --files-only       nur Dateien umbenennen (alles außer Ordnern, auch\n"
           "                         Verknüpfungen)\n"
           "      --folders-only     nur Ordner umbenennen; Ordner werden in jedem Fall\n"
           "                         durchlaufen\n"
           "      --max-depth=N      nur bis N Ebenen unter jedem PFAD; 0: nur die PFADE\n"
           "                         selbst (--max-depth=1: ein Ordner und was direkt darin\n"
           "                         liegt)\n"
           "      --exclude=MUSTER   Einträge, deren Name zum MUSTER passt (*, ?, [...],\n"
           "                         ohne Rücksicht auf Groß- und Kleinschreibung), weder\n"
           "                         umbenennen noch betreten; ein PFAD selbst wird nie\n"
           "                         ausgenommen. Mehrfach möglich: --exclude=node_modules\n"
           "                         --exclude='*.bak'\n"
           "      --keep=WORT        mit -c und -w das ganze Wort WORT genau so schreiben\n"
           "                         wie angegeben (gefunden ohne Rücksicht auf die\n"
           "                         Schreibweise); mehrfach möglich: -w --keep=DVD\n"
           "                         --keep=McCartney macht aus 'paul mccartney live\n"
           "                         dvd.mkv' 'Paul McCartney Live DVD.mkv'\n"
           "\n"
           "Weitere Optionen:\n"
           "  -t, --two-move         jeden PFAD in zwei Schritten über einen vorläufigen\n"
           "                         Namen umbenennen (Vorgabe: direkt)\n"
           "  -n, --dry-run          nichts ändern, nur jede Umbenennung zeigen, die gemacht\n"
           "                         würde\n"
           "  -v, --verbose          jede gemachte Umbenennung zeigen ('alt' -> 'neu') und am\n"
           "                         Ende alle übersprungenen Einträge aufführen\n"
           "  -x, --one-file-system  Ordner auf einem anderen Dateisystem als dem des PFADES\n"
           "                         weder umbenennen noch betreten; sie werden am Ende\n"
           "                         aufgeführt\n"
           "      --journal DATEI    jede gemachte Umbenennung sofort an DATEI anhängen,\n"
           "                         damit sie sich mit --undo zurücknehmen lässt\n"
           "      --undo DATEI       die Umbenennungen aus dem Journal DATEI zurücknehmen, die\n"
           "                         jüngste zuerst, aber nur, was der Lauf selbst umbenannt\n"
           "                         hat: Ordner ohne symbolische Verknüpfung erreicht und mit\n"
           "                         derselben Inode-Nummer, Eintrag derselbe, alter Name frei,\n"
           "                         beide Namen Schreibweisen desselben Namens; alles andere\n"
           "                         wird aufgeführt\n"
           "  -h, --help             diese Hilfe zeigen und beenden\n"
           "  -V, --version          die Versionsnummer zeigen und beenden\n"
           "  --                     alles Weitere sind Pfade, auch wenn es mit '-' beginnt\n"
           "\n"
           "Namen werden in der Ausgabe so in Anführungszeichen gesetzt, dass man sie in eine\n"
           "Shell einfügen kann ('IT'\\''S.TXT', 'NEU'$'\\n''ZEILE'); Steuerzeichen erscheinen\n"
           "nie roh.\n"
           "\n"
           "Kein Eintrag geht verloren: Ist der neue Name schon vergeben (etwa 'readme' neben\n"
           "'README'), behält der Eintrag seinen Namen. Solche Einträge und alle, die nicht\n"
           "umbenannt werden konnten (fehlende Rechte, Name kein gültiges UTF-8), werden am\n"
           "Ende auf der Standardfehlerausgabe aufgeführt. Strg+C (oder SIGTERM) hält nach dem\n"
           "laufenden Eintrag an; jeder Eintrag hat dann seinen alten oder seinen neuen Namen.\n"
           "Nach der Zusammenfassung endet das Programm durch das Signal selbst (die Shell\n"
           "sieht 130 bzw. 143), so dass auch eine Schleife in der Shell anhält.\n"
           "\n"
           "Rückgabewert:\n"
           "  0  jeder Eintrag hat seinen neuen Namen oder hatte ihn schon\n"
           "  1  mindestens ein Eintrag wurde übersprungen\n"
           "  2  falscher Aufruf (unbekannte Option, kein PFAD, Optionen, die einander\n"
           "     ausschließen, ein falscher Wert)\n"
           "Für --undo gilt dasselbe; ein Journal, das sich nicht lesen lässt, ergibt 1.\n";
}

}  // namespace versalo::cli
