// Tree shapes that break naive walks: deeper than the path-length limit, one huge folder, link
// loops and links out of the tree, dropped paths that do not exist, and trees that change while
// the walk runs (folders removed and files created by someone else).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"
#include "tests/support/recording_host.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

void ExpectSafe(const Manifest& before, const Manifest& after, const NameRule& rule) {
    EXPECT_TRUE(NothingLost(before, after, rule));
    EXPECT_EQ(TemporaryNames(after), Names{});
}

std::string Numbered(const char* pattern, int number) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

// A chain of folders below root/top, each holding a file, built relative to open folders.
void BuildChain(const std::string& root, const std::vector<std::string>& levels) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const int child = MakeAndOpenFolder(fd, levels[i]);
        ::close(fd);
        fd = child;
        MakeFileAt(fd, "FILE AT LEVEL " + std::to_string(i) + ".TXT", "level " + std::to_string(i));
    }
    ::close(fd);
}

std::size_t LongestPath(const Manifest& manifest) {
    std::size_t longest = 0;
    for (const auto& [relative, item] : manifest) {
        longest = std::max(longest, relative.size());
    }
    return longest;
}

TEST(Shapes, TreeDeeperThanThePathLimitWithLongNames) {
    // 40 levels of 200-byte names: paths of about 8,000 bytes, nearly twice the limit of 4,096.
    Scratch scratch;
    std::vector<std::string> levels;
    for (int i = 0; i < 40; ++i) {
        levels.push_back(Numbered("LEVEL %02d ", i) + std::string(191, 'X'));
    }
    BuildChain(scratch.Root(), levels);
    const Manifest before = TakeManifest(scratch.Root());
    ASSERT_GT(LongestPath(before), 7000U);
    const RunResult run = RunCli({"-l", scratch.Path(levels[0])});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Manifest after = TakeManifest(scratch.Root());
    std::size_t renamed = 0;
    EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseLower), &renamed));
    EXPECT_EQ(TemporaryNames(after), Names{});
    EXPECT_EQ(renamed, before.size());
}

TEST(Shapes, PathLongerThanTheLimitEndingInDotOrDotDotWithJournalAndUndo) {
    // 30 levels of 200-byte names; the path given is the deepest folder and "/." or "/..": the
    // folder is reached relative to open folders, its journal names it without "." or "..", and
    // the undo finds it again.
    Scratch scratch;
    std::vector<std::string> levels;
    std::string deepest = scratch.Root();
    for (int i = 0; i < 30; ++i) {
        levels.push_back(Numbered("LEVEL %02d ", i) + std::string(191, 'X'));
        deepest += "/" + levels.back();
    }
    BuildChain(scratch.Root(), levels);
    ASSERT_GT(deepest.size(), 5000U);
    const Manifest before = TakeManifest(scratch.Root());
    const std::string journal = scratch.Root() + ".journal";
    for (const char* ending : {"/.", "/.."}) {
        SCOPED_TRACE(ending);
        const RunResult run = RunCli({"-l", "--journal", journal, deepest + ending});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(TakeManifest(scratch.Root()), before);
        const RunResult undo = RunCli({"--undo", journal});
        ::unlink(journal.c_str());
        EXPECT_EQ(undo.exitCode, 0) << undo.err;
        EXPECT_EQ(TakeManifest(scratch.Root()), before);
    }
}

TEST(Shapes, TreeDeeperThanThePathLimitWithManyLevels) {
    // 900 levels of short names (one open folder per level while walking): about 8,100 bytes.
    Scratch scratch;
    std::vector<std::string> levels;
    for (int i = 0; i < 900; ++i) {
        levels.push_back(Numbered("DEPTH%03d", i));
    }
    BuildChain(scratch.Root(), levels);
    const Manifest before = TakeManifest(scratch.Root());
    ASSERT_GT(LongestPath(before), 7000U);
    for (const bool twoMove : {false, true}) {
        SCOPED_TRACE(twoMove);
        const Manifest start = TakeManifest(scratch.Root());
        const RunResult run = twoMove ? RunCli({"-u", "-t", scratch.Path("depth000")})
                                      : RunCli({"-l", scratch.Path("DEPTH000")});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const Manifest after = TakeManifest(scratch.Root());
        std::size_t renamed = 0;
        EXPECT_TRUE(NothingLost(start, after, RuleFor(twoMove ? kCaseUpper : kCaseLower), &renamed));
        EXPECT_EQ(TemporaryNames(after), Names{});
        EXPECT_EQ(renamed, start.size());
    }
}

