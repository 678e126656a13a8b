// Item renaming and the folder walk on real files: nothing may be overwritten or lost, no
// temporary name may stay behind, and the walk's order and limits hold.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "engine/batch_context.h"
#include "engine/engine_state.h"
#include "engine/rename_item.h"
#include "engine/rename_tree.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_tree.h"

namespace versalo {
namespace {

class StepRecorder : public RenameListener {
public:
    std::vector<RenameStep> steps;
    void Renamed(const RenameStep& step) override { steps.push_back(step); }
};

class RenameTest : public ::testing::Test {
protected:
    void SetUp() override {
        CurrentCaseType = kCaseLower;
        RenameDirect = 1;
        ctx.host = &host;
        ctx.listener = &recorder;
    }
    void TearDown() override {
        CurrentCaseType = 0;
        RenameDirect = 0;
        EXPECT_TRUE(test::TemporaryNamesBelow(tree.Root()).empty());
    }

    std::vector<std::string> SkippedPaths() const {
        std::vector<std::string> paths;
        for (const SkippedEntry& entry : ctx.skipped.Entries()) {
            paths.push_back(entry.path);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    test::TempTree tree;
    test::RecordingHost host;
    StepRecorder recorder;
    BatchContext ctx;
};

TEST_F(RenameTest, RenameItemChangesOnlyTheLeafAndReturnsTheNewPath) {
    for (const std::int16_t direct : {1, 0}) {
        RenameDirect = direct;
        tree.File("Daten/mein BRIEF.TXT", "brief");
        CurrentCaseType = kCaseInitialCapital;
        const std::string result = RenameItem(tree.Path("Daten/mein BRIEF.TXT"), ctx).existing;
        EXPECT_EQ(result, tree.Path("Daten/Mein brief.txt"));
        EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{{"Daten", "<dir>"},
                                                                       {"Daten/Mein brief.txt", "brief"}}));
        std::filesystem::remove_all(tree.Path("Daten"));
    }
    EXPECT_EQ(ctx.renamed, 2U);
    EXPECT_TRUE(ctx.skipped.Empty());
}

TEST_F(RenameTest, ANameThatIsAlreadyRightIsCountedAsUnchanged) {
    tree.File("schon klein.txt");
    EXPECT_EQ(RenameItem(tree.Path("schon klein.txt"), ctx).existing, tree.Path("schon klein.txt"));
    EXPECT_EQ(ctx.unchanged, 1U);
    EXPECT_EQ(ctx.renamed, 0U);
    EXPECT_TRUE(recorder.steps.empty());
}

TEST_F(RenameTest, CaseTwinsAreNeverOverwrittenUnderEitherMethod) {
    for (const std::int16_t direct : {1, 0}) {
        RenameDirect = direct;
        tree.File("README", "upper");
        tree.File("readme", "lower");
        const std::string result = RenameItem(tree.Path("README"), ctx).existing;
        EXPECT_EQ(result, tree.Path("README"));
        EXPECT_EQ(tree.Snapshot(),
                  (std::map<std::string, std::string>{{"README", "upper"}, {"readme", "lower"}}));
        ASSERT_EQ(ctx.skipped.Count(), 1U);
        EXPECT_EQ(ctx.skipped.Entries()[0].path, tree.Path("README"));
        EXPECT_NE(ctx.skipped.Entries()[0].reason.find("bereits vergeben"), std::string::npos);
        ctx.skipped = {};
        ::unlink(tree.Path("README").c_str());
        ::unlink(tree.Path("readme").c_str());
    }
}

TEST_F(RenameTest, ACollisionSeenInTheListingMovesNothing) {
    tree.File("Ordner/README", "upper");
    tree.File("Ordner/readme", "lower");
    // Any move in the folder, even one that is undone at once, would show up as an event here.
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, tree.Path("Ordner").c_str(), IN_MOVED_FROM | IN_CREATE), 0);
    RenameTree(tree.Path("Ordner"), ctx);
    char events[4096];
    EXPECT_EQ(::read(watch, events, sizeof events), -1);
    EXPECT_EQ(errno, EAGAIN);
    ::close(watch);
    EXPECT_EQ(ctx.skipped.Count(), 1U);
    EXPECT_EQ(tree.Names("Ordner"), (std::vector<std::string>{"README", "readme"}));
}

TEST_F(RenameTest, WalkKeepsEveryFileWhenSeveralNamesMapToOne) {
    tree.File("Sub/Foo", "1");
    tree.File("Sub/FOO", "2");
    tree.File("Sub/foo", "3");
    tree.File("Sub/Bar", "4");
    RenameTree(tree.Path("Sub"), ctx);
    const auto after = tree.Snapshot();
    // foo was there already: Foo and FOO both collide with it and keep their names.
    EXPECT_EQ(after,
              (std::map<std::string, std::string>{
                  {"Sub", "<dir>"}, {"Sub/FOO", "2"}, {"Sub/Foo", "1"}, {"Sub/bar", "4"}, {"Sub/foo", "3"}}));
    EXPECT_EQ(SkippedPaths(), (std::vector<std::string>{tree.Path("Sub/FOO"), tree.Path("Sub/Foo")}));
}

