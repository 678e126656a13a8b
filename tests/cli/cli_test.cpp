// versalo-cli as tables: every row a tree, the arguments, the names afterwards, the exit status and
// pieces of the report. Each row runs under both methods, first as a dry run and then for real
// (both with -v): the dry run changes nothing and lists and reports exactly what the real run
// does, the real run loses nothing, lists no control character raw, and every listed line pasted
// into bash names an entry that is there afterwards.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <set>
#include <tuple>

#include "tests/support/run.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

using Strings = std::vector<std::string>;

std::string Repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) {
        out += text;
    }
    return out;
}

struct Row {
    std::string name;
    std::string tree;   // as TempTree::Build takes it
    std::string args;   // run in the tree's root
    std::string after;  // every path that is not a folder; "path <- old" also checks it holds old's file
    int status = 0;
    std::string report{};  // pieces of standard output or error ("!piece": not there); without any, a
                           // success says nothing
    std::string env{};     // e.g. a locale
    std::string mount{};   // a tmpfs mounted here before the tree is built
    bool dryKnows = true;  // whether a dry run can foresee everything the real run meets
    bool verbose = true;   // run with -v (which lists every skipped entry in the summary)
};

const std::string kGrowing = Repeat("\xCE\x90", 127);  // 254 bytes; 762 under upper case
const std::string kOdd =
    "Odd/WAS?|Odd/NEU\nZEILE|Odd/ LEAD|Odd/TRAIL |Odd/TAB\tX|Odd/BACK\\SLASH|Odd/-DASH|Odd/STAR*|"
    "Odd/IT'S|Odd/\x1B[31mROT|Odd/$HOME|Odd/\xF0\x9F\x98\x80"
    "A|Odd/C\x01\x1F\xC2\x80\xC2\x9F\xC2\xA0X|Odd/\x7F"
    "DEL";
// Not UTF-8 and holding each class of control character: C0, DEL, the first and last C1.
const std::string kControls = "s/\x01\x1F\x7F\xC2\x80\xC2\x9F\xFF";

// Many/F0|...|Many/F299: more than one read of a folder returns.
std::string Many(const std::string& prefix, int count = 300) {
    return Numbered(count, [&](int i) { return prefix + std::to_string(i); });
}

