#pragma once

#include <gtest/gtest.h>

#include <filesystem>  // for the tests that use it with their trees
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace versalo::test {

// relative path -> what is there: a file's content, "<dir>" for a folder, "-> target" for a link.
using Snapshot = std::map<std::string, std::string>;

// A temporary folder for one test, removed with everything in it when the test ends. Every entry
// is reached relative to an open folder, so trees deeper than the path-length limit work too;
// nothing on another file system is removed (every mount below it is undone first).
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const;

    // A file (and the folders above it) holding content; empty content means its relative path,
    // so that every file of a tree can be told apart by content alone.
    void File(const std::string& relative, const std::string& content = "");
    void Folder(const std::string& relative);
    void Link(const std::string& relative, const std::string& target);
    // Items separated by "|": "a/b" a file, "a/b/" a folder, "a/b -> target" a link.
    void Build(const std::string& items);
    // A small tmpfs at relative, or the tree's folder SOURCE bound there with "relative=SOURCE"
    // (the folders made if needed); false where mounting is impossible.
    bool Mount(const std::string& relative);

    std::map<std::string, std::string> Snapshot() const;
    // The names directly inside a folder, sorted by bytes.
    std::vector<std::string> Names(const std::string& relative = "") const;

private:
    std::string m_root;
};

// The items of a text that lists them separated by "|".
std::vector<std::string> Split(const std::string& text);
// name(0)|name(1)|...|name(count - 1), as TempTree::Build takes them.
std::string Numbered(int count, const std::function<std::string(int)>& name);
// The paths of a snapshot that are not folders; "path <- content" where wanted lists it so (a
// file that must hold what another path held before).
std::vector<std::string> Files(const Snapshot& snapshot, const std::string& wanted = "");

// Nothing lost: after holds the same multiset of contents and kinds as before (whatever the
// names), and no temporary name is left.
::testing::AssertionResult NothingLost(const Snapshot& before, const Snapshot& after);

}  // namespace versalo::test
