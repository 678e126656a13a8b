// The drop batch through a stand-in for the window: busy state, progress, messages, the summary
// of skipped entries, and quitting in the middle.
#include <gtest/gtest.h>

#include "engine/drop_batch.h"
#include "engine/engine_state.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_tree.h"

namespace versalo {
namespace {

class DropBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        CurrentCaseType = kCaseLower;
        RenameDirect = 1;
    }
    void TearDown() override {
        EXPECT_EQ(BatchRunning, 0);
        CurrentCaseType = 0;
        RenameDirect = 0;
        EXPECT_TRUE(test::TemporaryNamesBelow(tree.Root()).empty());
    }
    DropData Drop(const std::vector<std::string>& relative) const {
        DropData data{true, {}};
        for (const std::string& path : relative) {
            data.paths.push_back(tree.Path(path));
        }
        return data;
    }

    test::TempTree tree;
    test::RecordingHost host;
};

TEST_F(DropBatchTest, DataWithoutAFileListOnlyShowsTheHint) {
    const BatchResult result = ProcessDrop(DropData{false, {}}, host);
    EXPECT_FALSE(result.started);
    ASSERT_EQ(host.messages.size(), 1U);
    EXPECT_EQ(host.messages[0].prompt, "Bitte nur Datei- und Verzeichnisnamen in die Liste ziehen.");
    EXPECT_EQ(host.messages[0].code, 64);
    EXPECT_EQ(host.messages[0].title, "Versalo");
    EXPECT_EQ(host.calls, std::vector<std::string>{"message"});
}

TEST_F(DropBatchTest, OneFileRunsTheWholeBusyCycle) {
    tree.File("EINS.TXT");
    std::int16_t runningDuringBatch = 0;
    host.onEvents = [&](test::RecordingHost&) { runningDuringBatch = BatchRunning; };
    const BatchResult result = ProcessDrop(Drop({"EINS.TXT"}), host);
    EXPECT_TRUE(result.AllDone());
    EXPECT_EQ(runningDuringBatch, -1);
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"eins.txt"});
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"enabled 0", "border 1", "progress 0.000000", "progress 100.000000",
                                        "beep", "enabled -1", "border 0", "progress 0.000000"}));
}

TEST_F(DropBatchTest, ProgressMovesPerDroppedItemAndWithinADroppedFolder) {
    tree.File("A.TXT");
    tree.File("Ordner/B.TXT");
    tree.File("Ordner/Tief/C.TXT");
    tree.File("Ordner/Weit/D.TXT");
    tree.File("D.TXT");
    const BatchResult result = ProcessDrop(Drop({"A.TXT", "Ordner", "D.TXT"}), host);
    EXPECT_TRUE(result.AllDone());
    // After each dropped item its share; inside the folder, one step per subfolder of its own.
    const float third = 100.0F / 3.0F;
    ASSERT_EQ(host.progress.size(), 7U);
    EXPECT_FLOAT_EQ(host.progress[1], third);
    EXPECT_FLOAT_EQ(host.progress[2], third * 1.5F);
    EXPECT_FLOAT_EQ(host.progress[3], third * 2.0F);
    EXPECT_FLOAT_EQ(host.progress[4], third * 2.0F);
    EXPECT_FLOAT_EQ(host.progress[5], 100.0F);
    // Events: once per dropped item and once per folder read (ordner, tief, weit).
    EXPECT_EQ(host.eventRounds, 6);
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"a.txt", "d.txt", "ordner"}));
    EXPECT_EQ(tree.Names("ordner/tief"), std::vector<std::string>{"c.txt"});
    EXPECT_EQ(result.renamed, 8U);
}

TEST_F(DropBatchTest, ADroppedFolderIsWalkedUnderItsNewName) {
    tree.File("GROSS/INNEN/DATEI.TXT");
    RenameDirect = 0;  // two moves for the dropped item; the walk renames directly
    const BatchResult result = ProcessDrop(Drop({"GROSS/"}), host);
    EXPECT_TRUE(result.AllDone());
    EXPECT_EQ(tree.Snapshot(),
              (std::map<std::string, std::string>{{"gross", "<dir>"},
                                                  {"gross/innen", "<dir>"},
                                                  {"gross/innen/datei.txt", "GROSS/INNEN/DATEI.TXT"}}));
}

TEST_F(DropBatchTest, APathWithAQuestionMarkIsRenamedLikeAnyOther) {
    tree.File("Frage?/Innen?.TXT");
    tree.File("Danach.TXT");
    const BatchResult result = ProcessDrop(Drop({"Frage?", "Danach.TXT"}), host);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(result.AllDone());
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"danach.txt", "frage?"}));
    EXPECT_EQ(tree.Names("frage?"), std::vector<std::string>{"innen?.txt"});
}

