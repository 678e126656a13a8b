// What the engine does that no run of the command line shows: the order of the walk, that a
// collision moves nothing at all, that a quit request at an event point ends the batch there,
// that undo does not follow a link put in place of a renamed folder, and the case rules.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unicode/locid.h>

#include <string>
#include <vector>

#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/paths.h"
#include "engine/undo.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

// Every rename as "folder/old name", in order; checks that each is announced while the entry
// still has its old name, since a journal must hold the line before the rename is made.
class StepLog : public RenameListener {
public:
    std::vector<std::string> renamed;
    BeforeRename Renaming(const RenameStep& step) override {
        struct stat status {};
        EXPECT_EQ(::fstatat(step.dirfd, step.oldName.c_str(), &status, AT_SYMLINK_NOFOLLOW), 0)
            << step.oldName;
        return BeforeRename::kGo;
    }
    void Renamed(const RenameStep& step) override { renamed.push_back(JoinPath(step.folder, step.oldName)); }
};

struct stat StatOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

bool SameChangeTime(const struct stat& a, const struct stat& b) {
    return a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::vector<std::string> Listed(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return names;
}

// The order the walk renames the entries of folder (now at path, after its own rename): its
// entries as the system lists them, then its subfolders, the last listed first, each the same
// way. Dot-names are neither renamed nor entered, links never followed.
void WalkOrder(const std::string& folder, const std::string& path, CaseRule rule,
               std::vector<std::string>& out) {
    std::vector<std::string> subfolders;
    for (const std::string& name : Listed(folder)) {
        if (!name.starts_with('.')) {
            out.push_back(path + "/" + name);
            if (S_ISDIR(StatOf(folder + "/" + name).st_mode)) {
                subfolders.push_back(name);
            }
        }
    }
    for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
        WalkOrder(folder + "/" + *name, path + "/" + ConvertName(*name, rule), rule, out);
    }
}

TEST(Engine, WalksEachFolderWholeThenItsSubfoldersLastFirst) {
    TempTree tree;
    for (const char* file : {"top/a.txt", "top/b/c.txt", "top/b/d/e.txt", "top/f/g.txt", "top/.hid/h.txt",
                             "top/f/.dot.txt", "outside/x.txt"}) {
        tree.File(file, "content");
    }
    tree.Link("top/link", "../outside");
    std::vector<std::string> expected{tree.Path("top")};
    WalkOrder(tree.Path("top"), tree.Path("TOP"), CaseRule::kUpper, expected);

    StepLog log;
    RecordingHost host;
    const BatchResult result =
        ProcessDrop({true, {tree.Path("top")}}, host, {.caseRule = CaseRule::kUpper, .listener = &log});
    EXPECT_EQ(log.renamed, expected);
    EXPECT_TRUE(result.AllDone());
    EXPECT_EQ(tree.Names("TOP/.hid"), std::vector<std::string>{"h.txt"});
    EXPECT_EQ(tree.Names("outside"), std::vector<std::string>{"x.txt"});
    ASSERT_GE(host.calls.size(), 4U);
    EXPECT_EQ(host.calls.front(), "busy 1");
    EXPECT_EQ(std::vector<std::string>(host.calls.end() - 3, host.calls.end()),
              (std::vector<std::string>{"finished", "busy 0", "progress 0.000000"}));
}

TEST(Engine, CollisionMovesNeitherEntry) {
    for (const RenameMethod method : {RenameMethod::kDirect, RenameMethod::kTwoMoves}) {
        SCOPED_TRACE(static_cast<int>(method));
        TempTree tree;
        tree.File("README", "upper");
        tree.File("readme", "lower");
        tree.File("DIR/NOTE", "upper");
        tree.File("DIR/note", "lower");
        const struct stat top = StatOf(tree.Path("README"));
        const struct stat inner = StatOf(tree.Path("DIR/NOTE"));
        StepLog log;
        RecordingHost host;
        const BatchResult result =
            ProcessDrop({true, {tree.Path("README"), tree.Path("DIR")}}, host,
                        {.caseRule = CaseRule::kLower, .method = method, .listener = &log});
        EXPECT_EQ(log.renamed, std::vector<std::string>{tree.Path("DIR")});
        // A move there and back would leave the names as they were, but not the change time.
        EXPECT_TRUE(SameChangeTime(StatOf(tree.Path("README")), top));
        EXPECT_TRUE(SameChangeTime(StatOf(tree.Path("dir/NOTE")), inner));
        EXPECT_EQ(tree.Names("dir"), (std::vector<std::string>{"NOTE", "note"}));
        ASSERT_EQ(host.skipped.size(), 2U);
        EXPECT_EQ(host.skipped[0].reason, "der neue Name 'readme' ist bereits vergeben");
        EXPECT_TRUE(result.finished);
    }
}

