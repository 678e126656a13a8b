#include "engine/folder_rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "engine/folder_listing.h"
#include "engine/paths.h"
#include "engine/text_case.h"

namespace versalo {

FileSystemNotes::Note* FileSystemNotes::Find(int dirfd) {
    const dev_t device = FolderDevice(dirfd);
    for (Note& note : m_refused) {
        if (note.device == device) {
            return &note;
        }
    }
    return nullptr;
}

dev_t FileSystemNotes::FolderDevice(int dirfd) {
    if (!m_folderKnown) {
        struct stat status {};
        m_folder = ::fstat(dirfd, &status) == 0 ? status.st_dev : 0;
        m_folderKnown = true;
    }
    return m_folder;
}

void FileSystemNotes::NoteFlagRefused(int dirfd) {
    if (Find(dirfd) == nullptr) {
        m_refused.push_back({FolderDevice(dirfd), false});
    }
}

void FileSystemNotes::NoteNoHardLinks(int dirfd) {
    NoteFlagRefused(dirfd);
    Find(dirfd)->noLinks = true;
}

bool IsTemporaryName(std::string_view name) {
    // kTempPrefix, eight characters of TemporarySuffix's alphabet, ".tmp": nothing else.
    static constexpr std::string_view kAlphabet = "0123456789abcdefghjkmnpqrstvwxyz";
    if (name.size() != kTempPrefix.size() + 12 || !name.starts_with(kTempPrefix) || !name.ends_with(".tmp")) {
        return false;
    }
    const std::string_view random = name.substr(kTempPrefix.size(), 8);
    return random.find_first_not_of(kAlphabet) == std::string_view::npos;
}

namespace {

// A plain rename's answer when its target exists, as the no-replace rename would give it.
int TargetTaken(int error) {
    return error == ENOTEMPTY || error == ENOTDIR || error == EISDIR ? EEXIST : error;
}

// Looks that the name to is free, then renames plainly: what is left where the file system has
// neither the no-replace flag nor hard links. The look is the no-replace rename itself: the kernel
// answers EEXIST for a taken name before it asks the file system, which then refuses the flag
// (EINVAL). A stat would not do: FUSE answers it from its cache, where a name looked up a moment
// ago under another spelling still stands. Between the look and the rename (one system call) a
// file that another program creates under that name would be replaced; a folder is replaced only
// by a folder, and only while it is empty (the kernel refuses any other target).
int LookThenRename(int dirfd, const std::string& from, const std::string& to) {
    const int look = ::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE);
    if (look == 0) {
        return 0;  // the file system takes the flag after all
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    return ::renameat(dirfd, from.c_str(), dirfd, to.c_str()) == 0 ? 0 : TargetTaken(errno);
}

// The move for file systems that refuse RENAME_NOREPLACE (FUSE ones: bindfs, exfat-fuse, ntfs-3g,
// sshfs). A file gets its new name as a second hard link, which link() refuses to put over an
// existing entry exactly as the flag does, and then loses the old one: no moment where another
// program could meet an empty file or have its own file replaced. A kill between the two calls
// leaves the file under both names; undo, which has the journal's word for it, drops the extra
// one. A run without that word cannot tell such a pair from the user's own hard links and leaves
// both names. Folders, which cannot be hard-linked, and files
// where the file system has no hard links (exfat-fuse) are moved by LookThenRename.
int FallbackMove(int dirfd, const std::string& from, const std::string& to, FileSystemNotes* notes) {
    if (notes == nullptr || !notes->NoHardLinks(dirfd)) {
        if (::linkat(dirfd, from.c_str(), dirfd, to.c_str(), 0) == 0) {
            if (::unlinkat(dirfd, from.c_str(), 0) == 0) {
                return 0;
            }
            const int error = errno;
            if (error == ENOENT) {
                return 0;  // the old name went meanwhile (another program): the file has the new one
            }
            ::unlinkat(dirfd, to.c_str(), 0);  // the second name of the same file, made just now
            return error;
        }
        const int error = errno;
        if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS && error != EMLINK) {
            return error;  // EEXIST: the name is taken; ENOENT: the entry is gone; ...
        }
        // EPERM: a folder (never hard-linked) or a file system without hard links.
        struct stat entry {};
        if (::fstatat(dirfd, from.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno;
        }
        if (S_ISREG(entry.st_mode) && error != EMLINK && notes != nullptr) {
            notes->NoteNoHardLinks(dirfd);
        }
    }
    return LookThenRename(dirfd, from, to);
}

// renameat2(RENAME_NOREPLACE) inside one folder, or FallbackMove where the file system refuses the
// flag (remembered in notes, so that the flag is not tried for every entry). Returns 0 or errno;
// EEXIST when the target exists.
int NoReplaceRename(int dirfd, const std::string& from, const std::string& to, FileSystemNotes* notes) {
    if (notes == nullptr || !notes->FlagRefused(dirfd)) {
        if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) {
            return 0;
        }
        const int error = errno;
        if (error != EINVAL && error != ENOSYS) {
            return error;
        }
        if (notes != nullptr) {
            notes->NoteFlagRefused(dirfd);
        }
    }
    return FallbackMove(dirfd, from, to, notes);
}

// Moves the entry to a temporary name beginning with "ZX"; returns that name, or an empty one
// with error set (refused: the listener refused the name). Every name is told to the listener
// before it is used. The name is random and never made beforehand: the no-replace move itself
// makes sure that it was free, and no empty file ever stands under it, which a program removing
// empty files could take away just as the entry arrives.
std::string MoveToTemporaryName(int dirfd, const std::string& oldName, const RenameHelp& help, int& error,
                                bool& refused) {
    // Another program could take the name before our move; then try another one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::string temporary = std::string(kTempPrefix) + TemporarySuffix();
        if (help.temporary && !help.temporary(temporary)) {
            refused = true;
            return {};
        }
        error = NoReplaceRename(dirfd, oldName, temporary, help.notes);
        if (error == 0) {
            return temporary;
        }
        if (error != EEXIST) {
            return {};
        }
    }
    return {};
}

