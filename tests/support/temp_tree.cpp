#include "tests/support/temp_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace versalo::test {
namespace {

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

int OpenFolder(int dirfd, const std::string& name) {
    return ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

std::vector<std::string> ListNames(int dirfd) {
    std::vector<std::string> names;
    DIR* dir = ::fdopendir(::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    while (const dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Opens the folder holding relative below root, making the folders on the way; leaf gets the name.
int OpenParent(const std::string& root, const std::string& relative, std::string& leaf) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
        const std::string part = relative.substr(start, slash - start);
        if (part.empty()) {
            continue;
        }
        ::mkdirat(fd, part.c_str(), 0755);
        const int child = OpenFolder(fd, part);
        ::close(fd);
        if ((fd = child) < 0) {
            throw SystemError("open " + part);
        }
    }
    leaf = relative.substr(start);
    return fd;
}

// Kept out of line: Walk recurses once per level of trees hundreds of levels deep.
[[gnu::noinline]] std::string Content(int dirfd, const std::string& name, const struct stat& status) {
    std::string text(S_ISLNK(status.st_mode) ? 4096 : static_cast<std::size_t>(status.st_size), '\0');
    if (S_ISLNK(status.st_mode)) {
        text.resize(static_cast<std::size_t>(
            std::max<ssize_t>(0, ::readlinkat(dirfd, name.c_str(), text.data(), text.size()))));
        return "-> " + text;
    }
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    const ssize_t got = fd < 0 ? -1 : ::read(fd, text.data(), text.size());
    ::close(fd);
    return got < 0 ? "<unreadable>" : text.substr(0, static_cast<std::size_t>(got));
}

void Walk(int dirfd, const std::string& prefix, Snapshot& out) {
    for (const std::string& name : ListNames(dirfd)) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        struct stat status {};
        if (::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (!S_ISDIR(status.st_mode)) {
            out[relative] = Content(dirfd, name, status);
            continue;
        }
        out[relative] = "<dir>";
        if (const int child = OpenFolder(dirfd, name); child >= 0) {
            Walk(child, relative, out);
            ::close(child);
        }
    }
}

void RemoveContents(int dirfd, dev_t device) {
    ::fchmod(dirfd, 0700);
    for (const std::string& name : ListNames(dirfd)) {
        struct stat status {};
        if (::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || status.st_dev != device) {
            continue;
        }
        if (const int child = S_ISDIR(status.st_mode) ? OpenFolder(dirfd, name) : -1; child >= 0) {
            RemoveContents(child, device);
            ::close(child);
        }
        ::unlinkat(dirfd, name.c_str(), S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0);
    }
}

}  // namespace

TempTree::TempTree() {
    // One open folder per level of the deepest trees.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    std::string pattern = std::filesystem::temp_directory_path().string() + "/versalo-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw SystemError("mkdtemp");
    }
    m_root = pattern;
    ::chmod(m_root.c_str(), 0755);  // reachable by the unprivileged user
}

TempTree::~TempTree() {
    for (auto mount = m_mounts.rbegin(); mount != m_mounts.rend(); ++mount) {
        Unmount(*mount);
    }
    const int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0) {
        RemoveContents(fd, status.st_dev);
    }
    ::close(fd);
    ::rmdir(m_root.c_str());
}

std::string TempTree::Path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void TempTree::File(const std::string& relative, const std::string& content) {
    std::string leaf;
    const int dirfd = OpenParent(m_root, relative, leaf);
    const int fd = ::openat(dirfd, leaf.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    ::close(dirfd);
    const std::string& text = content.empty() ? relative : content;
    const bool written =
        fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    if (!written) {
        throw SystemError("write " + relative);
    }
}

void TempTree::Folder(const std::string& relative) {
    std::string leaf;
    ::close(OpenParent(m_root, relative + "/", leaf));
}

void TempTree::Link(const std::string& relative, const std::string& target) {
    std::string leaf;
    const int dirfd = OpenParent(m_root, relative, leaf);
    const int result = ::symlinkat(target.c_str(), dirfd, leaf.c_str());
    ::close(dirfd);
    if (result != 0) {
        throw SystemError("symlink " + relative);
    }
}

void TempTree::Build(const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        if (const std::size_t arrow = item.find(" -> "); arrow != std::string::npos) {
            Link(item.substr(0, arrow), item.substr(arrow + 4));
        } else if (item.ends_with('/')) {
            Folder(item.substr(0, item.size() - 1));
        } else {
            File(item);
        }
    }
}

bool TempTree::Mount(const std::string& relative) {
    Folder(relative);
    if (::mount("tmpfs", Path(relative).c_str(), "tmpfs", 0, "size=1m") != 0) {
        return false;
    }
    m_mounts.push_back(Path(relative));
    return true;
}

std::map<std::string, std::string> TempTree::Snapshot() const {
    versalo::test::Snapshot out;
    const int fd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Walk(fd, "", out);
    ::close(fd);
    return out;
}

std::vector<std::string> TempTree::Names(const std::string& relative) const {
    const int fd = ::open(Path(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> names = fd < 0 ? std::vector<std::string>{} : ListNames(fd);
    ::close(fd);
    return names;
}

std::vector<std::string> TemporaryNamesBelow(const std::string& root) {
    versalo::test::Snapshot all;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Walk(fd, "", all);
    ::close(fd);
    std::vector<std::string> found;
    for (const auto& [relative, content] : all) {
        if (relative.substr(relative.rfind('/') + 1).starts_with("ZX")) {
            found.push_back(relative);
        }
    }
    return found;
}

::testing::AssertionResult NothingLost(const Snapshot& before, const Snapshot& after) {
    std::multiset<std::string> was;
    std::multiset<std::string> is;
    auto failure = ::testing::AssertionFailure();
    for (const auto& [relative, content] : before) {
        was.insert(content);
    }
    for (const auto& [relative, content] : after) {
        is.insert(content);
        if (relative.substr(relative.rfind('/') + 1).starts_with("ZX")) {
            failure << "temporary name left: '" << relative << "'\n";
        }
    }
    for (const std::string& content : was) {
        if (was.count(content) != is.count(content)) {
            return failure << "'" << content << "' was there " << was.count(content) << " times, now "
                           << is.count(content);
        }
    }
    return was == is && std::string(failure.message()).empty() ? ::testing::AssertionSuccess()
                                                               : failure << "entries appeared";
}

void Unmount(const std::string& dir) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::umount2(dir.c_str(), 0) == 0 || errno == EINVAL || errno == ENOENT) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::umount2(dir.c_str(), MNT_DETACH);
}

}  // namespace versalo::test