TEST(Engine, QuitAtAnEventPointMakesNoFurtherRename) {
    TempTree tree;
    for (char folder = 'A'; folder <= 'J'; ++folder) {
        tree.File(std::string("TREE/") + folder + "/FILE", "content");
    }
    StepLog log;
    RecordingHost host;
    std::size_t renamedAtQuit = 0;
    std::map<std::string, std::string> atQuit;
    host.onEvents = [&](RecordingHost& self) {
        if (self.eventRounds == 4) {
            self.quit = true;
            renamedAtQuit = log.renamed.size();
            atQuit = tree.Snapshot();
        }
    };
    const BatchResult result = ProcessDrop({true, {tree.Path("TREE")}}, host, {.listener = &log});
    EXPECT_GT(renamedAtQuit, 0U);
    EXPECT_EQ(log.renamed.size(), renamedAtQuit);
    EXPECT_EQ(tree.Snapshot(), atQuit);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(host.beeps, 0);
    EXPECT_TRUE(host.skipped.empty());
}

TEST(Engine, UndoDoesNotFollowALinkInPlaceOfTheRenamedFolder) {
    TempTree tree;
    tree.File("TOP/FILE.TXT", "renamed");
    UndoRecord record;
    RecordingHost host;
    ProcessDrop({true, {tree.Path("TOP")}}, host, {.listener = &record});
    ASSERT_EQ(record.Count(), 2U);
    // Another program moves the folder away and puts a link to a look-alike in its place.
    ASSERT_EQ(::rename(tree.Path("top").c_str(), tree.Path("moved").c_str()), 0);
    tree.File("other/file.txt", "someone else's");
    tree.Link("top", "other");

    const BatchResult result = UndoRenames(record.Steps(), host, {});
    EXPECT_EQ(tree.Names("other"), std::vector<std::string>{"file.txt"});
    EXPECT_EQ(tree.Names("moved"), std::vector<std::string>{"file.txt"});
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"moved", "other", "top"}));
    ASSERT_EQ(result.skipped.Count(), 2U);
    EXPECT_EQ(result.skipped.Entries()[0].path, tree.Path("top/file.txt"));
    EXPECT_EQ(result.skipped.Entries()[0].reason,
              "der Ordner ist nicht mehr erreichbar, ohne einer symbolischen Verknüpfung zu folgen; nichts "
              "geändert");
}

struct CaseRow {
    const char* name;
    CaseRule rule;
    const char* expected;
    const char* locale = "en";
};

TEST(CaseRules, MapTheWholeNameOnceAndForAll) {
    const CaseRow rows[] = {
        {"Brief an Anna.TXT", CaseRule::kLower, "brief an anna.txt"},
        {"brief.txt", CaseRule::kUpper, "BRIEF.TXT"},
        {"bRIEF.TXT", CaseRule::kInitialCapital, "Brief.txt"},
        {"straße", CaseRule::kUpper, "STRASSE"},
        {"ßTRASSE", CaseRule::kInitialCapital, "Sstrasse"},
        {"ÄRGER.TXT", CaseRule::kLower, "ärger.txt"},
        {"e\u0301COLE", CaseRule::kInitialCapital, "E\u0301cole"},
        {"\U0001D4D0bc\U0001F600", CaseRule::kUpper, "\U0001D4D0BC\U0001F600"},
        {"istanbul", CaseRule::kUpper, "İSTANBUL", "tr"},
        {"ISTANBUL", CaseRule::kLower, "ıstanbul", "tr"},
        {"CAF\xC9", CaseRule::kLower, "CAF\xC9"},  // not UTF-8: left as it is
    };
    const icu::Locale saved = icu::Locale::getDefault();
    for (const CaseRow& row : rows) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(row.locale), status);
        EXPECT_EQ(ConvertName(row.name, row.rule), row.expected) << row.name;
        EXPECT_EQ(ConvertName(row.expected, row.rule), row.expected) << row.name;
    }
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(saved, status);
}

}  // namespace
}  // namespace versalo::test
