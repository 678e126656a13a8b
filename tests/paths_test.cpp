// Path and temporary-name routines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "collection/paths.h"
#include "collection/version.h"
#include "tests/support/temp_tree.h"

namespace versalo {
namespace {

TEST(PathsTest, TrimAtNulCutsAtTheFirstNul) {
    EXPECT_EQ(TrimAtNul("no nul"), "no nul");
    EXPECT_EQ(TrimAtNul(""), "");
    EXPECT_EQ(TrimAtNul(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(TrimAtNul(std::string_view("ab\0c\0d", 6)), "ab");
}

TEST(PathsTest, WithTrailingSlashAddsExactlyOne) {
    EXPECT_EQ(WithTrailingSlash("/daten"), "/daten/");
    EXPECT_EQ(WithTrailingSlash("/daten/"), "/daten/");
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(WithTrailingSlash(""), "/");
}

TEST(PathsTest, SplitLastComponentIgnoresTrailingSlashes) {
    const auto check = [](std::string_view path, const std::string& parent, const std::string& leaf) {
        const SplitPath split = SplitLastComponent(path);
        EXPECT_EQ(split.parent, parent) << path;
        EXPECT_EQ(split.leaf, leaf) << path;
    };
    check("/daten/mein BRIEF.TXT", "/daten", "mein BRIEF.TXT");
    check("/daten/Ordner/", "/daten", "Ordner");
    check("/daten//Ordner//", "/daten", "Ordner");
    check("/Datei", "/", "Datei");
    check("/", "/", "");
    check("///", "/", "");
    check("relativ", ".", "relativ");
    check("a/.", "a", ".");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
    EXPECT_EQ(JoinPath("/a/", "x"), "/a/x");
    EXPECT_EQ(JoinPath("", "x"), "x");
}

TEST(PathsTest, TempDirectoryEndsWithASlash) {
    const std::string dir = TempDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.find('\0'), std::string::npos);
}

TEST(PathsTest, TempFileNameCreatesDistinctEmptyFilesWithThePrefix) {
    test::TempTree tree;
    const std::string first = TempFileName(tree.Root(), "ZX", 0);
    const std::string second = TempFileName(tree.Root() + "/", "ZX", 0);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::string& path : {first, second}) {
        EXPECT_EQ(path.rfind(tree.Root() + "/ZX", 0), 0U) << path;
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0) << path;
        EXPECT_EQ(status.st_size, 0);
    }
    EXPECT_EQ(tree.Names().size(), 2U);
}

TEST(PathsTest, TempFileNameWithoutFolderOrPrefixUsesTheDefaults) {
    test::TempTree tree;
    const std::string saved = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
    ::setenv("TMPDIR", tree.Root().c_str(), 1);
    const std::string path = TempFileName("", "", 0);
    if (saved.empty()) {
        ::unsetenv("TMPDIR");
    } else {
        ::setenv("TMPDIR", saved.c_str(), 1);
    }
    EXPECT_EQ(path.rfind(tree.Root() + "/ZX", 0), 0U) << path;
    EXPECT_EQ(::access(path.c_str(), F_OK), 0);
}

TEST(PathsTest, TempFileNameFailsCleanlyInAFolderThatCannotBeWritten) {
    test::TempTree tree;
    EXPECT_EQ(TempFileName(tree.Path("missing"), "ZX", 0), "");
}

TEST(PathsTest, AppDirectoryIsTheFolderOfThisTestProgram) {
    const std::string dir = AppDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_NE(dir.substr(0, dir.size() - 1).back(), '/');
    EXPECT_EQ(::access((dir + "paths_test").c_str(), X_OK), 0) << dir;
}

TEST(VersionTest, VersionTextHasNoFillCharacters) {
    EXPECT_EQ(VersionText(), " (V2.6.5)");
    EXPECT_EQ(VersionText({2, 10, 0}), " (V2.10.0)");
}

}  // namespace
}  // namespace versalo
