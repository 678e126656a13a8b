// versalo-cli as tables: every row a tree, the arguments, the names afterwards, the exit status and
// pieces of the report. Each row runs under both methods, first as a dry run and then for real
// (both with -v): the dry run changes nothing and lists and reports exactly what the real run
// does, the real run loses nothing, lists no control character raw, and every listed line pasted
// into bash names an entry that is there afterwards.
#include <algorithm>
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
    std::string report{};  // pieces of standard output or error; without any, a success says nothing
    std::string env{};     // e.g. a locale
    std::string mount{};   // a tmpfs mounted here before the tree is built
    bool dryKnows = true;  // whether a dry run can foresee everything the real run meets
};

const std::string kGrowing = Repeat("\xCE\x90", 127);  // 254 bytes; 762 under upper case
const std::string kOdd =
    "Odd/WAS?|Odd/NEU\nZEILE|Odd/ LEAD|Odd/TRAIL |Odd/TAB\tX|Odd/BACK\\SLASH|Odd/-DASH|Odd/STAR*|"
    "Odd/IT'S|Odd/\x1B[31mROT|Odd/$HOME|Odd/\xF0\x9F\x98\x80"
    "A|Odd/C1\xC2\x85X|Odd/\x7F"
    "DEL";

// Many/F0|...|Many/F299, more than one read of a folder returns.
std::string Many(const std::string& prefix) {
    std::string items = prefix + "0";
    for (int i = 1; i < 300; ++i) {
        items += "|" + prefix + std::to_string(i);
    }
    return items;
}