// clang-format off
const Row kRows[] = {
    {"LowerIsTheDefault", "Box/ReadMe.TXT|Box/Sub Folder/DEEP/Inner.Doc", "Box", "box/readme.txt|box/sub folder/deep/inner.doc", 0,
     "'Box' -> 'box'\n'box/|'box/ReadMe.TXT' -> 'box/readme.txt'\n"},
    {"CapitalOnTheWorkingFolder", "über Alles.Doc|1st Report.doc|mein BRIEF.TXT", "-c|.", "1st report.doc|Mein brief.txt|Über alles.doc"},
    {"OptionsAfterPathsBundledAbbreviated", "bOx/iN.txt", "bOx|-cx|--up", "BOX/IN.TXT", 0, "'BOX/iN.txt' -> 'BOX/IN.TXT'"},
    {"DoubleDashEndsOptions", "-V|-UP", "--|-V|-UP", "-up|-v"},
    {"Collision", "Box/README|Box/readme|Box/Other.txt", "Box", "box/README|box/other.txt|box/readme", 1,
     "'box/README': der neue Name 'readme' ist bereits vergeben|1 Eintrag hat seinen Namen behalten"},
    {"CollisionFirstPathWins", "Foo|FOO", "FOO|Foo", "Foo|foo <- FOO", 1, "bereits vergeben"},
    {"DroppedFolderCollidesAndIsWalked", "box/|BOX/INNER", "BOX", "BOX/inner", 1, "'BOX': der neue"},
    {"Upper", "d/STRASSE|d/straße|d/süß/grüße.doc", "--upper|d", "D/STRASSE|D/SÜSS/GRÜSSE.DOC|D/straße", 1, "'D/straße': der neue Name 'STRASSE' ist bereits vergeben"},
    {"NotUtf8", "Box/\xFFOdd/INNER|Box/CUT\xC3|Box/OVER\xC0\xAFLONG|Box/SUR\xED\xA0\x80", "Box",
     "box/CUT\xC3|box/OVER\xC0\xAFLONG|box/SUR\xED\xA0\x80|box/\xFFOdd/inner", 1,
     "'box/'$'\\377''Odd': der Name ist kein gültiges UTF-8|4 Einträge haben ihren Namen behalten"},
    // ŉ (2 bytes) becomes ʼN (3 bytes): 85 of them are 255 bytes in upper case, the longest name.
    {"TooLongAfterUpper", "W/" + kGrowing + "|W/" + Repeat("\xC3\x9F", 127) + "|W/" + Repeat("\xC5\x89", 85) + "|W/" + Repeat("\xC5\x89", 85) + "a",
     "-u|W", "W/" + kGrowing + "|W/" + Repeat("SS", 127) + "|W/" + Repeat("\xCA\xBCN", 85) + "|W/" + Repeat("\xC5\x89", 85) + "a", 1,
     "zu lang|2 Einträge haben"},
    {"OddCharacters", kOdd, "Odd/.", "Odd/was?|Odd/neu\nzeile|Odd/ lead|Odd/trail |Odd/tab\tx|Odd/back\\slash|Odd/-dash|"
     "Odd/star*|Odd/it's|Odd/\x1B[31mrot|Odd/$home|Odd/\xF0\x9F\x98\x80" "a|Odd/c\x01\x1F\xC2\x80\xC2\x9F\xC2\xA0x|Odd/\x7F" "del", 0,
     "'Odd/./IT'\\''S' -> 'Odd/./it'\\''s'|'Odd/./NEU'$'\\n''ZEILE' -> |'Odd/./C'$'\\001\\037\\302\\200\\302\\237''\xC2\xA0X' -> |'Odd/./'$'\\177''DEL'"},
    {"LinksRenamedNotFollowed", "Target/INSIDE.TXT|Box/LOOP -> ..|Box/SELF -> SELF|Box/TO TARGET -> ../Target|ALONE -> Target",
     "Box|ALONE/", "Target/INSIDE.TXT|alone|box/loop|box/self|box/to target"},
    {"MissingPaths", "THERE.TXT|datei.txt", "Missing/NOTHERE|FEHLT/.|FEHLT/..|datei.txt/.||THERE.TXT", "datei.txt|there.txt", 1,
     "'Missing/NOTHERE'|'FEHLT/.'|'FEHLT/..'|'datei.txt/.'|'':"},
    {"FolderDotAndTrailingSlashes", "TOP/SUB/FILE.TXT|TOP/OTHER/FILE.TXT|TOP/KEPT/FILE.TXT", "TOP/SUB/.|TOP/OTHER///",
     "TOP/KEPT/FILE.TXT|TOP/SUB/file.txt|TOP/other/file.txt"},
    // What bash makes of **/* with globstar: every folder before what is in it.
    {"GlobstarList", "A/B/C.TXT|A/B/D/E.TXT|A/F.TXT", "A|A/B|A/B/C.TXT|A/B/D|A/B/D/E.TXT|A/F.TXT", "a/b/c.txt|a/b/d/e.txt|a/f.txt"},
    {"AFullListing", Many("Many/F"), "Many", Many("many/f")},
    {"OneFileSystem", "TOP/A.TXT|TOP/M'NT/INNER.TXT|TOP/SAME/INNER.TXT", "-x|TOP", "top/M'NT/INNER.TXT|top/a.txt|top/same/inner.txt", 0,
     "1 Ordner, auf dem etwas eingehängt ist, wurde weder umbenannt noch betreten:\n'top/M'\\''NT'\n", "", "TOP/M'NT"},
    // The summary without -v lists 30 entries, then how many more there are.
    {"SummaryAtItsLimit", Many(kControls, 30), "s", Many(kControls, 30), 1, "30 Einträge haben|'s/'$'\\001\\037\\177\\302\\200\\302\\237\\377''1': der Name|!weitere",
     "", "", true, false},
    {"SummaryOverItsLimit", Many(kControls, 31), "s", Many(kControls, 31), 1, "31 Einträge haben|... und 1 weitere.\n", "", "", true, false},
    {"NoPath", "", "", "", 2, "kein PFAD|versalo-cli --help"},
    {"AmbiguousAbbreviation", "KEEP", "--u|KEEP", "KEEP", 2, "die Option '--u' ist mehrdeutig"},
    {"OptionAsAFile", "KEEP", "--journal|-n|KEEP", "KEEP", 2, "die Option '--journal' verlangt eine DATEI"},
    {"JournalUnwritable", "KEEP", "--journal|fehlt/j|KEEP", "KEEP", 1, "kann nicht geschrieben werden", "", "", false},
    // The command line's own answers: a path given twice, a bind mount under -x, arguments and
    // journals that are refused.
    {"SamePathTwice", "t/Top/IN.TXT", "t/Top/|t/Top|t/./Top|t/top", "t/top/in.txt"},
    {"GivenUnderItsNewNameAndAgain", "FILE|KEEP|keep", "FILE|file|KEEP|FILE", "file|KEEP|keep", 1,
     "1 Eintrag hat seinen Namen behalten:\n'KEEP': der neue Name 'keep' ist bereits vergeben\n"},
    {"OneFileSystemBindMount", "TOP/A.TXT|TOP/SRC/INNER.TXT", "-x|TOP", "top/MNT/inner.txt|top/a.txt|top/src/inner.txt", 0,
     "1 Ordner, auf dem etwas eingehängt ist, wurde weder umbenannt noch betreten:\n'top/MNT'\n", "", "TOP/MNT=TOP/SRC"},
    {"UnknownOptionEscaped", "KEEP", "--\x1B[31m|KEEP", "KEEP", 2, "versalo-cli: unbekannte Option '--'$'\\033''[31m'\n"},
    {"UnknownShortOptionEscaped", "KEEP", "-n\xC2\x9B|KEEP", "KEEP", 2, "versalo-cli: unbekannte Option '-'$'\\302\\233'\n"},
    {"NotAJournalRefused", "j|KEEP", "--journal|j|KEEP", "KEEP|j", 2, "versalo-cli: 'j' ist kein Journal von Versalo"},
    // Each word, the name scope and kept spellings. A folder has no extension (sub.dir).
    {"Words", "M/don't stop me now.flac|M/I'LL BE THERE.OGG|M/DISEÑO.TXT|M/e\u0301LAN.TXT|M/sub.dir/MY FAVOURITE SONG.MP3",
     "-w|M", "M/Diseño.txt|M/Don't Stop Me Now.flac|M/E\u0301lan.txt|M/I'll Be There.ogg|M/Sub.Dir/My Favourite Song.mp3"},
    {"WordsTurkish", "istanbul ili", "--wor|istanbul ili", "\u0130stanbul \u0130li", 0, "", "LANG=tr_TR.UTF-8|LC_ALL=tr_TR.UTF-8"},
    {"KeptSpellings", "paul mccartney live dvd.mkv|the dvds of mccartney's.TXT", "-w|--keep=DVD|--kee|McCartney|.",
     "Paul McCartney Live DVD.mkv|The Dvds Of McCartney's.txt"},
    // A folder given twice under a rule that depends on the kind; a kept word changes case only.
    {"FolderGivenTwiceUnderWords", "a.bc/x.y", "-w|a.bc|a.bc", "A.Bc/X.y"},
    {"KeptWordNoLookAlike", "masse.txt", "-w|--keep=ma\xC3\x9F""e|masse.txt", "Masse.txt"},
    {"KeptSpellingCapital", "mein IPHONE foto.JPG", "-c|--keep=iPhone|mein IPHONE foto.JPG", "Mein iPhone foto.jpg"},
    {"NameOnly", "C/img_1234.jpg|C/archive.tar.gz|C/.bashrc|C/sub.d/notes.", "-u|--name-only|C/.",
     "C/.bashrc|C/ARCHIVE.TAR.gz|C/IMG_1234.jpg|C/SUB.D/NOTES."},
    {"ExtensionOnly", "Cam/IMG_1234.JPG|Cam/README|Cam/Sub.DIR/X.TAR.GZ", "--extension-only|Cam",
     "Cam/IMG_1234.jpg|Cam/README|Cam/Sub.DIR/X.TAR.gz"},
    {"FilesOnly", "Box/SUB/FILE.TXT|Box/LINK -> SUB|Box/A.TXT", "--files-only|Box", "Box/SUB/file.txt|Box/a.txt|Box/link"},
    {"FoldersOnly", "Box/SUB/FILE.TXT|Box/A.TXT|Box/EMPTY/", "--folders-only|Box", "box/A.TXT|box/sub/FILE.TXT", 0,
     "'box/EMPTY' -> 'box/empty'"},
    {"MaxDepth", "T/A/B/C/D.TXT|T/E.TXT", "--max-depth=2|T", "t/a/b/C/D.TXT|t/e.txt"},
    {"MaxDepthZero", "T/A.TXT|F.TXT", "--max-depth|0|T|F.TXT", "f.txt|t/A.TXT"},
    // A dropped item is never excluded by its own name; ? is one character, also beyond ASCII.
    {"Exclude", "P/node_modules/X.JS|P/BUILD/OUT.O|P/Src/KEEP.BAK|P/Src/MAIN.C|P/Ärger/ÜBEL.TXT|P/Übel.txt",
     "--exclude=node_modules|--exclude=build|--excl=*.bak|--exclude=äRGER|--exclude=?BEL.*|--exclude=P|P",
     "p/BUILD/OUT.O|p/Ärger/ÜBEL.TXT|p/node_modules/X.JS|p/src/KEEP.BAK|p/src/main.c|p/Übel.txt", 0,
     "versalo-cli: 5 Einträge passten zu --exclude und wurden weder umbenannt noch betreten."},
    {"NameAndExtensionOnly", "KEEP", "--name-only|--extension-only|KEEP", "KEEP", 2,
     "'--name-only' und '--extension-only' schließen einander aus"},
    {"FilesAndFoldersOnly", "KEEP", "--folders-only|--files|KEEP", "KEEP", 2, "'--folders-only' und '--files-only'"},
    {"DepthNotANumber", "KEEP", "--max-depth=-1|KEEP", "KEEP", 2, "'--max-depth' verlangt eine ganze Zahl ab 0, nicht '-1'"},
    {"DepthNotWhole", "KEEP", "--max-depth=1.5|KEEP", "KEEP", 2, "nicht '1.5'"},
    {"EmptyPattern", "KEEP", "--exclude=|KEEP", "KEEP", 2, "die Option '--exclude' verlangt ein MUSTER"},
    {"EmptyKeptWord", "KEEP", "-w|--keep=|KEEP", "KEEP", 2, "die Option '--keep' verlangt ein WORT"},
    {"KeptWordWithSlash", "KEEP", "-w|--keep=AC/DC|KEEP", "KEEP", 2, "keinen '/'"},
    {"KeepWithUpper", "KEEP", "-w|--keep=DVD|-u|KEEP", "KEEP", 2, "'--keep' gilt nur mit -c oder -w"},
};
// clang-format on

