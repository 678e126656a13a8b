// Undo of a batch and the command line's journal: every name comes back exactly, nothing that
// changed in between is overwritten, and a journal survives being cut off.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "engine/drop_batch.h"
#include "engine/engine_state.h"
#include "engine/journal.h"
#include "engine/undo.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_tree.h"

namespace versalo {
namespace {

class UndoTest : public ::testing::Test {
protected:
    void SetUp() override {
        CurrentCaseType = kCaseLower;
        RenameDirect = 1;
    }
    void TearDown() override {
        CurrentCaseType = 0;
        RenameDirect = 0;
        EXPECT_EQ(BatchRunning, 0);
        EXPECT_TRUE(test::TemporaryNamesBelow(tree.Root()).empty());
    }
    BatchResult Drop(const std::vector<std::string>& relative, RenameListener& listener) {
        DropData data{true, {}};
        for (const std::string& path : relative) {
            data.paths.push_back(tree.Path(path));
        }
        BatchOptions options;
        options.listener = &listener;
        return ProcessDrop(data, host, options);
    }

    test::TempTree tree;
    test::RecordingHost host;
};

TEST_F(UndoTest, UndoAfterATreeRenameRestoresEveryNameExactly) {
    tree.File("Fotos/McDonald.TXT", "a");
    tree.File("Fotos/Ürlaub/ÄRGER.Doc", "b");
    tree.File("Fotos/Ürlaub/Tief/ΣΟΦΙΑ.txt", "c");
    tree.File("Fotos/.Versteckt/BLEIBT", "d");
    tree.File("Einzeln.TXT", "e");
    const auto before = tree.Snapshot();
    UndoRecord record;
    ASSERT_TRUE(Drop({"Fotos", "Einzeln.TXT"}, record).AllDone());
    ASSERT_NE(tree.Snapshot(), before);
    EXPECT_EQ(record.Count(), 7U);

    test::RecordingHost undoHost;
    const BatchResult undone = UndoRenames(record.Steps(), undoHost);
    EXPECT_TRUE(undone.AllDone());
    EXPECT_EQ(undone.renamed, 7U);
    EXPECT_EQ(tree.Snapshot(), before);
    EXPECT_EQ(undoHost.beeps, 1);
    EXPECT_EQ(undoHost.calls.front(), "enabled 0");
}

TEST_F(UndoTest, UndoAfterAPartialBatchReversesOnlyWhatWasDone) {
    tree.File("Ordner/README", "upper");
    tree.File("Ordner/readme", "lower");
    tree.File("Ordner/Neu.TXT", "new");
    const auto before = tree.Snapshot();
    UndoRecord record;
    const BatchResult result = Drop({"Ordner"}, record);
    EXPECT_EQ(result.skipped.Count(), 1U);
    EXPECT_EQ(record.Count(), 2U);  // Ordner and Neu.TXT
    const BatchResult undone = UndoRenames(record.Steps(), host);
    EXPECT_TRUE(undone.AllDone());
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(UndoTest, ChangesMadeInBetweenAreSkippedAndNothingIsOverwritten) {
    tree.File("Weg.TXT", "gone");
    tree.File("Umbenannt.TXT", "moved");
    tree.File("Belegt.TXT", "taken");
    tree.File("Gut.TXT", "good");
    UndoRecord record;
    ASSERT_TRUE(Drop({"Weg.TXT", "Umbenannt.TXT", "Belegt.TXT", "Gut.TXT"}, record).AllDone());
    ::unlink(tree.Path("weg.txt").c_str());
    ::rename(tree.Path("umbenannt.txt").c_str(), tree.Path("anders.txt").c_str());
    tree.File("Belegt.TXT", "newcomer");

    const BatchResult undone = UndoRenames(record.Steps(), host);
    EXPECT_TRUE(undone.finished);
    EXPECT_EQ(undone.renamed, 1U);
    EXPECT_EQ(undone.skipped.Count(), 3U);
    EXPECT_EQ(host.skipped.size(), 3U);
    EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{{"Belegt.TXT", "newcomer"},
                                                                   {"Gut.TXT", "good"},
                                                                   {"anders.txt", "moved"},
                                                                   {"belegt.txt", "taken"}}));
}

TEST_F(UndoTest, UndoThroughALinkedFolderTouchesNothingBesideIt) {
    tree.File("w/x/Foo", "mine");
    tree.File("elsewhere/real/Bar", "bar");
    tree.File("elsewhere/foo", "decoy");  // where ".." from the link's target leads
    tree.Link("w/x/L", "../../elsewhere/real");
    UndoRecord record;
    ASSERT_TRUE(Drop({"w/x/Foo", "w/x/L/Bar"}, record).AllDone());
    ASSERT_EQ(record.Count(), 2U);
    const BatchResult undone = UndoRenames(record.Steps(), host);
    EXPECT_TRUE(undone.AllDone()) << undone.skipped.Summary();
    const auto after = tree.Snapshot();
    EXPECT_EQ(after.at("w/x/Foo"), "mine");
    EXPECT_EQ(after.at("elsewhere/real/Bar"), "bar");
    EXPECT_EQ(after.at("elsewhere/foo"), "decoy");
}

TEST_F(UndoTest, UndoReachesTreesDeeperThanThePathLimit) {
    const std::string level = "EBENE-ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const int depth = PATH_MAX / static_cast<int>(level.size() + 1) + 10;
    int fd = ::open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
        const int child = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = child;
    }
    ::close(::openat(fd, "UNTEN.TXT", O_WRONLY | O_CREAT, 0600));
    ::close(fd);