TEST_F(DropBatchTest, FailuresAreCollectedAndShownOnceAtTheEnd) {
    tree.File("README", "upper");
    tree.File("readme", "lower");
    tree.File("Zweite.TXT");
    const BatchResult result = ProcessDrop(Drop({"fehlt.TXT", "README", "Zweite.TXT"}), host);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.skipped.Count(), 2U);
    EXPECT_EQ(host.skipped.size(), 2U);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_EQ(host.calls.back(), "skipped");
    EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{
                                   {"README", "upper"}, {"readme", "lower"}, {"zweite.txt", "Zweite.TXT"}}));
    const std::string summary = result.skipped.Summary();
    EXPECT_NE(summary.find("2 Einträge haben ihren Namen behalten"), std::string::npos);
    EXPECT_NE(summary.find(tree.Path("README")), std::string::npos);
}

TEST_F(DropBatchTest, APathInsideAFolderDroppedBeforeIsFoundUnderItsNewName) {
    tree.File("Ordner/Unter/DATEI.TXT", "x");
    tree.File("Ordner/.Versteckt", "y");
    // As "versalo-cli **/*" hands them over: a folder, then what is inside it.
    const BatchResult result =
        ProcessDrop(Drop({"Ordner", "Ordner/Unter", "Ordner/Unter/DATEI.TXT", "Ordner/.Versteckt"}), host);
    EXPECT_TRUE(result.AllDone()) << result.skipped.Summary();
    EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{{"ordner", "<dir>"},
                                                                   {"ordner/.versteckt", "y"},
                                                                   {"ordner/unter", "<dir>"},
                                                                   {"ordner/unter/datei.txt", "x"}}));
}

TEST_F(DropBatchTest, ADryRunOfSeveralItemsSeesTheCollisionsAmongThem) {
    tree.File("Foo", "1");
    tree.File("FOO", "2");
    BatchOptions dryRun;
    dryRun.dryRun = true;
    const BatchResult result = ProcessDrop(Drop({"Foo", "FOO"}), host, dryRun);
    EXPECT_EQ(result.renamed, 1U);
    EXPECT_EQ(result.skipped.Count(), 1U);
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"FOO", "Foo"}));
}

TEST_F(DropBatchTest, ADryRunOfAFolderAndWhatIsInsideCountsEachRenameOnce) {
    tree.File("D/Sub/F");
    tree.File("D/G");
    BatchOptions dryRun;
    dryRun.dryRun = true;
    const BatchResult dry = ProcessDrop(Drop({"D", "D/G", "D/Sub", "D/Sub/F"}), host, dryRun);
    const BatchResult real = ProcessDrop(Drop({"D", "D/G", "D/Sub", "D/Sub/F"}), host);
    EXPECT_EQ(dry.renamed, 4U);
    EXPECT_EQ(real.renamed, 4U);
    EXPECT_TRUE(real.AllDone()) << real.skipped.Summary();
}

TEST_F(DropBatchTest, DotNamesCountWhenADroppedDotNameIsChecked) {
    tree.File(".Foo", "1");
    tree.File(".foo", "2");
    BatchOptions dryRun;
    dryRun.dryRun = true;
    EXPECT_EQ(ProcessDrop(Drop({".Foo"}), host, dryRun).skipped.Count(), 1U);
    EXPECT_EQ(ProcessDrop(Drop({".Foo"}), host).skipped.Count(), 1U);
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{".Foo", ".foo"}));
}

TEST_F(DropBatchTest, QuittingAtAnEventPointStopsWithoutAnotherRename) {
    tree.File("ERSTE.TXT");
    tree.File("ZWEITE.TXT");
    host.onEvents = [](test::RecordingHost& h) { h.quit = true; };
    const BatchResult result = ProcessDrop(Drop({"ERSTE.TXT", "ZWEITE.TXT"}), host);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(host.beeps, 0);
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"ZWEITE.TXT", "erste.txt"}));
}

TEST_F(DropBatchTest, QuittingInsideAWalkLeavesTheRestOfTheTreeAlone) {
    tree.File("Baum/A/EINS.TXT");
    tree.File("Baum/B/ZWEI.TXT");
    host.onEvents = [](test::RecordingHost& h) { h.quit = true; };  // after the first folder read
    const BatchResult result = ProcessDrop(Drop({"Baum"}), host);
    EXPECT_FALSE(result.finished);
    // baum itself and its two subfolders are renamed; nothing inside them.
    EXPECT_EQ(tree.Names("baum"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(tree.Names("baum/a"), std::vector<std::string>{"EINS.TXT"});
    EXPECT_EQ(tree.Names("baum/b"), std::vector<std::string>{"ZWEI.TXT"});
}

}  // namespace
}  // namespace versalo
