#include "engine/folder_rename.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "collection/paths.h"

namespace versalo {

namespace {

// The rename for file systems that refuse RENAME_NOREPLACE (FUSE ones: exfat-fuse, ntfs-3g,
// bindfs, sshfs), which offer only a rename that replaces its target. Looking first and renaming
// then would destroy a file another program creates in between. So the target name is reserved
// first with an exclusive create (an empty file, or an empty folder for a folder: rename(2) puts a
// folder only over a folder), and the entry is renamed over that placeholder, which is checked
// right before to be still ours (same inode) and still empty. What remains possible: another
// program opens the placeholder by its name and writes into it between that check and the
// rename, two system calls apart; what it wrote is then replaced. On a failure the placeholder is
// removed again if it is still ours and empty.
int PlaceholderRename(int dirfd, const std::string& from, const std::string& to) {
    struct stat entry {};
    if (::fstatat(dirfd, from.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    const bool folder = S_ISDIR(entry.st_mode);
    int placeholder = -1;
    if (folder) {
        if (::mkdirat(dirfd, to.c_str(), 0700) != 0) {
            return errno;  // EEXIST also where the name exists in another spelling (exFAT)
        }
        placeholder = ::openat(dirfd, to.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        placeholder = ::openat(dirfd, to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (placeholder < 0) {
            return errno;
        }
    }
    struct stat ours {};
    if (placeholder < 0 || ::fstat(placeholder, &ours) != 0) {
        const int error = errno;
        if (placeholder >= 0) {
            ::close(placeholder);
        }
        if (folder) {
            ::unlinkat(dirfd, to.c_str(), AT_REMOVEDIR);  // only succeeds while it is empty
        }
        return error;
    }
    const auto stillOurs = [&] {
        struct stat now {};
        struct stat content {};
        return ::fstatat(dirfd, to.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == ours.st_dev &&
               now.st_ino == ours.st_ino && ::fstat(placeholder, &content) == 0 &&
               (folder || content.st_size == 0);
    };
    int error = EEXIST;  // the placeholder was taken over: its name is someone else's now
    // A folder over a folder: the kernel itself refuses to replace one that is not empty.
    if (stillOurs()) {
        error = ::renameat(dirfd, from.c_str(), dirfd, to.c_str()) == 0 ? 0 : errno;
    }
    if (error != 0 && stillOurs()) {
        ::unlinkat(dirfd, to.c_str(), folder ? AT_REMOVEDIR : 0);
    }
    ::close(placeholder);
    return error;
}

}  // namespace

int NoReplaceRename(int dirfd, const std::string& from, const std::string& to) {
    if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        return error;
    }
    return PlaceholderRename(dirfd, from, to);
}

namespace {

// A free temporary name in the folder, made as a temporary file is: created (so that no other
// program takes it meanwhile) and removed again at once, so that no temporary file is left.
std::string FreedTemporaryFile(int dirfd, int& error, std::string& leftover) {
    std::string name = TempFileNameAt(dirfd, kTempPrefix);
    if (name.empty()) {
        error = errno;
        return {};
    }
    if (::unlinkat(dirfd, name.c_str(), 0) != 0) {
        error = errno;
        leftover = name;
        return {};
    }
    return name;
}

// Moves the entry to a temporary name beginning with "ZX"; returns that name, or an empty one
// with error set. With makeFile the name is first taken as a file and freed; without it, a random
// name is tried directly: the no-replace move itself makes sure that it was free.
std::string MoveToTemporaryName(int dirfd, const std::string& oldName, bool makeFile, int& error,
                                std::string& leftover) {
    // Another program could take the name before our move; then try another one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string temporary = makeFile ? FreedTemporaryFile(dirfd, error, leftover)
                                         : std::string(kTempPrefix) + TemporarySuffix();
        if (temporary.empty()) {
            return {};
        }
        error = NoReplaceRename(dirfd, oldName, temporary);
        if (error == 0) {
            return temporary;
        }
        if (error != EEXIST) {
            return {};
        }
    }
    return {};
}

FolderRenameResult TwoMoves(int dirfd, const std::string& oldName, const std::string& newName,
                            bool makeFile) {
    int error = 0;
    std::string leftover;
    const std::string temporary = MoveToTemporaryName(dirfd, oldName, makeFile, error, leftover);
    if (temporary.empty()) {
        return {RenameStatus::kFailed, error, oldName, leftover};
    }
    const int second = NoReplaceRename(dirfd, temporary, newName);
    if (second == 0) {
        return {RenameStatus::kRenamed, 0, newName, {}};
    }
    // The new name is taken (or refused): back to the old name, never left under the temporary one.
    const int back = NoReplaceRename(dirfd, temporary, oldName);
    if (back == 0) {
        if (second == EEXIST) {
            return {RenameStatus::kCollision, EEXIST, oldName, {}};
        }
        return {RenameStatus::kFailed, second, oldName, {}};
    }
    // Both the new and the old name were taken by someone else between our moves. Overwriting
    // either would lose a file, so the entry stays where it is and the user is told its name.
    return {RenameStatus::kStranded, back, temporary, {}};
}

}  // namespace

FolderRenameResult RenameInFolder(int dirfd, const std::string& oldName, const std::string& newName,
                                  bool twoMove) {
    if (oldName == newName) {
        return {RenameStatus::kUnchanged, 0, oldName, {}};
    }
    if (twoMove) {
        return TwoMoves(dirfd, oldName, newName, /*makeFile=*/true);
    }
    const int error = NoReplaceRename(dirfd, oldName, newName);
    if (error == 0) {
        return {RenameStatus::kRenamed, 0, newName, {}};
    }
    if (error == EEXIST) {
        return TwoMoves(dirfd, oldName, newName, /*makeFile=*/false);
    }
    return {RenameStatus::kFailed, error, oldName, {}};
}

int OpenPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG) {
        return fd;
    }
    // Too long for one call: walk it a component at a time.
    int current = ::open(path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (current < 0) {
        return -1;
    }
    std::size_t start = 0;
    while (true) {
        while (start < path.size() && path[start] == '/') {
            ++start;
        }
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::size_t next = end;
        while (next < path.size() && path[next] == '/') {
            ++next;
        }
        const std::string component = path.substr(start, end - start);
        const bool last = next >= path.size();
        if (component.empty()) {  // the path ended with slashes
            return current;
        }
        const int child = ::openat(current, component.c_str(),
                                   last ? (flags | O_CLOEXEC) : (O_PATH | O_DIRECTORY | O_CLOEXEC));
        const int error = errno;
        ::close(current);
        if (child < 0) {
            errno = error;
            return -1;
        }
        if (last) {
            return child;
        }
        current = child;
        start = next;
    }
}

bool ReadFolder(int dirfd, std::vector<ListedEntry>& entries, int& error, bool withDotNames) {
    const int listing = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        error = errno;
        return false;
    }
    alignas(dirent64) char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::getdents64(listing, buffer, sizeof buffer);
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            ::close(listing);
            return got == 0;
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            const bool dotOrDotDot =
                name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
            if (name[0] != '.' || (withDotNames && !dotOrDotDot)) {
                entries.push_back({name, entry->d_type});
            }
        }
    }
}

std::unordered_set<std::string> FolderNames(int dirfd) {
    std::vector<ListedEntry> entries;
    int error = 0;
    ReadFolder(dirfd, entries, error, /*withDotNames=*/true);
    std::unordered_set<std::string> names;
    names.reserve(entries.size());
    for (ListedEntry& entry : entries) {
        names.insert(std::move(entry.name));
    }
    return names;
}

}  // namespace versalo