TEST(Shapes, OneFolderWithTwoHundredThousandEntries) {
    // 200,000 entries, 40 of them in pairs that collide: the report counts all, lists the first
    // few dozen and says how many more there are.
    Scratch scratch(/*inMemory=*/true);
    const int rootFd = ::open(scratch.Root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int folderFd = MakeAndOpenFolder(rootFd, "HUGE");
    ::close(rootFd);
    constexpr int kEntries = 200000;
    constexpr int kPairs = 20;
    for (int i = 0; i < kEntries - 2 * kPairs; ++i) {
        const std::string name = Numbered("Entry_%06d.TXT", i);
        MakeFileAt(folderFd, name, name);
    }
    for (int i = 0; i < kPairs; ++i) {
        MakeFileAt(folderFd, Numbered("PAIR_%02d", i), Numbered("upper %d", i));
        MakeFileAt(folderFd, Numbered("Pair_%02d", i), Numbered("mixed %d", i));
    }
    ::close(folderFd);
    // Every pair also collides with a small spelling: pair_NN, so both upper spellings stay.
    for (int i = 0; i < kPairs; ++i) {
        scratch.File(Numbered("HUGE/pair_%02d", i), Numbered("lower %d", i));
    }
    const Manifest before = TakeManifest(scratch.Root());
    ASSERT_EQ(before.size(), static_cast<std::size_t>(kEntries + kPairs + 1));

    const auto start = std::chrono::steady_clock::now();
    const RunResult run = RunCli({"-l", scratch.Path("HUGE")});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("200,000-entry folder renamed in %.2f s (%s)\n", seconds,
                scratch.InMemory() ? "tmpfs" : "disk");
    EXPECT_EQ(run.exitCode, 1);
    const Manifest after = TakeManifest(scratch.Root());
    std::size_t renamed = 0;
    EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseLower), &renamed));
    EXPECT_EQ(TemporaryNames(after), Names{});
    EXPECT_EQ(renamed, static_cast<std::size_t>(kEntries - 2 * kPairs + 1));
    EXPECT_TRUE(Contains(run.err, "40 Einträge haben ihren Namen behalten")) << run.err;
    EXPECT_TRUE(Contains(run.err, "... und 10 weitere.")) << run.err;
}

TEST(Shapes, SymbolicLinkLoopsAreRenamedNotFollowed) {
    Scratch scratch;
    scratch.File("TREE/A/FILE.TXT");
    scratch.Link("TREE/LOOP", ".");
    scratch.Link("TREE/A/UP", "..");
    scratch.Link("TREE/SELF", "SELF");
    scratch.Link("TREE/A/ROOT", scratch.Path("TREE"));
    scratch.Link("TREE/A/PING", "PONG");
    scratch.Link("TREE/A/PONG", "PING");
    const Manifest before = TakeManifest(scratch.Root());
    const RunResult run = RunCli({"-l", scratch.Path("TREE")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Manifest after = TakeManifest(scratch.Root());
    ExpectSafe(before, after, RuleFor(kCaseLower));
    EXPECT_EQ(NamesIn(scratch.Path("tree")), (Names{"a", "loop", "self"}));
    EXPECT_EQ(NamesIn(scratch.Path("tree/a")), (Names{"file.txt", "ping", "pong", "root", "up"}));
}

TEST(Shapes, LinkOutOfTheTreeLeavesTheOutsideUntouched) {
    Scratch scratch;
    Scratch outside;
    outside.File("KEEP/INSIDE.TXT");
    outside.File("KEEP/SUB/DEEP.TXT");
    scratch.File("TREE/OWN.TXT");
    scratch.Link("TREE/OUT", outside.Path("KEEP"));
    scratch.Link("TREE/FILELINK", outside.Path("KEEP/INSIDE.TXT"));
    scratch.Link("DROPPED", outside.Path("KEEP"));
    scratch.Link("SLASHED", outside.Path("KEEP"));
    const Manifest outsideBefore = TakeManifest(outside.Root());
    const Manifest before = TakeManifest(scratch.Root());
    // The tree with links in it, a dropped link, and a dropped link written with a trailing slash.
    const RunResult run =
        RunCli({"-l", scratch.Path("TREE"), scratch.Path("DROPPED"), scratch.Path("SLASHED") + "/"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Manifest after = TakeManifest(scratch.Root());
    ExpectSafe(before, after, RuleFor(kCaseLower));
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"dropped", "slashed", "tree"}));
    EXPECT_EQ(NamesIn(scratch.Path("tree")), (Names{"filelink", "out", "own.txt"}));
    EXPECT_EQ(TakeManifest(outside.Root()), outsideBefore);
}

TEST(Shapes, DroppedPathThatDoesNotExist) {
    Scratch scratch;
    scratch.File("REAL.TXT");
    scratch.File("DIR/INNER.TXT");
    const Manifest before = TakeManifest(scratch.Root());
    const RunResult run = RunCli({"-l", scratch.Path("NOPE"), scratch.Path("REAL.TXT"),
                                  scratch.Path("GONE/FILE.TXT"), scratch.Path("DIR")});
    EXPECT_EQ(run.exitCode, 1);
    const Manifest after = TakeManifest(scratch.Root());
    ExpectSafe(before, after, RuleFor(kCaseLower));
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"dir", "real.txt"}));
    EXPECT_EQ(NamesIn(scratch.Path("dir")), Names{"inner.txt"});
    EXPECT_TRUE(Contains(run.err, "'" + scratch.Path("NOPE") + "': nicht (mehr) vorhanden")) << run.err;
    EXPECT_TRUE(Contains(run.err, scratch.Path("GONE/FILE.TXT"))) << run.err;
}

