// --journal and --undo as a table: every row a tree, a journaled run (or none), what changes before
// the undo, lines added to the journal, and what the undo must leave. The journal is JSON Lines
// that any parser reads; the undo as a dry run lists the same and changes nothing, and the real
// undo, run from another folder, loses nothing.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "tests/support/run.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

struct JournalRow {
    std::string name;
    std::string tree;
    std::string run;            // the journaled run in the tree's root; none: the journal is only lines
    void (*change)(TempTree&);  // between the run and the undo
    std::string lines;          // added to the journal; "@" is the tree's root
    std::string after;          // every path that is not a folder after the undo
    int status = 0;
    std::string report{};
    std::string pattern{};  // rewritten in the journal before the lines are added (one field changed)
    std::string replacement{};
    bool userZxOrDroppedName = false;  // a ZX name that is the user's, or a second name the undo drops
};

void Rename(TempTree& tree, const std::string& from, const std::string& to) {
    std::filesystem::rename(tree.Path(from), tree.Path(to));
}

// A header of a run with the given fields and rename lines old > new in the tree's root, in the
// earliest line format (no numbers to check: only the names decide), each byte one character.
std::string Lines(const std::string& header, const std::string& renames) {
    const auto bytes = [](const std::string& name) {
        std::string text;
        for (const char c : name) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(c));
            text += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string(escaped);
        }
        return text;
    };
    std::string lines = "{\"journal\":\"versalo\"" + header + "}\n";
    for (const std::string& pair : Split(renames)) {
        const std::size_t arrow = pair.find('>');
        lines += "{\"folder\":\"@\",\"old\":\"" + bytes(pair.substr(0, arrow)) + "\",\"new\":\"" +
                 bytes(pair.substr(arrow + 1)) + "\"}\n";
    }
    return lines;
}

// Look-alikes that folding both names once took for case spellings: maße/MASSE, the ligature ﬃ,
// the Kelvin sign; and a line another rule than the run's makes.
const std::string kLookAlikes =
    "MASSE.TXT>maße.txt|OFFICE>o\xEF\xAC\x83"
    "ce|\xE2\x84\xAA>K|b.txt>B.TXT";