TEST_F(RenameTest, OfTwoNamesThatMapToOneTheFirstWinsAndTheOtherIsReported) {
    tree.File("Foo", "1");
    tree.File("FOO", "2");
    RenameTree(tree.Root(), ctx);
    const auto names = tree.Names();
    ASSERT_EQ(names.size(), 2U);
    EXPECT_TRUE(std::find(names.begin(), names.end(), "foo") != names.end());
    EXPECT_EQ(ctx.skipped.Count(), 1U);
    EXPECT_EQ(ctx.renamed, 1U);
    std::string contents;
    for (const auto& [name, content] : tree.Snapshot()) {
        contents += content;
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, "12");
}

TEST_F(RenameTest, NamesThatAreNotUtf8KeepTheirBytesAndAreReported) {
    const std::string odd = "Caf\xE9.TXT";
    tree.File(odd, "latin1");
    tree.File("Gut.TXT", "good");
    RenameTree(tree.Root(), ctx);
    EXPECT_EQ(tree.Snapshot(), (std::map<std::string, std::string>{{odd, "latin1"}, {"gut.txt", "good"}}));
    ASSERT_EQ(ctx.skipped.Count(), 1U);
    EXPECT_EQ(ctx.skipped.Entries()[0].path, tree.Path(odd));
    EXPECT_NE(ctx.skipped.Entries()[0].reason.find("UTF-8"), std::string::npos);
}

TEST_F(RenameTest, ANameThatGrowsPastTheLimitIsReportedAndKept) {
    // U+0390 is two bytes; its capital is three characters (six bytes).
    std::string name;
    for (int i = 0; i < 127; ++i) {
        name += "\xCE\x90";
    }
    ASSERT_EQ(name.size(), 254U);
    tree.File(name, "long");
    CurrentCaseType = kCaseUpper;
    RenameTree(tree.Root(), ctx);
    EXPECT_EQ(tree.Names(), std::vector<std::string>{name});
    ASSERT_EQ(ctx.skipped.Count(), 1U);
    EXPECT_NE(ctx.skipped.Entries()[0].reason.find("zu lang"), std::string::npos);
}

TEST_F(RenameTest, DotNamesAreNeitherRenamedNorEntered) {
    tree.File("Top/.Git/CONFIG");
    tree.File("Top/.Profile");
    tree.File("Top/Hidden.TXT");
    tree.Folder("Top/Empty DIR");
    RenameTree(tree.Path("Top"), ctx);
    EXPECT_EQ(tree.Names("Top"), (std::vector<std::string>{".Git", ".Profile", "empty dir", "hidden.txt"}));
    EXPECT_EQ(tree.Names("Top/.Git"), std::vector<std::string>{"CONFIG"});
}

TEST_F(RenameTest, LinksAreRenamedButNeverFollowed) {
    tree.File("Outside/KEEP.TXT");
    tree.File("Inside/File.TXT");
    tree.Link("Inside/Loop", ".");
    tree.Link("Inside/Escape", "../Outside");
    RenameTree(tree.Path("Inside"), ctx);
    EXPECT_EQ(tree.Names("Inside"), (std::vector<std::string>{"escape", "file.txt", "loop"}));
    EXPECT_EQ(tree.Names("Outside"), std::vector<std::string>{"KEEP.TXT"});
    // A link handed over as the folder itself is not walked either.
    RenameTree(tree.Path("Inside/escape"), ctx);
    EXPECT_EQ(tree.Names("Outside"), std::vector<std::string>{"KEEP.TXT"});
}

TEST_F(RenameTest, ADroppedLinkWithATrailingSlashIsRenamedNotWalked) {
    tree.File("Outside/KEEP.TXT");
    tree.Link("Link", "Outside");
    tree.Link("ok", "Outside");
    for (const std::string name : {"Link/", "ok//"}) {
        const std::string current = RenameItem(tree.Path(name), ctx).existing;
        EXPECT_EQ(current.back(), 'k');
        RenameTree(current, ctx);
    }
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"Outside", "link", "ok"}));
    EXPECT_EQ(tree.Names("Outside"), std::vector<std::string>{"KEEP.TXT"});
}