// clang-format off
const Row kRows[] = {
    {"LowerIsTheDefault", "Box/ReadMe.TXT|Box/Sub Folder/DEEP/Inner.Doc", "Box", "box/readme.txt|box/sub folder/deep/inner.doc", 0,
     "'Box' -> 'box'\n'box/|'box/ReadMe.TXT' -> 'box/readme.txt'\n"},
    {"Upper", "box/straße/grüße.doc", "--upper|box", "BOX/STRASSE/GRÜSSE.DOC"},
    {"QuestionMarkInAPath", "Was?/NUN?.MP3|OTHER.TXT", "Was?|OTHER.TXT", "other.txt|was?/nun?.mp3"},
    {"CapitalOnTheWorkingFolder", "über Alles.Doc|1st Report.doc|mein BRIEF.TXT", "-c|.", "1st report.doc|Mein brief.txt|Über alles.doc"},
    {"Abbreviations", "bOx/iN.txt", "--up|--verb|bOx", "BOX/IN.TXT"},
    {"OptionsAfterPathsAndBundled", "box/inner.txt", "box|-uv", "BOX/INNER.TXT", 0, "'BOX/inner.txt' -> 'BOX/INNER.TXT'"},
    {"DoubleDashEndsOptions", "-V|-UP", "--|-V|-UP", "-up|-v"},
    {"DotNamesLeftAlone", "Box/.Hidden/INSIDE|Box/.Profile|Box/Shown", "Box", "box/.Hidden/INSIDE|box/.Profile|box/shown"},
    {"Collision", "Box/README|Box/readme|Box/Other.txt", "Box", "box/README|box/other.txt|box/readme", 1,
     "'box/README': der neue Name 'readme' ist bereits vergeben|1 Eintrag hat seinen Namen behalten"},
    {"CollisionFirstPathWins", "Foo|FOO", "FOO|Foo", "Foo|foo <- FOO", 1, "bereits vergeben"},
    {"DroppedFolderCollidesAndIsWalked", "box/|BOX/INNER", "BOX", "BOX/inner", 1, "'BOX': der neue"},
    {"SharpSUpper", "d/STRASSE|d/straße", "-u|d", "D/STRASSE|D/straße", 1, "'D/straße': der neue Name 'STRASSE' ist bereits vergeben"},
    {"NotUtf8", "Box/\xFFOdd/INNER|Box/CUT\xC3|Box/OVER\xC0\xAFLONG|Box/SUR\xED\xA0\x80", "Box",
     "box/CUT\xC3|box/OVER\xC0\xAFLONG|box/SUR\xED\xA0\x80|box/\xFFOdd/inner", 1,
     "'box/'$'\\377''Odd': der Name ist kein gültiges UTF-8|4 Einträge haben ihren Namen behalten"},
    {"TooLongAfterUpper", "W/" + kGrowing + "|W/" + Repeat("\xC3\x9F", 127), "-u|W", "W/" + kGrowing + "|W/" + Repeat("SS", 127), 1,
     "zu lang"},
    {"TurkishUpper", "istanbul|izmir", "-u|istanbul|izmir", "\xC4\xB0STANBUL|\xC4\xB0ZM\xC4\xB0R", 0, "", "LANG=tr_TR.UTF-8|LC_ALL=tr_TR.UTF-8"},
    {"OddCharacters", kOdd, "Odd/.", "Odd/was?|Odd/neu\nzeile|Odd/ lead|Odd/trail |Odd/tab\tx|Odd/back\\slash|Odd/-dash|"
     "Odd/star*|Odd/it's|Odd/\x1B[31mrot|Odd/$home|Odd/\xF0\x9F\x98\x80" "a|Odd/c1\xC2\x85x|Odd/\x7F" "del", 0,
     "'Odd/./IT'\\''S' -> 'Odd/./it'\\''s'|'Odd/./NEU'$'\\n''ZEILE' -> "},
    {"LinksRenamedNotFollowed", "Target/INSIDE.TXT|Box/LOOP -> ..|Box/SELF -> SELF|Box/TO TARGET -> ../Target|ALONE -> Target",
     "Box|ALONE/", "Target/INSIDE.TXT|alone|box/loop|box/self|box/to target"},
    {"MissingPaths", "THERE.TXT|datei.txt", "Missing/NOTHERE|FEHLT/.|FEHLT/..|datei.txt/.||THERE.TXT", "datei.txt|there.txt", 1,
     "'Missing/NOTHERE'|'FEHLT/.'|'FEHLT/..'|'datei.txt/.'|'':"},
    {"FolderDot", "TOP/SUB/FILE.TXT|TOP/OTHER/FILE.TXT", "TOP/SUB/.", "TOP/OTHER/FILE.TXT|TOP/SUB/file.txt"},
    {"TrailingSlashes", "TOP/SUB/FILE.TXT|TOP/OTHER/FILE.TXT", "TOP/OTHER///", "TOP/SUB/FILE.TXT|TOP/other/file.txt"},
    // What bash makes of **/* with globstar: every folder before what is in it.
    {"GlobstarList", "A/B/C.TXT|A/B/D/E.TXT|A/F.TXT", "A|A/B|A/B/C.TXT|A/B/D|A/B/D/E.TXT|A/F.TXT", "a/b/c.txt|a/b/d/e.txt|a/f.txt"},
    {"AFullListing", Many("Many/F"), "Many", Many("many/f")},
    {"SameFileTwice", "FILE", "FILE|FILE", "file", 1, "'FILE'"},
    {"OneFileSystem", "TOP/A.TXT|TOP/MNT/INNER.TXT", "-x|TOP", "top/MNT/INNER.TXT|top/a.txt", 0,
     "1 Ordner auf einem anderen Dateisystem wurde weder umbenannt noch betreten:\n'top/MNT'\n", "", "TOP/MNT"},
    {"NoPath", "", "", "", 2, "kein PFAD|versalo-cli --help"},
    {"UnknownLongOption", "KEEP", "--frobnicate|KEEP", "KEEP", 2, "unbekannte Option '--frobnicate'"},
    {"JournalUnwritable", "KEEP", "--journal|fehlt/j|KEEP", "KEEP", 1, "kann nicht geschrieben werden", "", "", false},
    // Each word, the name scope and kept spellings. A folder has no extension (sub.dir).
    {"Words", "M/don't stop me now.flac|M/I'LL BE THERE.OGG|M/DISEÑO.TXT|M/e\u0301LAN.TXT|M/sub.dir/MY FAVOURITE SONG.MP3",
     "-w|M", "M/Diseño.txt|M/Don't Stop Me Now.flac|M/E\u0301lan.txt|M/I'll Be There.ogg|M/Sub.Dir/My Favourite Song.mp3"},
    {"WordsTurkish", "istanbul ili", "--wor|istanbul ili", "\u0130stanbul \u0130li", 0, "", "LANG=tr_TR.UTF-8|LC_ALL=tr_TR.UTF-8"},
    {"KeptSpellings", "paul mccartney live dvd.mkv|the dvds of mccartney's.TXT", "-w|--keep=DVD|--kee|McCartney|.",
     "Paul McCartney Live DVD.mkv|The Dvds Of McCartney's.txt"},
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
    {"KeepWithLower", "KEEP", "--keep=DVD|-c|-l|KEEP", "KEEP", 2, "'--keep' gilt nur mit -c oder -w"},
};
// clang-format on

// Every path of a snapshot that is not a folder; with " <- old" where the row names the origin.
Strings Files(const Snapshot& snapshot, const std::string& wanted) {
    Strings files;
    for (const auto& [path, content] : snapshot) {
        const bool withOrigin =
            ("|" + wanted + "|").find("|" + path + " <- " + content + "|") != std::string::npos;
        if (content != "<dir>") {
            files.push_back(withOrigin ? path + " <- " + content : path);
        }
    }
    return files;
}

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
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    tree.Build(row.tree);
    const Snapshot before = tree.Snapshot();
    Strings args{"versalo-cli", "-v", twoMoves ? "-t" : "-l"};
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
    for (const std::string& piece : Split(row.report)) {
        EXPECT_NE((real.out + real.err).find(piece), std::string::npos) << piece << " in:\n"
                                                                        << real.out << real.err;
    }
    EXPECT_TRUE(row.status != 0 || !row.report.empty() || real.err.empty()) << real.err;
    if (row.dryKnows) {
        EXPECT_EQ(std::tie(dry.out, dry.err, dry.status), std::tie(real.out, real.err, real.status));
    }
    EXPECT_TRUE(
        std::ranges::none_of(real.out, [](char c) { return (c != '\n' && (c & 0xE0) == 0) || c == 0x7F; }));
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

}  // namespace
}  // namespace versalo::test
