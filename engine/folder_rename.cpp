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

int NoReplaceRename(int dirfd, const std::string& from, const std::string& to) {
    if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) {
        return error;
    }
    struct stat target {};
    if (::fstatat(dirfd, to.c_str(), &target, AT_SYMLINK_NOFOLLOW) == 0) {
        return EEXIST;
    }
    if (errno != ENOENT) {
        return errno;
    }
    if (::renameat(dirfd, from.c_str(), dirfd, to.c_str()) == 0) {
        return 0;
    }
    return errno;
}

namespace {

// A free temporary name in the folder: created (so that no other program takes it meanwhile)
// and removed again at once, so that no temporary file is ever left behind.
std::string FreeTemporaryName(int dirfd, int& error) {
    std::string name = TempFileNameAt(dirfd, kTempPrefix);
    if (name.empty()) {
        error = errno;
        return {};
    }
    if (::unlinkat(dirfd, name.c_str(), 0) != 0) {
        error = errno;
        return {};
    }
    return name;
}

FolderRenameResult TwoMoves(int dirfd, const std::string& oldName, const std::string& newName) {
    std::string temporary;
    int error = 0;
    // Another program could take the freed name before our move; then try another one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        temporary = FreeTemporaryName(dirfd, error);
        if (temporary.empty()) {
            return {RenameStatus::kFailed, error, oldName};
        }
        error = NoReplaceRename(dirfd, oldName, temporary);
        if (error == 0) {
            break;
        }
        if (error != EEXIST) {
            return {RenameStatus::kFailed, error, oldName};
        }
    }
    if (error != 0) {
        return {RenameStatus::kFailed, error, oldName};
    }

    const int second = NoReplaceRename(dirfd, temporary, newName);
    if (second == 0) {
        return {RenameStatus::kRenamed, 0, newName};
    }
    // The new name is taken (or refused): back to the old name, never left under the temporary one.
    const int back = NoReplaceRename(dirfd, temporary, oldName);
    if (back == 0) {
        if (second == EEXIST) {
            return {RenameStatus::kCollision, EEXIST, oldName};
        }
        return {RenameStatus::kFailed, second, oldName};
    }
    // Both the new and the old name were taken by someone else between our moves. Overwriting
    // either would lose a file, so the entry stays where it is and the user is told its name.
    return {RenameStatus::kStranded, back, temporary};
}

}  // namespace

FolderRenameResult RenameInFolder(int dirfd, const std::string& oldName, const std::string& newName,
                                  bool twoMove) {
    if (oldName == newName) {
        return {RenameStatus::kUnchanged, 0, oldName};
    }
    if (twoMove) {
        return TwoMoves(dirfd, oldName, newName);
    }
    const int error = NoReplaceRename(dirfd, oldName, newName);
    if (error == 0) {
        return {RenameStatus::kRenamed, 0, newName};
    }
    if (error == EEXIST) {
        return TwoMoves(dirfd, oldName, newName);
    }
    return {RenameStatus::kFailed, error, oldName};
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

bool FolderHasExactName(int dirfd, const std::string& name) {
    const int listing = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return false;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (name == entry->d_name) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace versalo
