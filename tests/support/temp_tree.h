#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace versalo::test {

// A temporary folder for one test, removed with everything in it when the test ends
// (permissions are restored first, so that a test may lock parts of its tree).
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& Root() const { return m_root; }
    // root + "/" + relative
    std::string Path(const std::string& relative) const;

    // Creates a file (and the folders above it) holding content; by default its own name.
    void File(const std::string& relative, const std::string& content = "");
    void Folder(const std::string& relative);
    void Link(const std::string& relative, const std::string& target);

    // Every entry below the root as "relative path" -> content ("<dir>" for folders,
    // "-> target" for links), sorted, so that a whole tree can be compared at once.
    std::map<std::string, std::string> Snapshot() const;

    // The names directly inside a folder, sorted.
    std::vector<std::string> Names(const std::string& relative = "") const;

private:
    std::string m_root;
};

// Names of every entry below root that begin with the temporary prefix.
std::vector<std::string> TemporaryNamesBelow(const std::string& root);

}  // namespace versalo::test