// Each listing line pasted into bash: the new names it gives (or "BAD" and the line).
Strings PastedNewNames(const std::string& listing) {
    const std::string script =
        "while IFS= read -r l; do [[ $l == \\'*\"' -> '\"* ]] || continue; if eval \"set -- ${l/ -> / }\" "
        "2>/dev/null && [ $# = 2 ]; then printf '%s|' \"${2##*/}\"; else printf 'BAD %s|' \"$l\"; fi; done";
    const std::string names = RunProgram({"bash", "-c", script}, {.input = listing}).out;
    return Split(names.substr(0, names.size() - 1));
}

class CliTable : public ::testing::TestWithParam<std::tuple<Row, bool>> {};

TEST_P(CliTable, DryRunThenRealRun) {
    const auto& [row, twoMoves] = GetParam();
    TempTree tree;
    if (!row.mount.empty() && !tree.Mount(row.mount)) {
        GTEST_SKIP() << "cannot mount here (needs root)";
    }
    tree.Build(row.tree);
    const Snapshot before = tree.Snapshot();
    Strings args{"versalo-cli", row.verbose ? "-v" : "-l", twoMoves ? "-t" : "-l"};
    std::ranges::copy(Split(row.args), std::back_inserter(args));
    Strings dryArgs = args;
    dryArgs.insert(dryArgs.begin() + 1, "-n");
    const RunOptions options{.folder = tree.Root(), .env = Split(row.env)};
    const RunResult dry = RunProgram(dryArgs, options);
    EXPECT_EQ(tree.Snapshot(), before) << "the dry run changed the tree";
    const RunResult real = RunProgram(args, options);
    const Snapshot after = tree.Snapshot();

    EXPECT_EQ(real.status, row.status) << real.err;
    Strings expected = Split(row.after);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Files(after, row.after), expected);
    EXPECT_TRUE(NothingLost(before, after));
    const std::string said = real.out + real.err;
    for (const std::string& piece : Split(row.report)) {
        const bool absent = piece.starts_with('!');
        EXPECT_EQ(said.find(piece.substr(absent ? 1 : 0)) == std::string::npos, absent) << piece << " in:\n"
                                                                                        << said;
    }
    EXPECT_TRUE(row.status != 0 || !row.report.empty() || real.err.empty()) << real.err;
    if (row.dryKnows) {
        EXPECT_EQ(std::tie(dry.out, dry.err, dry.status), std::tie(real.out, real.err, real.status));
    }
    bool raw = false;  // a C0 control but the line ends, DEL or a C1 control
    for (std::size_t i = 0; i < said.size(); ++i) {
        const auto c = static_cast<unsigned char>(said[i]), next = static_cast<unsigned char>(said[i + 1]);
        raw = raw || (c < 0x20 && c != '\n') || c == 0x7F || (c == 0xC2 && next >= 0x80 && next < 0xA0);
    }
    EXPECT_FALSE(raw) << said;
    std::set<std::string> leaves;
    for (const auto& [path, content] : after) {
        leaves.insert(path.substr(path.rfind('/') + 1));
    }
    for (const std::string& name : PastedNewNames(real.out)) {
        EXPECT_TRUE(leaves.contains(name)) << "pasted into bash, the listing names '" << name << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliTable, ::testing::Combine(::testing::ValuesIn(kRows), ::testing::Bool()),
                         [](const auto& param) {
                             return std::get<0>(param.param).name +
                                    (std::get<1>(param.param) ? "_TwoMoves" : "_Direct");
                         });

