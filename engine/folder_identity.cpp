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
#include "engine/sys.h"

namespace versalo {

namespace {

// The kernel's path of an open descriptor, where it can give one.
Result<std::string> KernelPath(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    Result<std::string> path{std::string(PATH_MAX + 1, '\0'), {}};
    const ssize_t length = ::readlink(link.c_str(), path.value.data(), path.value.size());
    if (length < 0) {
        return {{}, LastError()};
    }
    if (static_cast<std::size_t>(length) >= path.value.size()) {
        return {{}, std::make_error_code(std::errc::filename_too_long)};
    }
    if (path.value[0] != '/') {
        // Not reachable from our root.
        return {{}, std::make_error_code(std::errc::no_such_file_or_directory)};
    }
    path.value.resize(static_cast<std::size_t>(length));
    return path;
}

// The name under which the folder parent holds the entry with inode number ino.
Result<std::string> NameByInode(int parent, ino_t ino) {
    const Result<Fd> listing = OpenAt(parent, ".", O_RDONLY | O_DIRECTORY);
    if (!listing) {
        return {{}, listing.error};
    }
    Result<std::string> found;
    found.error = ListEntries(listing.value.Get(), [&](const dirent64& entry) {
        const std::string_view name = entry.d_name;
        if (entry.d_ino == ino && name != "." && name != "..") {
            found.value = name;
        }
        return found.value.empty();
    });
    if (!found.error && found.value.empty()) {
        found.error = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    return found;
}

}  // namespace

Result<FolderIdentity> CanonicalFolders::Identify(int dirfd) {
    struct stat folder {};
    if (::fstat(dirfd, &folder) != 0) {
        return {{}, LastError()};
    }
    if (folder.st_nlink == 0) {
        return {{}, std::make_error_code(std::errc::no_such_file_or_directory)};  // removed while open
    }
    Result<FolderIdentity> identity{{{}, folder.st_dev, folder.st_ino}, {}};
    Result<std::string> path = KernelPath(dirfd);
    if (path) {
        m_lastPath = path.value;
        m_known.assign(1, Known{folder.st_dev, folder.st_ino, m_lastPath.size()});
    } else if (path.error == std::errc::filename_too_long) {
        path = Climb(dirfd, folder);
    }
    identity.value.path = std::move(path.value);
    identity.error = path.error;
    return identity;
}

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
    if (Result<std::string> path = KernelPath(fd)) {
        base = std::move(path.value);
        baseKnown.assign(1, Known{status.st_dev, status.st_ino, base.size()});
        return true;
    }
    return false;
}

Result<std::string> CanonicalFolders::Climb(int dirfd, const struct ::stat& folder) {
    struct Level {
        dev_t dev;
        ino_t ino;
        std::string name;
    };
    std::vector<Level> levels;  // from the folder upwards
    Result<std::string> path;
    std::vector<Known> baseKnown;
    Result<Fd> current = OpenAt(dirfd, ".", O_PATH | O_DIRECTORY);
    struct stat currentStatus = folder;
    while (current && !KnownBase(current.value.Get(), currentStatus, path.value, baseKnown)) {
        // Up to the parent, and the name under which it holds the folder.
        Result<Fd> parent = OpenAt(current.value.Get(), "..", O_PATH | O_DIRECTORY);
        struct stat parentStatus {};
        if (parent && ::fstat(parent.value.Get(), &parentStatus) != 0) {
            parent.error = LastError();
        }
        Result<std::string> name = parent ? NameByInode(parent.value.Get(), currentStatus.st_ino)
                                          : Result<std::string>{{}, parent.error};
        if (!name) {
            return {{}, name.error};
        }
        levels.push_back({currentStatus.st_dev, currentStatus.st_ino, std::move(name.value)});
        current = std::move(parent);
        currentStatus = parentStatus;
    }
    if (!current) {
        return {{}, current.error};
    }
    m_known = std::move(baseKnown);
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        path.value = JoinPath(path.value, level->name);
        m_known.push_back({level->dev, level->ino, path.value.size()});
    }
    m_lastPath = path.value;
    return path;
}

Result<EntryStatus> StatEntry(int dirfd, const std::string& name) {
    struct statx info {};
    if (::statx(dirfd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME,
                &info) != 0) {
        return {{}, LastError()};
    }
    Result<EntryStatus> entry;
    EntryStatus& status = entry.value;
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
    return entry;
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
        const Result<Fd> device = OpenAt(AT_FDCWD, source.c_str(), O_RDONLY | O_NONBLOCK);
        lasting = device && ::pread(device.value.Get(), boot, sizeof boot, 0) == sizeof boot &&
                  std::memcmp(boot + 3, "NTFS    ", 8) == 0;
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
