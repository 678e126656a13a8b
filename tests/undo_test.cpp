// Undo of a batch and the command line's journal: every name comes back exactly, nothing that
// changed in between is overwritten, and a journal survives being cut off.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <fstream>

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

TEST_F(UndoTest, JournalCarriesAnyByteAndSurvivesACutOffLastLine) {
    const std::string journal = tree.Path("journal.jsonl");
    const std::vector<RenameStep> steps = {
        {"/tmp/Ordner \"mit\" Anführung\\", "ALT\xE9\n", "neu\x01"},
        {"/", "B", "b"},
    };
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(writer.Ok());
        for (const RenameStep& step : steps) {
            writer.Renamed(step);
        }
    }
    // A run killed while writing leaves half a line behind.
    std::ofstream(journal, std::ios::app) << "{\"folder\":\"/x\",\"old\":\"A";

    std::vector<RenameStep> read;
    std::string error;
    std::string warning;
    ASSERT_TRUE(ReadJournal(journal, read, error, warning)) << error;
    EXPECT_FALSE(warning.empty());
    ASSERT_EQ(read.size(), 2U);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(read[i].folder, steps[i].folder);
        EXPECT_EQ(read[i].oldName, steps[i].oldName);
        EXPECT_EQ(read[i].newName, steps[i].newName);
    }
    std::ifstream in(journal);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}");
}

TEST_F(UndoTest, JournalsThatAreNotOursAreRefused) {
    std::vector<RenameStep> steps;
    std::string error;
    std::string warning;
    EXPECT_FALSE(ReadJournal(tree.Path("fehlt.jsonl"), steps, error, warning));
    tree.File("fremd.jsonl", "{\"folder\":\"/\",\"old\":\"a\",\"new\":\"b\"}\n");
    EXPECT_FALSE(ReadJournal(tree.Path("fremd.jsonl"), steps, error, warning));
    tree.File("kaputt.jsonl",
              "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n{\"folder\":\"/\",\"old\":\"a/"
              "b\",\"new\":\"c\"}\n");
    EXPECT_FALSE(ReadJournal(tree.Path("kaputt.jsonl"), steps, error, warning));
    EXPECT_NE(error.find("Zeile 2"), std::string::npos);
    EXPECT_TRUE(steps.empty());
}

TEST_F(UndoTest, AJournalWrittenDuringABatchUndoesIt) {
    tree.File("Ordner/UNTER/DATEI.TXT", "x");
    const auto before = tree.Snapshot();
    const std::string journal = tree.Root() + "-journal.jsonl";
    {
        JournalWriter writer(journal);
        ASSERT_TRUE(Drop({"Ordner"}, writer).AllDone());
    }
    std::vector<RenameStep> steps;
    std::string error;
    std::string warning;
    ASSERT_TRUE(ReadJournal(journal, steps, error, warning)) << error;
    ::unlink(journal.c_str());
    EXPECT_EQ(steps.size(), 3U);
    BatchOptions dryRun;
    dryRun.dryRun = true;
    const auto renamed = tree.Snapshot();
    EXPECT_EQ(UndoRenames(steps, host, dryRun).renamed, 3U);
    EXPECT_EQ(tree.Snapshot(), renamed);
    EXPECT_TRUE(UndoRenames(steps, host).AllDone());
    EXPECT_EQ(tree.Snapshot(), before);
}

}  // namespace
}  // namespace versalo