// What a row above cannot set up: output to a full disk or to a pipe nobody reads, another user,
// a folder that cannot be listed. Each script runs in bash in a fresh folder with the program as
// $CLI; all it prints (its program's messages included, where it sends them there) must be out.
struct ScriptRow {
    std::string name;
    std::string script;
    std::string out;
};

// A pipe whose reader has gone before the program writes: "$CLI ... >&4".
const std::string kNoReader = "mkfifo f; (exec 3<f) & exec 4>f; wait; ";
const std::string kNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups \"$CLI\" ";
const std::string kStopped = "; jeder Eintrag hat seinen alten oder seinen neuen Namen.\n141\n";

// clang-format off
const ScriptRow kScripts[] = {
    // The walk's order: each folder whole as the system lists it (ls -f), then its subfolders, the last
    // listed first, each the same way; dot-names neither renamed nor entered, links not followed.
    {"WalkOrder", "mkdir -p top/b/d top/f top/.hid o; touch top/a.txt top/b/c.txt top/b/d/e.txt top/f/g.txt top/.hid/h.txt "
     "top/f/.dot.txt o/x.txt; ln -s ../o top/link; w() { local e s=(); for e in $(ls -f \"$1\"); do [[ $e == .* ]] && continue; "
     "echo \"'$2/$e'\"; [[ -d $1/$e && ! -L $1/$e ]] && s=(\"$e\" \"${s[@]}\"); done; for e in \"${s[@]}\"; do w \"$1/$e\" "
     "\"$2/${e^^}\"; done; }; { echo \"'top'\"; w top TOP; } >want; \"$CLI\" -u -v top | sed 's/ -> .*//' | diff - want && wc -l <want",
     "9\n"},
    {"HelpWithin79Columns", "\"$CLI\" --help | grep -c '.\\{80\\}'", "0\n"},
    {"HelpToAFullDisk", "\"$CLI\" --help >/dev/full 2>&1; echo $?; \"$CLI\" -V 2>&1 >/dev/full; echo $?",
     "1\nversalo-cli: Schreibfehler: kein Platz mehr auf dem Datenträger\n1\n"},
    {"ReaderGoneStopsAfterOneRename", kNoReader + "touch A B C; \"$CLI\" -v A B C 2>&1 >&4; echo $?; ls",
     "versalo-cli: abgebrochen nach 1 Umbenennung, da die Ausgabe nicht mehr gelesen wird" + kStopped + "B\nC\na\nf\n"},
    {"ReaderGoneStopsTheDryRun", kNoReader + "touch A B; \"$CLI\" -n A B 2>&1 >&4; echo $?; ls",
     "versalo-cli: abgebrochen nach 1 vorgesehenen Umbenennung, da die Ausgabe nicht mehr gelesen wird" + kStopped +
     "A\nB\nf\n"},
    {"HeadOfALongListing", "mkdir Many; (cd Many && touch $(seq -f 'EIN_NAME_DER_DIE_LISTE_RASCH_FUELLT_%04g' 2000)); "
     "\"$CLI\" -v Many | head -1; echo ${PIPESTATUS[0]}; ls many | grep -q EIN_ && echo nicht alle",
     "'Many' -> 'many'\n141\nnicht alle\n"},
    {"FolderRenamedButNotEntered", "mkdir -p T/SUB; touch T/SUB/X T/KEEP T/keep; chown -R 65534:65534 T; chmod 300 T/SUB; " +
     kNobody + "T/. 2>&1; echo $?",
     "1 Eintrag hat seinen Namen behalten:\n'T/./KEEP': der neue Name 'keep' ist bereits vergeben\n"
     "1 Ordner konnte nicht betreten werden; was darin liegt, hat seinen Namen behalten:\n"
     "'T/./sub': der Ordner kann nicht geöffnet werden: Zugriff verweigert\n1\n"},
    // Journals that are no regular file (a name with a terminal escape) or locked by another run.
    {"JournalRefused", "mkfifo $'f\\e[2J'; touch A.TXT; echo '{\"journal\":\"versalo\",\"format\":3}' >l; exec 9<l; flock 9; "
     "for j in /dev/zero $'f\\e[2J' l; do \"$CLI\" --undo=\"$j\"; echo $?; \"$CLI\" --journal=\"$j\" A.TXT; echo $?; done 2>&1; ls A*",
     "versalo-cli: das Journal '/dev/zero' kann nicht gelesen werden: es ist keine gewöhnliche Datei\n1\n"
     "versalo-cli: das Journal '/dev/zero' kann nicht geschrieben werden: es ist keine gewöhnliche Datei.\n1\n"
     "versalo-cli: das Journal 'f'$'\\033''[2J' kann nicht gelesen werden: es ist keine gewöhnliche Datei\n1\n"
     "versalo-cli: das Journal 'f'$'\\033''[2J' kann nicht geschrieben werden: es ist keine gewöhnliche Datei.\n1\n"
     "versalo-cli: das Journal 'l' kann nicht gelesen werden: ein anderer Lauf von Versalo benutzt es gerade (es ist gesperrt)\n1\n"
     "versalo-cli: das Journal 'l' kann nicht geschrieben werden: ein anderer Lauf von Versalo benutzt es gerade (es ist gesperrt).\n1\n"
     "A.TXT\n"},
    // Another user on a tree with root's entries, a closed folder, a sticky folder and its own (the
    // report sorted: the walk meets the entries in the order the file system lists them); a
    // read-only mount; a collision that moves nothing, not even there and back (the change time
    // stays). Both methods alike.
    {"UnprivilegedUser", "mkdir -p T/OPEN T/LOCKED T/SECRET T/STICKY; touch T/OPEN/FILE.TXT T/ROOTS.TXT T/LOCKED/INNER.TXT "
     "T/SECRET/HIDDEN.TXT T/STICKY/ROOTS.TXT T/STICKY/MINE.TXT; chown 65534:65534 T T/OPEN T/OPEN/FILE.TXT T/STICKY/MINE.TXT; "
     "chmod 700 T/SECRET; chmod 1777 T/STICKY; cp -a T U; a=$(" + kNobody + "-l T 2>&1 | sort; echo ${PIPESTATUS[0]}; ls T T/*); b=$(" +
     kNobody + "-t U 2>&1 | sort; echo ${PIPESTATUS[0]}; ls U U/*); [ \"$a\" = \"${b//U/T}\" ] && echo \"$a\"",
     "'T': Zugriff verweigert\n'T/locked/INNER.TXT': Zugriff verweigert\n'T/secret': der Ordner kann nicht geöffnet "
     "werden: Zugriff verweigert\n'T/sticky/ROOTS.TXT': Zugriff verweigert\n1 Ordner konnte nicht betreten werden; was "
     "darin liegt, hat seinen Namen behalten:\n3 Einträge haben ihren Namen behalten:\n1\nT/roots.txt\n\nT:\nlocked\nopen\n"
     "roots.txt\nsecret\nsticky\n\nT/locked:\nINNER.TXT\n\nT/open:\nfile.txt\n\nT/secret:\nHIDDEN.TXT\n\nT/sticky:\nROOTS.TXT\nmine.txt\n"},
    {"ReadOnlyMount", "mkdir -p R/SUB; touch R/FILE.TXT R/SUB/INNER.TXT; mount --bind R R; mount -o remount,bind,ro R; "
     "a=$(\"$CLI\" -l R/FILE.TXT R/SUB 2>&1; echo $?); b=$(\"$CLI\" -t R/FILE.TXT R/SUB 2>&1; echo $?); umount R; "
     "[ \"$a\" = \"$b\" ] && echo \"$a\" && find R | sort",
     "3 Einträge haben ihren Namen behalten:\n'R/FILE.TXT': das Dateisystem ist schreibgeschützt\n'R/SUB': das Dateisystem "
     "ist schreibgeschützt\n'R/SUB/INNER.TXT': das Dateisystem ist schreibgeschützt\n1\nR\nR/FILE.TXT\nR/SUB\nR/SUB/INNER.TXT\n"},
    {"CollisionMovesNothing", "mkdir DIR; touch README readme DIR/NOTE DIR/note; t=$(stat -c %z README DIR/NOTE); for m in -l -t; "
     "do \"$CLI\" $m README D* >/dev/null 2>&1; echo $?; done; [ \"$(stat -c %z README dir/NOTE)\" = \"$t\" ] && ls . dir",
     "1\n1\n.:\nREADME\ndir\nreadme\n\ndir:\nNOTE\nnote\n"},
    {"DryRunOfAFolderThatCannotBeListed", "mkdir D; touch D/FILE D/file D/OTHER; chown -R 65534:65534 D; chmod 300 D; " +
     kNobody + "-n -v D/FILE D/OTHER 2>e; echo $?; cat e; " + kNobody + "-v D/FILE D/OTHER 2>e; echo $?; cat e",
     "'D/OTHER' -> 'D/other'\n1\n1 Eintrag hat seinen Namen behalten:\n'D/FILE': der neue Name 'file' ist bereits vergeben\n"
     "'D/OTHER' -> 'D/other'\n1\n1 Eintrag hat seinen Namen behalten:\n'D/FILE': der neue Name 'file' ist bereits vergeben\n"},
};
// clang-format on

class CliScripts : public ::testing::TestWithParam<ScriptRow> {};

TEST_P(CliScripts, PrintExactly) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the scripts switch users (needs root)";
    }
    TempTree tree;
    const char* cli = std::getenv("VERSALO_CLI");  // as the harness finds the program
    const RunResult run =
        RunProgram({"bash", "-c", GetParam().script},
                   {.folder = tree.Root(), .env = {std::string("CLI=") + (cli ? cli : VERSALO_CLI_BUILT)}});
    EXPECT_EQ(run.out, GetParam().out) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Scripts, CliScripts, ::testing::ValuesIn(kScripts),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace versalo::test