// A tree of folders F00.. each holding files, for the changes made while the walk runs.
void BuildWideTree(Scratch& scratch, int folders, int filesEach) {
    for (int f = 0; f < folders; ++f) {
        const std::string folder = Numbered("TREE/F%02d", f);
        scratch.Folder(folder);
        const int fd = ::open(scratch.Path(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int i = 0; i < filesEach; ++i) {
            const std::string name = Numbered("FILE_%04d.TXT", i);
            MakeFileAt(fd, name, folder + "/" + name);
        }
        ::close(fd);
    }
}

TEST(Shapes, FolderRemovedWhileTheWalkRuns) {
    // In this process: at the first event point (after TREE is listed and its entries renamed)
    // another program removes two subfolders the walk has not entered yet.
    Scratch scratch;
    BuildWideTree(scratch, 6, 20);
    Manifest before = TakeManifest(scratch.Root());
    CurrentCaseType = kCaseLower;
    RenameDirect = 1;
    test::RecordingHost host;
    host.onEvents = [&](test::RecordingHost& self) {
        if (self.eventRounds == 1) {
            RemoveTree(scratch.Path("tree/f02"));
            RemoveTree(scratch.Path("tree/f04"));
        }
    };
    const BatchResult result = ProcessDrop(DropData{true, {scratch.Path("TREE")}}, host);
    EXPECT_TRUE(result.finished);
    EraseBelow(before, "TREE/F02");
    EraseBelow(before, "TREE/F04");
    ExpectSafe(before, TakeManifest(scratch.Root()), RuleFor(kCaseLower));
    ASSERT_EQ(result.skipped.Count(), 2U);
    for (const SkippedEntry& entry : result.skipped.Entries()) {
        EXPECT_TRUE(entry.path == scratch.Path("tree/f02") || entry.path == scratch.Path("tree/f04"))
            << entry.path;
        EXPECT_EQ(entry.reason, "der Ordner kann nicht geöffnet werden: nicht (mehr) vorhanden");
    }
    EXPECT_EQ(host.beeps, 1);
}

// Removes every entry of a folder that still has its old spelling, right after the walk has
// renamed the first one: the files vanish between the listing and their rename.
class VanishingHost : public test::RecordingHost {
public:
    std::string folder;
    bool done = false;
    void EntryDone(std::size_t entriesSoFar) override {
        if (!done && entriesSoFar >= 3) {
            done = true;
            for (const std::string& name : NamesIn(folder)) {
                if (name.starts_with("FILE_")) {
                    ::unlink((folder + "/" + name).c_str());
                    vanished.push_back(name);
                }
            }
        }
    }
    std::vector<std::string> vanished;
};

TEST(Shapes, FilesVanishingBetweenListingAndRename) {
    Scratch scratch;
    BuildWideTree(scratch, 1, 30);
    Manifest before = TakeManifest(scratch.Root());
    CurrentCaseType = kCaseLower;
    RenameDirect = 1;
    VanishingHost host;
    host.folder = scratch.Path("tree/f00");
    const BatchResult result = ProcessDrop(DropData{true, {scratch.Path("TREE")}}, host);
    EXPECT_TRUE(result.finished);
    ASSERT_FALSE(host.vanished.empty());
    for (const std::string& name : host.vanished) {
        before.erase("TREE/F00/" + name);
    }
    ExpectSafe(before, TakeManifest(scratch.Root()), RuleFor(kCaseLower));
    EXPECT_EQ(result.skipped.Count(), host.vanished.size());
    for (const SkippedEntry& entry : result.skipped.Entries()) {
        EXPECT_EQ(entry.reason, "nicht (mehr) vorhanden") << entry.path;
    }
}

TEST(Shapes, FilesAppearingWhileTheWalkRuns) {
    // In this process: new files appear in a folder already done (they keep their names) and in
    // one still to come (they are renamed with the rest).
    Scratch scratch;
    BuildWideTree(scratch, 3, 5);
    Manifest before = TakeManifest(scratch.Root());
    CurrentCaseType = kCaseLower;
    RenameDirect = 1;
    test::RecordingHost host;
    host.onEvents = [&](test::RecordingHost& self) {
        if (self.eventRounds == 1) {
            scratch.File("tree/LATE.TXT", "late");
            for (const char* folder : {"tree/f00", "tree/f01", "tree/f02"}) {
                scratch.File(std::string(folder) + "/NEW.TXT", std::string("new in ") + folder);
            }
        }
    };
    const BatchResult result = ProcessDrop(DropData{true, {scratch.Path("TREE")}}, host);
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(result.skipped.Empty());
    before["TREE/LATE.TXT"] = FileItem("late");
    for (const char* folder : {"f00", "f01", "f02"}) {
        before["TREE/" + ConvertNameAs(folder, kCaseUpper) + "/NEW.TXT"] =
            FileItem(std::string("new in tree/") + folder);
    }
    ExpectSafe(before, TakeManifest(scratch.Root()), RuleFor(kCaseLower));
    EXPECT_EQ(NamesIn(scratch.Path("tree")), (Names{"LATE.TXT", "f00", "f01", "f02"}));
}

TEST(Shapes, AnotherProgramRemovesAndCreatesWhileTheCommandLineRuns) {
    // versalo-cli is held in the middle of its run (its listing output is not read), then another
    // program removes some folders and creates files in others, then the run goes on.
    Scratch scratch(/*inMemory=*/true);
    BuildWideTree(scratch, 40, 100);
    Manifest before = TakeManifest(scratch.Root());
    BackgroundCli cli({"-l", "-v", scratch.Path("TREE")});
    ASSERT_TRUE(cli.WaitUntilBlocked()) << "versalo-cli ended before its output filled the pipe";
    const std::string tree = NamesIn(scratch.Root()) == Names{"tree"} ? "tree" : "TREE";
    std::vector<std::string> removed;
    for (int f = 5; f < 40; f += 10) {
        const std::string upper = Numbered("F%02d", f);
        const std::string lower = Numbered("f%02d", f);
        const std::string name =
            ::access(scratch.Path(tree + "/" + upper).c_str(), F_OK) == 0 ? upper : lower;
        EXPECT_EQ(RunProgram({"rm", "-rf", scratch.Path(tree + "/" + name)}).exitCode, 0);
        EraseBelow(before, "TREE/" + upper);
    }
    for (int f = 0; f < 40; f += 10) {
        const std::string upper = Numbered("F%02d", f);
        const std::string lower = Numbered("f%02d", f);
        const std::string name =
            ::access(scratch.Path(tree + "/" + upper).c_str(), F_OK) == 0 ? upper : lower;
        for (int i = 0; i < 20; ++i) {
            const std::string file = Numbered("NEW_%02d.TXT", i);
            scratch.File(tree + "/" + name + "/" + file, upper + file);
            before["TREE/" + upper + "/" + file] = FileItem(upper + file);
        }
    }
    const RunResult run = cli.Finish();
    EXPECT_EQ(run.signal, 0);
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.exitCode;
    const Manifest after = TakeManifest(scratch.Root());
    ExpectSafe(before, after, RuleFor(kCaseLower));
}

}  // namespace
}  // namespace versalo::fault