    UndoRecord record;
    ASSERT_TRUE(Drop({level}, record).AllDone());
    ASSERT_EQ(record.Count(), static_cast<std::size_t>(depth) + 1);
    const BatchResult undone = UndoRenames(record.Steps(), host);
    EXPECT_TRUE(undone.AllDone());
    EXPECT_EQ(undone.renamed, static_cast<std::size_t>(depth) + 1);

    fd = ::open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        const int child = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(child, 0) << "level " << i;
        fd = child;
    }
    EXPECT_EQ(::faccessat(fd, "UNTEN.TXT", F_OK, 0), 0);
    ::close(fd);
    std::filesystem::remove_all(tree.Path(level));
}

// Reads a whole journal from its end: the steps newest first, and the lines it passed over.
struct ReadBack {
    bool opened = false;
    std::string error;
    std::vector<UndoStep> steps;
    std::vector<SkippedEntry> problems;
};
ReadBack ReadJournal(const std::string& path) {
    ReadBack result;
    JournalReader reader;
    result.opened = reader.Open(path, result.error);
    UndoStep step;
    SkippedEntry problem;
    for (UndoSource::Next next;
         result.opened && (next = reader.Read(step, problem)) != UndoSource::Next::kEnd;) {
        if (next == UndoSource::Next::kStep) {
            result.steps.push_back(step);
        } else {
            result.problems.push_back(problem);
        }
    }
    return result;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST_F(UndoTest, JournalIsPlainJsonAndKeepsNamesThatAreNotUtf8Exactly) {
    // A folder whose name is not UTF-8 keeps it (the case rules cannot read it), but what is
    // inside is renamed: its path must come back byte for byte, and the UTF-8 names stay readable.
    const std::string odd = "Caf\xE9 \"1\"\\";
    tree.File(odd + "/ÄRGER.Doc", "a");
    tree.File(odd + "/Zeile\nUmbruch.TXT", "b");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + "-journal.jsonl";
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(Drop({odd}, writer).finished);
        // A name that is not UTF-8 given to the journal directly, as a later case rule might.
        const int dirfd = ::open(tree.Path(odd).c_str(), O_PATH | O_DIRECTORY);
        tree.File(odd + "/ALT\xFF", "c");
        EXPECT_EQ(writer.Renaming({"", "ALT\xFF", "alt\xFF", dirfd}), BeforeRename::kGo);
        ::close(dirfd);
    }
    bool sawReadable = false;
    for (const std::string& line : Lines(journal)) {
        const auto json = nlohmann::json::parse(line);  // throws on anything that is not JSON
        ASSERT_TRUE(json.is_object()) << line;
        sawReadable = sawReadable || (json.contains("old") && json["old"] == "ÄRGER.Doc");
    }
    EXPECT_TRUE(sawReadable);
    const ReadBack read = ReadJournal(journal);
    ::unlink(journal.c_str());
    ASSERT_TRUE(read.opened) << read.error;
    EXPECT_TRUE(read.problems.empty());
    ASSERT_EQ(read.steps.size(), 3U);
    EXPECT_EQ(read.steps[0].oldName, "ALT\xFF");
    EXPECT_EQ(read.steps[0].newName, "alt\xFF");
    EXPECT_EQ(read.steps[0].folder, tree.Path(odd));
    ::unlink(tree.Path(odd + "/ALT\xFF").c_str());
    EXPECT_TRUE(
        UndoRenames(std::vector<UndoStep>(read.steps.rbegin(), read.steps.rend() - 1), host).finished);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_F(UndoTest, TornLinesArePassedOverAndTheNextRunStartsOnANewLine) {
    tree.File("Eins/A.TXT", "a");
    tree.File("Eins/B.TXT", "b");
    tree.File("Zwei/C.TXT", "c");
    const std::string journal = tree.Root() + "-journal.jsonl";
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(Drop({"Eins"}, writer).AllDone());
    }
    // A full disk stopped the first run in the middle of its last line.
    std::string text;
    {
        std::ifstream in(journal);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    text.resize(text.size() - 12);
    std::ofstream(journal, std::ios::trunc) << text;
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(Drop({"Zwei"}, writer).AllDone());
    }
    const std::vector<std::string> lines = Lines(journal);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.starts_with("{\"journal\":\"versalo\""); }),
        2);
    const ReadBack read = ReadJournal(journal);
    ASSERT_EQ(read.problems.size(), 1U);  // the torn line, with its number
    EXPECT_EQ(read.problems[0].path,
              journal + ":" + std::to_string(std::count(text.begin(), text.end(), '\n') + 1));
    EXPECT_EQ(read.steps.size(), 4U);  // the torn rename is lost, the other four are there

    JournalReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(journal, error)) << error;
    const BatchResult undone = UndoRenames(reader, host);
    ::unlink(journal.c_str());
    EXPECT_EQ(undone.renamed, 4U);
    EXPECT_EQ(undone.skipped.Count(), 1U);
    const auto names = tree.Names("Eins");
    EXPECT_EQ(tree.Names("Zwei"), std::vector<std::string>{"C.TXT"});
    EXPECT_TRUE(names == (std::vector<std::string>{"A.TXT", "b.txt"}) ||
                names == (std::vector<std::string>{"B.TXT", "a.txt"}))
        << names.size();
}