TEST_F(RenameTest, WalkRenamesAFolderFullyBeforeEnteringSubfoldersLastFoundFirst) {
    tree.File("A/X.TXT");
    tree.File("A/B/Y.TXT");
    tree.File("A/B/D/Z.TXT");
    tree.File("A/C/W.TXT");
    int rounds = 0;
    host.onEvents = [&](test::RecordingHost&) { ++rounds; };
    RenameTree(tree.Path("A"), ctx);

    std::vector<std::string> topLevel;
    std::vector<std::string> order;  // folders in the order their entries were renamed
    for (const RenameStep& step : recorder.steps) {
        if (order.empty() || order.back() != step.folder) {
            order.push_back(step.folder);
        }
        if (step.folder == tree.Path("A")) {
            topLevel.push_back(step.newName);
        }
    }
    ASSERT_EQ(topLevel.size(), 3U);
    std::vector<std::string> subfolders;
    for (const std::string& name : topLevel) {
        if (name != "x.txt") {
            subfolders.push_back(tree.Path("A/" + name));
        }
    }
    // The subfolder renamed last is walked first, and d below b comes right after b.
    std::vector<std::string> expected{tree.Path("A")};
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
        expected.push_back(*it);
        if (*it == tree.Path("A/b")) {
            expected.push_back(tree.Path("A/b/d"));
        }
    }
    EXPECT_EQ(order, expected);
    EXPECT_EQ(rounds, 4);  // once per folder read
}

TEST_F(RenameTest, ATreeDeeperThanThePathLimitIsRenamedToTheBottom) {
    const std::string level = "Level-ABCDEFGHIJKLMNOPQRSTUVWXYZ";  // 32 bytes and a slash per level
    const int depth = PATH_MAX / static_cast<int>(level.size() + 1) + 20;
    int fd = ::open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0700), 0);
        const int child = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    const int file = ::openat(fd, "BOTTOM.TXT", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(fd);

    RenameTree(tree.Root(), ctx);
    EXPECT_TRUE(ctx.skipped.Empty());
    EXPECT_EQ(ctx.renamed, static_cast<std::size_t>(depth) + 1);

    // Climb down by folder handles: every level has its new name, the file at the bottom too.
    std::string lower = level;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    fd = ::open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth; ++i) {
        const int child = ::openat(fd, lower.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(child, 0) << "level " << i;
        fd = child;
    }
    struct stat status {};
    EXPECT_EQ(::fstatat(fd, "bottom.txt", &status, 0), 0);
    ::close(fd);
    // Leave nothing too deep for the clean-up: take the tree down from the top.
    std::filesystem::remove_all(tree.Path(lower));
}

TEST_F(RenameTest, DryRunChangesNothingButTellsWhatWouldHappen) {
    tree.File("Sub/Foo", "1");
    tree.File("Sub/FOO", "2");
    tree.File("Sub/README", "3");
    tree.File("Sub/readme", "4");
    const auto before = tree.Snapshot();
    ctx.dryRun = true;
    const ItemPaths item = RenameItem(tree.Path("Sub"), ctx);
    EXPECT_EQ(item.existing, tree.Path("Sub"));
    EXPECT_EQ(item.shown, tree.Path("sub"));
    RenameTree(item.existing, ctx, item.shown);
    EXPECT_EQ(tree.Snapshot(), before);
    // Sub -> sub and one of Foo/FOO -> foo; the other and README would collide.
    ASSERT_EQ(recorder.steps.size(), 2U);
    EXPECT_EQ(recorder.steps[1].folder, tree.Path("sub"));
    EXPECT_EQ(ctx.skipped.Count(), 2U);
    EXPECT_EQ(SkippedPaths()[0].rfind(tree.Path("sub/"), 0), 0U);
}

TEST_F(RenameTest, RootAndDotPathsAreNotRenamedThemselves) {
    tree.File("Sub/INNER.TXT");
    EXPECT_EQ(RenameItem("/", ctx).existing, "/");
    EXPECT_EQ(RenameItem(tree.Path("Sub/."), ctx).existing, tree.Path("Sub/."));
    EXPECT_EQ(RenameItem(tree.Path("Sub/./"), ctx).existing, tree.Path("Sub/."));
    EXPECT_EQ(RenameItem(tree.Path("Sub/.."), ctx).existing, tree.Path("Sub/.."));
    RenameTree(tree.Path("Sub/."), ctx);
    EXPECT_EQ(tree.Names(), std::vector<std::string>{"Sub"});
    EXPECT_EQ(tree.Names("Sub"), std::vector<std::string>{"inner.txt"});
    EXPECT_TRUE(ctx.skipped.Empty());
}

TEST_F(RenameTest, AMissingItemIsReportedNotFatal) {
    EXPECT_EQ(RenameItem(tree.Path("gibt es nicht"), ctx).existing, tree.Path("gibt es nicht"));
    EXPECT_EQ(RenameItem(tree.Path("fehlt/AUCH"), ctx).existing, tree.Path("fehlt/AUCH"));
    EXPECT_EQ(SkippedPaths(),
              (std::vector<std::string>{tree.Path("fehlt/AUCH"), tree.Path("gibt es nicht")}));
}

}  // namespace
}  // namespace versalo
