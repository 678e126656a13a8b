#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

constexpr int kFolders = 40;
constexpr int kFilesPerFolder = 1000;

std::string FolderName(int folder) {
    return "Folder " + std::to_string(folder);
}

std::string FileName(int file) {
    return "File " + std::to_string(file) + ".TXT";
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A tree of some tens of thousands of files, all named in mixed case. The files are hard links
// of one file beside the tree: making a new inode costs far more than a name on some file
// systems, and for renaming a link is a file like any other.
void BuildBigTree(const TempTree& tree) {
    const std::string base = tree.Path("base");
    const int fd = ::open(base.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(::mkdir(tree.Path("Big").c_str(), 0755), 0);
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::string path = tree.Path("Big/" + FolderName(folder));
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            ASSERT_EQ(::link(base.c_str(), (path + "/" + FileName(file)).c_str()), 0);
        }
    }
}

// Which of a name's two spellings is there; fails when neither or both are.
enum class Spelling { kOld, kNew };
Spelling Present(const std::set<std::string>& names, const std::string& name, const std::string& where) {
    const bool old = names.contains(name);
    const bool renamed = names.contains(Lower(name));
    EXPECT_NE(old, renamed) << where << "/" << name << (old ? " is there under both names" : " is lost");
    return old ? Spelling::kOld : Spelling::kNew;
}

std::set<std::string> NamesIn(const TempTree& tree, const std::string& folder) {
    const std::vector<std::string> names = tree.Names(folder);
    return {names.begin(), names.end()};
}

// Stops a big run in the middle with the given signal. The program lists its renames into a
// pipe that the test does not read, so it is held up once the pipe is full and cannot finish
// before the signal comes, however fast the machine. Then the pipe is drained and the program
// must stop after the entry it is at.
void InterruptBigRun(int signal) {
    TempTree tree;
    BuildBigTree(tree);
    const int total = kFolders * kFilesPerFolder + kFolders + 1;

    CliProcess process({"--verbose", tree.Path("Big")});
    ASSERT_TRUE(process.WaitForFullOutputPipe(60000)) << "the run ended before it could be interrupted";
    ASSERT_EQ(::kill(process.Pid(), signal), 0);
    const CliRun run = process.Finish();

    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("abgebrochen"), std::string::npos) << run.err;
    EXPECT_TRUE(TemporaryNamesBelow(tree.Root()).empty());

    // Every entry is there once, under its old or its new name, and each listed rename happened.
    std::set<std::string> top = NamesIn(tree, "");
    ASSERT_EQ(top.erase("base"), 1U);
    ASSERT_EQ(top.size(), 1U);
    const std::string big = *top.begin();
    EXPECT_TRUE(big == "Big" || big == "big") << big;
    int renamed = big == "big" ? 1 : 0;
    const std::set<std::string> folders = NamesIn(tree, big);
    EXPECT_EQ(folders.size(), static_cast<std::size_t>(kFolders));
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::string folderName = FolderName(folder);
        const Spelling spelling = Present(folders, folderName, big);
        renamed += spelling == Spelling::kNew ? 1 : 0;
        const std::string folderPath =
            big + "/" + (spelling == Spelling::kNew ? Lower(folderName) : folderName);
        const std::set<std::string> files = NamesIn(tree, folderPath);
        EXPECT_EQ(files.size(), static_cast<std::size_t>(kFilesPerFolder)) << folderPath;
        for (int file = 0; file < kFilesPerFolder; ++file) {
            renamed += Present(files, FileName(file), folderPath) == Spelling::kNew ? 1 : 0;
        }
    }
    const auto listed = static_cast<int>(std::count(run.out.begin(), run.out.end(), '\n'));
    EXPECT_EQ(listed, renamed);
    // Held up after at most two blocks of listing, the run cannot have got far.
    EXPECT_GT(renamed, 0);
    EXPECT_LT(renamed, total / 2);
    EXPECT_NE(run.err.find("abgebrochen nach " + std::to_string(renamed) + " Umbenennungen"),
              std::string::npos)
        << run.err;
}

TEST(CliInterrupt, CtrlCStopsBetweenTwoEntries) {
    InterruptBigRun(SIGINT);
}

TEST(CliInterrupt, TerminationStopsBetweenTwoEntries) {
    InterruptBigRun(SIGTERM);
}

TEST(CliInterrupt, UninterruptedBigRunRenamesEverything) {
    TempTree tree;
    BuildBigTree(tree);
    const CliRun run = RunCli({tree.Path("Big")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");  // no progress line when standard error is not a terminal
    EXPECT_EQ(tree.Names(), (std::vector<std::string>{"base", "big"}));
    for (int folder = 0; folder < kFolders; folder += 13) {
        const std::vector<std::string> files = tree.Names("big/" + Lower(FolderName(folder)));
        EXPECT_EQ(files.size(), static_cast<std::size_t>(kFilesPerFolder));
        EXPECT_TRUE(std::all_of(files.begin(), files.end(),
                                [](const std::string& name) { return name == Lower(name); }));
    }
}

}  // namespace
}  // namespace versalo::test