// clang-format off
const JournalRow kRows[] = {
    {"EveryNameComesBack", "Fotos/McDonald.TXT|Fotos/Ürlaub 2024/ÄRGER.Doc|Fotos/Ürlaub 2024/Tief/\xF0\x90\x90\x80-D.txt|Fotos/.V/B|Fotos/\xFFodd/X.TXT",
     "-u|Fotos", nullptr, "", "Fotos/.V/B|Fotos/McDonald.TXT|Fotos/Ürlaub 2024/Tief/\xF0\x90\x90\x80-D.txt|Fotos/Ürlaub 2024/ÄRGER.Doc|Fotos/\xFFodd/X.TXT"},
    {"RunOnDotDot", "Work/Sub/FILE.TXT|Work/OTHER.TXT", "Work/Sub/..", nullptr, "", "Work/OTHER.TXT|Work/Sub/FILE.TXT"},
    {"StoppedHalfWayAndRunAgain", "Eins.TXT|Zwei.TXT", "Eins.TXT|Zwei.TXT", [](TempTree& tree) { Rename(tree, "zwei.txt", "Zwei.TXT"); },
     "", "Eins.TXT|Zwei.TXT"},
    {"ALinkSwappedInForAFolder", "Fotos/BILD.JPG|Elsewhere/bild.jpg", "Fotos/BILD.JPG",
     [](TempTree& tree) { Rename(tree, "Fotos", "Moved"); tree.Link("Fotos", "Elsewhere"); },
     "", "Elsewhere/bild.jpg|Fotos|Moved/bild.jpg", 1, "ohne einer symbolischen Verknüpfung zu folgen"},
    {"ALinkNamedLikeItsTarget", "h/README.TXT|m/readme.txt|m/Photos/IMG.JPG|h/Photos -> ../m/Photos", "h/README.TXT|h/Photos/IMG.JPG",
     nullptr, "", "h/Photos|h/README.TXT|m/Photos/IMG.JPG|m/readme.txt"},
    {"EarlierFormatByteForByte", "Caf\xE9/\xC3\xA4rger \"1\".txt|Caf\xE9/b.txt", "", nullptr,
     "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n"
     "{\"folder\":\"@/Caf\\u00E9\",\"old\":\"\\u00C3\\u0084RGER \\\"1\\\".TXT\",\"new\":\"\\u00C3\\u00A4rger \\\"1\\\".txt\"}\n"
     "{\"folder\":\"@/Caf\\u00E9\",\"old\":\"B.TXT\",\"new\":\"b.txt\"}\n",
     "Caf\xE9/B.TXT|Caf\xE9/\xC3\x84RGER \"1\".TXT"},
    {"ALineThatIsNoCaseChange", "etc/passwd", "", nullptr,
     "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n{\"folder\":\"@/etc\",\"old\":\"shadow\",\"new\":\"passwd\"}\n",
     "etc/passwd", 1, "keine Schreibweisen desselben Namens"},
    // Only the run's rule in the run's locale counts; a journal without a rule: any of the three.
    {"LookAlikesUnderTheRunsRule", "maße.txt|o\xEF\xAC\x83" "ce|K|B.TXT", "", nullptr,
     Lines(",\"format\":3,\"rule\":\"lower\",\"locale\":\"de_DE\"", kLookAlikes),
     "B.TXT|K|maße.txt|o\xEF\xAC\x83" "ce", 1, "nach der Regel des Laufs (Kleinbuchstaben, Gebietsschema 'de_DE')"},
    {"LookAlikesWithoutARule", "maße.txt|o\xEF\xAC\x83" "ce|K", "", nullptr, Lines(",\"format\":2", kLookAlikes),
     "K|maße.txt|o\xEF\xAC\x83" "ce", 1, "nach einer der drei Regeln"},
    // Each recorded field on its own: the entry stays when one differs; another device number
    // alone is a disk plugged in again, recognised by its file system's identity.
    {"FolderInodeDiffers", "D/FILE.TXT", "D/FILE.TXT", nullptr, "", "D/file.txt", 1, "andere Inode-Nummer",
     R"(("dev":\d+,"ino":)\d+)", "$011"},
    {"EntryInodeDiffers", "D/FILE.TXT", "D/FILE.TXT", nullptr, "", "D/file.txt", 1, "ein anderer Eintrag als der umbenannte",
     R"(("folder":1,"ino":)\d+)", "$011"},
    {"FileSystemIdentityDiffers", "D/FILE.TXT", "D/FILE.TXT", nullptr, "", "D/file.txt", 1, "anderen Dateisystem",
     R"("fsid":\d+)", "\"fsid\":1"},
    {"DeviceNumberDiffersOnly", "D/FILE.TXT", "D/FILE.TXT", nullptr, "", "D/FILE.TXT", 0, "", R"("dev":\d+)", "\"dev\":1"},
    {"BirthTimeDiffers", "D/FILE.TXT", "D/FILE.TXT", nullptr, "", "D/file.txt", 1, "andere Entstehungszeit",
     R"("birth":\d+)", "\"birth\":1"},
    // Renamed by the user after the run to a name beginning with ZX, in a journal that names no
    // temporary names: not Versalo's.
    {"UsersZxNameEarlierJournal", "zx81.rom", "-u|zx81.rom", [](TempTree& tree) { Rename(tree, "ZX81.ROM", "ZX81 (Sicherung).ROM"); },
     "", "ZX81 (Sicherung).ROM", 1, "ZX81.ROM", R"("format":3)", "\"format\":2", true},
    // An earlier journal names no temporary names: one exactly in Versalo's pattern is taken back.
    {"StrandedUnderATemporaryNameEarlierJournal", "FILE.TXT", "FILE.TXT", [](TempTree& tree) { Rename(tree, "file.txt", "ZX0123abcd.tmp"); },
     "", "FILE.TXT", 0, "", R"("format":3)", "\"format\":2"},
    {"ATemporaryNameNotRecorded", "FILE.TXT", "FILE.TXT", [](TempTree& tree) { Rename(tree, "file.txt", "ZX0123abcd.tmp"); },
     "", "ZX0123abcd.tmp", 1, "file.txt", {}, {}, true},
    // Recorded: the entry comes back; an empty file under another recorded name is another
    // program's (Versalo makes none) and stays; an entry under two names (stopped between link and
    // unlink) keeps the old one.
    {"RecordedTemporaryNames", "FILE.TXT", "FILE.TXT",
     [](TempTree& tree) { Rename(tree, "file.txt", "ZX0123abcd.tmp"); std::ofstream(tree.Path("ZXzzzzzzzz.tmp")); },
     "{\"temporary\":\"ZXzzzzzzzz.tmp\"}\n{\"temporary\":\"ZX0123abcd.tmp\"}\n", "FILE.TXT|ZXzzzzzzzz.tmp", 0, "", {}, {}, true},
    {"StoppedBetweenLinkAndUnlink", "FILE.TXT", "FILE.TXT",
     [](TempTree& tree) { std::filesystem::create_hard_link(tree.Path("file.txt"), tree.Path("FILE.TXT")); },
     "", "FILE.TXT", 0, "", {}, {}, true},
    {"StoppedBetweenLinkAndUnlinkOfATemporaryName", "FILE.TXT", "FILE.TXT",
     [](TempTree& tree) { std::filesystem::create_hard_link(tree.Path("file.txt"), tree.Path("ZX0123abcd.tmp")); },
     "{\"temporary\":\"ZX0123abcd.tmp\"}\n", "FILE.TXT", 0, "", {}, {}, true},
    // Journals that cannot hurt: nested 100,000 levels deep, a line longer than the limit.
    {"DeeplyNestedLine", "A.TXT", "A.TXT", nullptr, "{\"x\":" + std::string(100000, '[') + std::string(100000, ']') + "}\n", "A.TXT", 1, "': die Zeile ist nicht lesbar"},
    {"OverlongLine", "A.TXT", "A.TXT", nullptr, "{\"x\":\"" + std::string(2 << 20, 'x') + "\"}\n", "A.TXT", 1, "länger als 1 MiB"},
    // The rule's options that change what it makes are in the header: each word, name only, kept
    // spellings come back; a line the recorded part would not make is refused.
    {"WordsNamePartAndKeptSpellings", "M/paul mccartney live dvd.MKV|M/sub.dir/DON'T.TXT", "-w|--name-only|--keep=DVD|--keep=McCartney|--excl=x|--max-depth=2|M",
     nullptr, "", "M/paul mccartney live dvd.MKV|M/sub.dir/DON'T.TXT"},
    {"NotMadeByTheRecordedPart", "A b.txt", "", nullptr, Lines(",\"format\":3,\"rule\":\"words\",\"locale\":\"de_DE\",\"part\":\"name\"", "a b.TXT>A b.txt"),
     "A b.txt", 1, "(jedes Wort groß, nur der Name, Gebietsschema 'de_DE')"},
};
// clang-format on

