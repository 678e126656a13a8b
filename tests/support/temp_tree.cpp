#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

#include "engine/drop_batch.h"

namespace versalo::test {
namespace {

struct OpenFolder {  // an open folder, closed at the end of its scope
    int fd;
    explicit OpenFolder(int at, const std::string& name = ".")
        : fd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {}
    ~OpenFolder() { ::close(fd); }
};

// An open folder's own entry in /proc, a short path however deep the folder is.
std::string At(int dirfd, const std::string& name = "") {
    return "/proc/self/fd/" + std::to_string(dirfd) + (name.empty() ? "" : "/" + name);
}

std::vector<std::string> ListNames(int dirfd) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(At(dirfd), error)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Calls make(folder, leaf) in the folder holding relative below root, making the folders on the way
// one open folder at a time, so that no path longer than a name is ever handed to the system.
template <typename Make>
void AtParent(const std::string& root, const std::string& relative, Make make) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
        const std::string part = relative.substr(start, slash - start);
        ::mkdirat(fd, part.c_str(), 0755);
        const int child = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = child;
    }
    const bool made = fd >= 0 && make(fd, relative.substr(start));
    ::close(fd);
    if (!made) {
        throw std::runtime_error("cannot make " + relative + ": " + std::strerror(errno));
    }
}

// Kept out of line: Walk recurses once per level of trees hundreds of levels deep.
[[gnu::noinline]] std::string Content(int dirfd, const std::string& name, bool link) {
    if (link) {
        return "-> " + std::filesystem::read_symlink(At(dirfd, name)).string();
    }
    std::ifstream in(At(dirfd, name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Walk(int dirfd, const std::string& prefix, Snapshot& out) {
    for (const std::string& name : ListNames(dirfd)) {
        const std::string relative = prefix + name;
        struct stat status {};
        ::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW);
        out[relative] = S_ISDIR(status.st_mode) ? "<dir>" : Content(dirfd, name, S_ISLNK(status.st_mode));
        if (S_ISDIR(status.st_mode)) {
            Walk(OpenFolder(dirfd, name).fd, relative + "/", out);
        }
    }
}

bool Temporary(const std::string& relative) {
    return relative.substr(relative.rfind('/') + 1).starts_with("ZX");
}

}  // namespace

TempTree::TempTree() {
    RaiseOpenFileLimit();  // one open folder per level of the deepest trees
    m_root = std::filesystem::temp_directory_path().string() + "/versalo-test-XXXXXX";
    if (::mkdtemp(m_root.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    ::chmod(m_root.c_str(), 0755);  // reachable by the unprivileged user
}

TempTree::~TempTree() {
    // Every mount below the root, found where it is now (a run renames the folders on its way),
    // detached, the deepest first (one per line: a quote or blank in a name is no separator); rm
    // walks a tree of any depth and stays on its file system.
    const std::string unmount =
        "findmnt -rn -o TARGET | grep -F '" + m_root + "/' | sort -r | xargs -r -d '\\n' umount -l";
    [[maybe_unused]] const int status =
        std::system((unmount + "; rm -rf --one-file-system '" + m_root + "'").c_str());
}

std::string TempTree::Path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void TempTree::File(const std::string& relative, const std::string& content) {
    const std::string& text = content.empty() ? relative : content;
    AtParent(m_root, relative, [&](int dirfd, const std::string& leaf) {
        return static_cast<bool>(std::ofstream(At(dirfd, leaf), std::ios::binary) << text);
    });
}

void TempTree::Folder(const std::string& relative) {
    AtParent(m_root, relative + "/", [](int, const std::string&) { return true; });
}

void TempTree::Link(const std::string& relative, const std::string& target) {
    AtParent(m_root, relative, [&](int dirfd, const std::string& leaf) {
        return ::symlinkat(target.c_str(), dirfd, leaf.c_str()) == 0;
    });
}

void TempTree::Build(const std::string& items) {
    for (const std::string& item : Split(items)) {
        const std::size_t arrow = item.find(" -> ");
        if (arrow != std::string::npos) {
            Link(item.substr(0, arrow), item.substr(arrow + 4));
        } else if (item.ends_with('/')) {
            Folder(item.substr(0, item.size() - 1));
        } else {
            File(item);
        }
    }
}

bool TempTree::Mount(const std::string& relative) {
    const std::size_t bind = relative.find('=');
    const std::string target = relative.substr(0, bind);
    Folder(target);
    if (bind == std::string::npos) {
        return ::mount("tmpfs", Path(target).c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    Folder(relative.substr(bind + 1));
    return ::mount(Path(relative.substr(bind + 1)).c_str(), Path(target).c_str(), nullptr, MS_BIND,
                   nullptr) == 0;
}

std::map<std::string, std::string> TempTree::Snapshot() const {
    test::Snapshot out;
    Walk(OpenFolder(AT_FDCWD, m_root).fd, "", out);
    return out;
}

std::vector<std::string> TempTree::Names(const std::string& relative) const {
    return ListNames(OpenFolder(AT_FDCWD, Path(relative)).fd);
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream in(text);
    for (std::string item; !text.empty() && std::getline(in, item, '|');) {
        items.push_back(item);
    }
    if (text.ends_with('|')) {
        items.emplace_back();
    }
    return items;
}

std::string Numbered(int count, const std::function<std::string(int)>& name) {
    std::string items;
    for (int i = 0; i < count; ++i) {
        items += (i == 0 ? "" : "|") + name(i);
    }
    return items;
}

std::vector<std::string> Files(const Snapshot& snapshot, const std::string& wanted) {
    std::vector<std::string> files;
    for (const auto& [relative, content] : snapshot) {
        const std::string origin = relative + " <- " + content;
        if (content != "<dir>") {
            files.push_back(("|" + wanted + "|").find("|" + origin + "|") != std::string::npos ? origin
                                                                                               : relative);
        }
    }
    return files;
}

::testing::AssertionResult NothingLost(const Snapshot& before, const Snapshot& after) {
    std::multiset<std::string> was;
    std::multiset<std::string> is;
    for (const auto& [relative, content] : before) {
        was.insert(content);
    }
    for (const auto& [relative, content] : after) {
        is.insert(content);
        if (Temporary(relative)) {
            return ::testing::AssertionFailure() << "temporary name left: '" << relative << "'";
        }
    }
    return was == is ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "contents differ";
}

}  // namespace versalo::test
