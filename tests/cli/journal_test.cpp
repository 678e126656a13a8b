// --journal and --undo as a table: every row a tree, a journaled run (or none), what changes before
// the undo, lines added to the journal, and what the undo must leave. The journal is JSON Lines
// that any parser reads; the undo as a dry run lists the same and changes nothing, and the real
// undo, run from another folder, loses nothing.
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

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
};

void Rename(TempTree& tree, const std::string& from, const std::string& to) {
    std::filesystem::rename(tree.Path(from), tree.Path(to));
}

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
    {"AnotherFileTookTheName", "Ordner/BERICHT.DOC", "Ordner/BERICHT.DOC",
     [](TempTree& tree) { Rename(tree, "Ordner/bericht.doc", "weg.doc"); tree.File("Ordner/bericht.doc", "new"); },
     "", "Ordner/bericht.doc|weg.doc", 1, "ein anderer Eintrag als der umbenannte"},
    {"TornLastLine", "A.TXT|B.TXT", "A.TXT|B.TXT", nullptr, "{\"folder\":1,\"ino\":1,\"old\":\"X", "A.TXT|B.TXT", 1,
     "journal:5': die Zeile ist nicht lesbar"},
    // Written as the earlier version did: each byte one character, \u00XX beyond ASCII.
    {"EarlierFormatByteForByte", "Caf\xE9/\xC3\xA4rger \"1\".txt|Caf\xE9/b.txt", "", nullptr,
     "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n"
     "{\"folder\":\"@/Caf\\u00E9\",\"old\":\"\\u00C3\\u0084RGER \\\"1\\\".TXT\",\"new\":\"\\u00C3\\u00A4rger \\\"1\\\".txt\"}\n"
     "{\"folder\":\"@/Caf\\u00E9\",\"old\":\"B.TXT\",\"new\":\"b.txt\"}\n",
     "Caf\xE9/B.TXT|Caf\xE9/\xC3\x84RGER \"1\".TXT"},
    {"ALineThatIsNoCaseChange", "etc/passwd", "", nullptr,
     "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n{\"folder\":\"@/etc\",\"old\":\"shadow\",\"new\":\"passwd\"}\n",
     "etc/passwd", 1, "keine Schreibweisen desselben Namens"},
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
    EXPECT_TRUE(NothingLost(before, tree.Snapshot()));
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
