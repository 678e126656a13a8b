#include "engine/folder_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
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

bool StatEntry(int dirfd, const std::string& name, EntryStatus& status) {
    struct statx info {};
    if (::statx(dirfd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME,
                &info) != 0) {
        return false;
    }
    const auto nanoseconds = [](const struct statx_timestamp& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    status.dev = makedev(info.stx_dev_major, info.stx_dev_minor);
    status.ino = static_cast<ino_t>(info.stx_ino);
    status.mode = info.stx_mode;
    status.links = info.stx_nlink;
    status.size = info.stx_size;
    status.modified = nanoseconds(info.stx_mtime);
    status.hasBirth = (info.stx_mask & STATX_BTIME) != 0;
    status.birth = status.hasBirth ? nanoseconds(info.stx_btime) : 0;
    return true;
}

std::uint64_t FileSystemId(int fd) {
    struct statfs info {};
    if (::fstatfs(fd, &info) != 0) {
        return 0;
    }
    std::uint32_t parts[2];
    static_assert(sizeof parts == sizeof info.f_fsid);
    std::memcpy(parts, &info.f_fsid, sizeof parts);
    return (static_cast<std::uint64_t>(parts[1]) << 32) | parts[0];
}

namespace {

constexpr long kFuseMagic = 0x65735546;
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

// The file system type and source of the mount of device dev, from /proc/self/mountinfo.
bool MountOf(dev_t dev, std::string& type, std::string& source) {
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        if (numbers != wanted) {
            continue;
        }
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos) {
            return false;
        }
        std::istringstream rest(line.substr(dash + 3));
        rest >> type >> source;
        return true;
    }
    return false;
}

}  // namespace

bool InodeLifetime::Lasting(int fd, dev_t dev) {
    if (const auto known = m_known.find(dev); known != m_known.end()) {
        return known->second;
    }
    struct statfs info {};
    bool lasting = true;
    std::string type;
    std::string source;
    if (::fstatfs(fd, &info) == 0 && (info.f_type == kMsdosMagic || info.f_type == kExfatMagic)) {
        lasting = false;  // the kernel's FAT and exFAT number entries afresh on each mount too
    } else if (info.f_type == kFuseMagic && MountOf(dev, type, source) && type == "fuseblk") {
        // A FUSE file system on a block device is exfat-fuse or ntfs-3g; NTFS keeps its record
        // numbers, exfat-fuse numbers entries as it meets them. What cannot be told is taken for
        // exFAT: weaker checks by name, size and time rather than wrong ones by number.
        char boot[11] = {};
        const int device = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        lasting = device >= 0 && ::pread(device, boot, sizeof boot, 0) == sizeof boot &&
                  std::memcmp(boot + 3, "NTFS    ", 8) == 0;
        if (device >= 0) {
            ::close(device);
        }
    }
    m_known.emplace(dev, lasting);
    return lasting;
}

void CanonicalFolders::FolderMoving(dev_t dev, ino_t ino) {
    const auto found = std::find_if(m_known.begin(), m_known.end(),
                                    [&](const Known& k) { return k.dev == dev && k.ino == ino; });
    m_known.erase(found, m_known.end());
}

}  // namespace versalo