TEST_F(UndoTest, JournalsThatAreNotOursAreRefused) {
    EXPECT_FALSE(ReadJournal(tree.Path("fehlt.jsonl")).opened);
    tree.File("fremd.jsonl", "{\"folder\":\"/\",\"old\":\"a\",\"new\":\"b\"}\n");
    const ReadBack foreign = ReadJournal(tree.Path("fremd.jsonl"));
    EXPECT_FALSE(foreign.opened);
    EXPECT_NE(foreign.error.find("kein Journal"), std::string::npos);
    tree.File("kaputt.jsonl",
              "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n{\"folder\":\"/\",\"old\":\"a/"
              "b\",\"new\":\"c\"}\n{\"folder\":\"/\",\"old\":\"D\",\"new\":\"d\"}\n");
    const ReadBack broken = ReadJournal(tree.Path("kaputt.jsonl"));
    EXPECT_TRUE(broken.opened);
    ASSERT_EQ(broken.problems.size(), 1U);
    EXPECT_EQ(broken.problems[0].path, tree.Path("kaputt.jsonl") + ":2");
    EXPECT_EQ(broken.steps.size(), 1U);
}

TEST_F(UndoTest, AJournalWrittenDuringABatchUndoesIt) {
    tree.File("Ordner/UNTER/DATEI.TXT", "x");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + "-journal.jsonl";
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(Drop({"Ordner"}, writer).AllDone());
    }
    JournalReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(journal, error)) << error;
    BatchOptions dryRun;
    dryRun.dryRun = true;
    const auto renamed = tree.Snapshot();
    EXPECT_EQ(UndoRenames(reader, host, dryRun).renamed, 3U);
    EXPECT_EQ(tree.Snapshot(), renamed);
    JournalReader again;
    ASSERT_TRUE(again.Open(journal, error)) << error;
    EXPECT_TRUE(UndoRenames(again, host).AllDone());
    ::unlink(journal.c_str());
    EXPECT_EQ(tree.Snapshot(), before);
}

}  // namespace
}  // namespace versalo
