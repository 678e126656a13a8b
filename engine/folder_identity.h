#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/sys.h"

namespace versalo {

// What tells an entry apart from another that later got its inode number: statx's view of it.
struct EntryStatus {
    dev_t dev = 0;
    ino_t ino = 0;
    mode_t mode = 0;
    nlink_t links = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since 1970
    bool hasBirth = false;      // the file system tells the birth time
    std::int64_t birth = 0;     // nanoseconds since 1970
};

// The entry name in the open folder dirfd, without following a symbolic link.
Result<EntryStatus> StatEntry(int dirfd, const std::string& name);

// The file system's identity (statfs f_fsid, taken from the UUID on ext4, btrfs and xfs), which
// stays when a disk comes back under another device number; 0 where the file system gives none.
std::uint64_t FileSystemId(int fd);

// False where the file system's inode numbers do not last across a mount: exfat-fuse and the
// kernel's FAT and exFAT hand them out in the order they meet entries. Answers are kept per device.
class InodeLifetime {
public:
    bool Lasting(int fd, dev_t dev);

private:
    std::map<dev_t, bool> m_known;
};

// What identifies a folder for a later undo: its canonical path (absolute, no "." or "..", no
// symbolic link in it) at the time, and its device and inode numbers.
struct FolderIdentity {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
};

// Works out the identity of open folders, one after the other as a batch meets them. The path is
// the kernel's own for the descriptor; where that is longer than the kernel hands out (deeper
// than the path-length limit), it is put together by climbing from the folder to a folder met
// before, looking up each folder's name in its parent by inode number.
class CanonicalFolders {
public:
    // The open folder's identity; an error when it has no path any more (removed) or cannot be read.
    Result<FolderIdentity> Identify(int dirfd);
    // A folder entry is about to be renamed: what is known of the paths through it is forgotten.
    void FolderMoving(dev_t dev, ino_t ino);

private:
    struct Known {
        dev_t dev;
        ino_t ino;
        std::size_t pathLength;  // its path is m_lastPath.substr(0, pathLength)
    };
    // The path of a folder deeper than the kernel hands out, put together from a folder above it.
    Result<std::string> Climb(int dirfd, const struct ::stat& folder);
    // True when the folder open as fd is known or has a kernel path: base is its path then, and
    // baseKnown the known folders on it.
    bool KnownBase(int fd, const struct ::stat& status, std::string& base,
                   std::vector<Known>& baseKnown) const;
    std::string m_lastPath;
    std::vector<Known> m_known;  // folders on m_lastPath, outermost first
};

}  // namespace versalo