// The spelling under which the folder's listing holds name: name itself, or the one spelling
// that is the same name in other case (a file system that ignores case lists only that one);
// empty when neither is listed.
std::string StoredSpelling(int dirfd, const std::string& name) {
    const FolderListing listing = FolderNames(dirfd);
    if (listing.contains(name)) {
        return name;
    }
    const std::string lower = ToLowerText(name);
    for (std::size_t i = 0; i < listing.Count(); ++i) {
        if (ToLowerText(listing.Name(i)) == lower) {
            return std::string(listing.Name(i));
        }
    }
    return {};
}

// verify: the file system ignores case (it found the entry under its new spelling); the listing
// is read after the rename to see that the new spelling was stored.
FolderRenameResult TwoMoves(int dirfd, const std::string& oldName, const std::string& newName,
                            const RenameHelp& help, bool verify) {
    int error = 0;
    bool refused = false;
    const std::string temporary = MoveToTemporaryName(dirfd, oldName, help, error, refused);
    if (temporary.empty()) {
        return {refused ? RenameStatus::kTemporaryRefused : RenameStatus::kFailed, error, oldName, {}};
    }
    const int second = NoReplaceRename(dirfd, temporary, newName, help.notes);
    if (second == 0) {
        const std::string stored = verify ? StoredSpelling(dirfd, newName) : newName;
        if (stored.empty() || stored == newName) {
            return {RenameStatus::kRenamed, 0, newName, {}};
        }
        return {RenameStatus::kSpellingKept, 0, stored, {}};
    }
    // exfat-fuse answers ENOENT while a file is open under its new spelling (it tries to hide the
    // open file first and does not find it under that spelling); the entry is still there.
    struct stat status {};
    const bool openElsewhere =
        second == ENOENT && ::fstatat(dirfd, temporary.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    // The new name is taken (or refused): back to the old name, never left under the temporary one.
    const int back = NoReplaceRename(dirfd, temporary, oldName, help.notes);
    if (back == 0) {
        if (openElsewhere) {
            return {RenameStatus::kOpenElsewhere, EBUSY, oldName, {}};
        }
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
                                  bool twoMove, const RenameHelp& help) {
    if (oldName == newName) {
        return {RenameStatus::kUnchanged, 0, oldName, {}};
    }
    if (twoMove) {
        // The file system finds the entry under its new spelling: it ignores case.
        struct stat status {};
        const bool foldsCase = ::fstatat(dirfd, newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        return TwoMoves(dirfd, oldName, newName, help, foldsCase);
    }
    const int error = NoReplaceRename(dirfd, oldName, newName, help.notes);
    if (error == 0) {
        return {RenameStatus::kRenamed, 0, newName, {}};
    }
    if (error == EEXIST) {
        return TwoMoves(dirfd, oldName, newName, help, /*verify=*/true);
    }
    return {RenameStatus::kFailed, error, oldName, {}};
}

int OpenPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG) {
        return fd;
    }
    // Too long for one call: walk it a component at a time.
    const std::vector<std::string_view> parts = PathComponents(path);
    int current = ::open(path.starts_with('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t i = 0; current >= 0 && i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const int child = ::openat(current, std::string(parts[i]).c_str(),
                                   last ? (flags | O_CLOEXEC) : (O_PATH | O_DIRECTORY | O_CLOEXEC));
        const int error = errno;
        ::close(current);
        errno = error;
        current = child;
    }
    return current;
}

}  // namespace versalo
