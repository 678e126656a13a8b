// What only the engine itself can show: the order of its walk against the order the system lists
// each folder in, and the case rules.

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/paths.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// Every rename as "folder/old name", in order.
struct StepLog : RenameListener {
    Names renamed;
    void Renamed(const RenameStep& step) override { renamed.push_back(JoinPath(step.folder, step.oldName)); }
};

// The order the walk renames the entries of folder (now at path, after its own rename): its
// entries as the system lists them, then its subfolders, the last listed first, each the same
// way. Dot-names are neither renamed nor entered, links never followed. The tree's names are
// plain ASCII, so their upper case is written out here rather than taken from the engine.
void WalkOrder(const fs::path& folder, const std::string& path, Names& out) {
    Names subfolders;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename();
        if (!name.starts_with('.')) {
            out.push_back(path + "/" + name);
            if (entry.is_directory() && !entry.is_symlink()) {
                subfolders.push_back(name);
            }
        }
    }
    for (auto name = subfolders.rbegin(); name != subfolders.rend(); ++name) {
        std::string upper = *name;
        std::ranges::transform(upper, upper.begin(),
                               [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
        WalkOrder(folder / *name, path + "/" + upper, out);
    }
}

TEST(Engine, WalksEachFolderWholeThenItsSubfoldersLastFirst) {
    TempTree tree;
    tree.Build(
        "top/a.txt|top/b/c.txt|top/b/d/e.txt|top/f/g.txt|top/.hid/h.txt|top/f/.dot.txt|outside/x.txt|"
        "top/link -> ../outside");
    Names expected{tree.Path("top")};
    WalkOrder(tree.Path("top"), tree.Path("TOP"), expected);
    StepLog log;
    BatchHost host;
    EXPECT_TRUE(
        ProcessDrop({true, {tree.Path("top")}}, host, {.caseRule = CaseRule::kUpper, .listener = &log})
            .AllDone());
    EXPECT_EQ(log.renamed, expected);
}

TEST(CaseRules, MapTheWholeNameOnceAndForAll) {
    struct Row {
        const char *name, *expected;
        CaseRule rule;
        const char* locale = "en";
    };
    const Row rows[] = {
        {"bRIEF.TXT", "Brief.txt", CaseRule::kInitialCapital},
        {"ßTRASSE", "Sstrasse", CaseRule::kInitialCapital},
        {"e\u0301COLE", "E\u0301cole", CaseRule::kInitialCapital},
        {"\U0001D4D0bc\U0001F600", "\U0001D4D0BC\U0001F600", CaseRule::kUpper},
        {"ISTANBUL", "ıstanbul", CaseRule::kLower, "tr"},
        // Each word: the tracker bugs of other tools (Don'T, I'Ll, DiseñO, ÉLan, ALL-CAPS kept).
        {"don’t I'LL DISEÑO e\u0301LAN.Tar.GZ", "Don’t I'll Diseño E\u0301lan.Tar.gz", CaseRule::kEachWord},
        {"ǆ a b-c_d(e)+f&g,h[i]1st", "ǅ A B-C_D(E)+F&G,H[I]1st", CaseRule::kEachWord},
        {"ŉ ßa", "ʼn Ssa", CaseRule::kEachWord},
        {"istanbul ili", "İstanbul İli", CaseRule::kEachWord, "tr"},
    };
    const icu::Locale saved = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    for (const Row& row : rows) {
        icu::Locale::setDefault(icu::Locale(row.locale), status);
        EXPECT_EQ(ConvertName(row.name, row.rule), row.expected) << row.name;
        EXPECT_EQ(ConvertName(row.expected, row.rule), row.expected) << row.name;
    }
    icu::Locale::setDefault(saved, status);
}

}  // namespace
}  // namespace versalo::test
