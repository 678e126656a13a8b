#include "engine/folder_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>

#include "engine/paths.h"

namespace versalo {

namespace {

// The kernel's path of an open descriptor; false (errno set) when it cannot give one.
bool KernelPath(int fd, std::string& path) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string buffer(PATH_MAX + 1, '\0');
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length < 0) {
        return false;
    }
    if (static_cast<std::size_t>(length) >= buffer.size()) {
        errno = ENAMETOOLONG;
        return false;
    }
    buffer.resize(static_cast<std::size_t>(length));
    if (!buffer.starts_with('/')) {
        errno = ENOENT;  // not reachable from our root
        return false;
    }
    path = std::move(buffer);
    return true;
}

// The name under which parent holds the entry with inode number ino; empty if none.
std::string NameByInode(int parent, ino_t ino) {
    const int listing = ::openat(parent, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return {};
    }
    alignas(dirent64) char buffer[32 * 1024];
    std::string found;
    while (found.empty()) {
        const ssize_t got = ::getdents64(listing, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < got && found.empty();) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const std::string_view name = entry->d_name;
            if (entry->d_ino == ino && name != "." && name != "..") {
                found = name;
            }
        }
    }
    ::close(listing);
    return found;
}

}  // namespace

bool CanonicalFolders::Identify(int dirfd, FolderIdentity& identity) {
    struct stat folder {};
    if (::fstat(dirfd, &folder) != 0) {
        return false;
    }
    if (folder.st_nlink == 0) {
        errno = ENOENT;  // removed while open
        return false;
    }
    identity.dev = folder.st_dev;
    identity.ino = folder.st_ino;
    if (KernelPath(dirfd, identity.path)) {
        m_lastPath = identity.path;
        m_known.assign(1, Known{folder.st_dev, folder.st_ino, m_lastPath.size()});
        return true;
    }
    return errno == ENAMETOOLONG && Climb(dirfd, folder, identity);
}

namespace {

// Opens the parent of the open folder current and finds the name under which it holds the
// folder (inode ino); -1 with errno ENOENT when either cannot be done.
int OpenParent(int current, ino_t ino, struct stat& parentStatus, std::string& name) {
    const int parent = ::openat(current, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent >= 0 && ::fstat(parent, &parentStatus) == 0) {
        name = NameByInode(parent, ino);
    }
    if (name.empty()) {
        if (parent >= 0) {
            ::close(parent);
        }
        errno = ENOENT;
        return -1;
    }
    return parent;
}

}  // namespace

bool CanonicalFolders::KnownBase(int fd, const struct ::stat& status, std::string& base,
                                 std::vector<Known>& baseKnown) const {
    const auto known = std::find_if(m_known.begin(), m_known.end(), [&](const Known& k) {
        return k.dev == status.st_dev && k.ino == status.st_ino;
    });
    if (known != m_known.end()) {
        base = m_lastPath.substr(0, known->pathLength);
        baseKnown.assign(m_known.begin(), known + 1);
        return true;
    }
    if (KernelPath(fd, base)) {
        baseKnown.assign(1, Known{status.st_dev, status.st_ino, base.size()});
        return true;
    }
    return false;
}

bool CanonicalFolders::Climb(int dirfd, const struct ::stat& folder, FolderIdentity& identity) {
    struct Level {
        dev_t dev;
        ino_t ino;
        std::string name;
    };
    std::vector<Level> levels;  // from the folder upwards
    std::string base;
    std::vector<Known> baseKnown;
    int current = ::openat(dirfd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat currentStatus = folder;
    while (current >= 0 && !KnownBase(current, currentStatus, base, baseKnown)) {
        struct stat parentStatus {};
        std::string name;
        const int parent = OpenParent(current, currentStatus.st_ino, parentStatus, name);
        ::close(current);
        if (parent < 0) {
            return false;
        }
        levels.push_back({currentStatus.st_dev, currentStatus.st_ino, std::move(name)});
        current = parent;
        currentStatus = parentStatus;
    }
    if (current < 0) {
        return false;
    }
    ::close(current);
    identity.path = base;
    m_known = std::move(baseKnown);
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        identity.path = JoinPath(identity.path, level->name);
        m_known.push_back({level->dev, level->ino, identity.path.size()});
    }
    m_lastPath = identity.path;
    return true;
}

void CanonicalFolders::FolderMoving(dev_t dev, ino_t ino) {
    const auto found = std::find_if(m_known.begin(), m_known.end(),
                                    [&](const Known& k) { return k.dev == dev && k.ino == ino; });
    m_known.erase(found, m_known.end());
}

}  // namespace versalo