class JournalTable : public ::testing::TestWithParam<std::tuple<JournalRow, bool>> {};

TEST_P(JournalTable, RunChangeUndo) {
    const auto& [row, twoMoves] = GetParam();
    TempTree tree;
    TempTree elsewhere;  // holds the journal; the undo runs there
    tree.Build(row.tree);
    const std::string journal = elsewhere.Path("journal");
    if (!row.run.empty()) {
        std::vector<std::string> args{"versalo-cli", "--journal", journal, twoMoves ? "-t" : "-l"};
        std::ranges::copy(Split(row.run), std::back_inserter(args));
        const RunResult run = RunProgram(args, {.folder = tree.Root()});
        ASSERT_LE(run.status, 1) << run.err;  // 1: a name that is not UTF-8 kept
        std::ifstream in(journal);
        for (std::string line; std::getline(in, line);) {  // JSON Lines that any parser reads
            EXPECT_TRUE(nlohmann::json::accept(line)) << line;
        }
    }
    if (row.change != nullptr) {
        row.change(tree);
    }
    if (!row.pattern.empty()) {
        std::ifstream in(journal, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::ofstream(journal, std::ios::binary)
            << std::regex_replace(text, std::regex(row.pattern), row.replacement);
    }
    std::ofstream(journal, std::ios::app | std::ios::binary)
        << std::regex_replace(row.lines, std::regex("@"), tree.Root());
    const Snapshot before = tree.Snapshot();

    const RunResult dry = RunProgram({"versalo-cli", "-n", "--undo", journal}, {.folder = elsewhere.Root()});
    EXPECT_EQ(tree.Snapshot(), before);
    const RunResult undo =
        RunProgram({"versalo-cli", "-v", "--undo=" + journal}, {.folder = elsewhere.Root()});
    EXPECT_EQ(undo.status, row.status) << undo.err;
    EXPECT_EQ(dry.out, undo.out);
    EXPECT_EQ(dry.status, undo.status);
    EXPECT_EQ(Files(tree.Snapshot()), Split(row.after));
    const auto contents = [](const Snapshot& snapshot) {  // every file's content, but the empty ones
        std::set<std::string> all;
        std::ranges::for_each(snapshot, [&](const auto& entry) { all.insert(entry.second); });
        all.erase("");
        return all;
    };
    EXPECT_EQ(contents(before), contents(tree.Snapshot()));
    EXPECT_TRUE(row.userZxOrDroppedName || NothingLost(before, tree.Snapshot()));
    EXPECT_TRUE(row.report.empty() ? undo.err.empty() : undo.err.find(row.report) != std::string::npos)
        << undo.err;
}

INSTANTIATE_TEST_SUITE_P(Rows, JournalTable,
                         ::testing::Combine(::testing::ValuesIn(kRows), ::testing::Bool()),
                         [](const auto& param) {
                             return std::get<0>(param.param).name +
                                    (std::get<1>(param.param) ? "_TwoMoves" : "_Direct");
                         });

}  // namespace
}  // namespace versalo::test
