#include "engine/folder_rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/folder_listing.h"
#include "engine/paths.h"
#include "engine/sys.h"
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

const std::error_category& BothNamesCategory() {
    class Category : public std::error_category {
    public:
        const char* name() const noexcept override { return "versalo-both-names"; }
        std::string message(int value) const override { return std::generic_category().message(value); }
    };
    static const Category category;
    return category;
}

namespace {

// A plain rename's answer when its target exists, as the no-replace rename would give it.
std::error_code TargetTaken(std::error_code error) {
    return error == std::errc::directory_not_empty || error == std::errc::not_a_directory ||
                   error == std::errc::is_a_directory
               ? std::make_error_code(std::errc::file_exists)
               : error;
}

// The answer of a file system that refuses RENAME_NOREPLACE.
bool RefusesFlag(std::error_code error) {
    return error == std::errc::invalid_argument || error == std::errc::function_not_supported;
}

// Looks that the name to is free, then renames plainly: what is left where the file system has
// neither the no-replace flag nor hard links. The look is the no-replace rename itself: the kernel
// answers EEXIST for a taken name before it asks the file system, which then refuses the flag
// (EINVAL). A stat would not do: FUSE answers it from its cache, where a name looked up a moment
// ago under another spelling still stands. Between the look and the rename (one system call) a
// file that another program creates under that name would be replaced; a folder is replaced only
// by a folder, and only while it is empty (the kernel refuses any other target).
std::error_code LookThenRename(int dirfd, const std::string& from, const std::string& to) {
    const std::error_code look =
        ErrorOf(::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE));
    if (!look) {
        return {};  // the file system takes the flag after all
    }
    if (!RefusesFlag(look)) {
        return look;
    }
    return TargetTaken(ErrorOf(::renameat(dirfd, from.c_str(), dirfd, to.c_str())));
}

// The file has the names from and to (link made): it loses from. Should that fail, to goes again,
// and where that fails too the file has both names, which the error says (BothNamesCategory).
std::error_code DropOldName(int dirfd, const std::string& from, const std::string& to) {
    if (::unlinkat(dirfd, from.c_str(), 0) == 0) {
        return {};
    }
    const std::error_code error = LastError();
    if (error == std::errc::no_such_file_or_directory) {
        return {};  // the old name went meanwhile (another program): the file has the new one
    }
    const std::error_code undone = ErrorOf(::unlinkat(dirfd, to.c_str(), 0));
    if (!undone || undone == std::errc::no_such_file_or_directory) {
        return error;  // the second name of the same file, made just now, is gone again
    }
    return {error.value(), BothNamesCategory()};
}

// Whether link()'s refusal (linkError) of the file status, which was then moved by a plain rename
// (moved: its error), tells that the file system has no hard links at all. EPERM alone does not:
// the kernel also gives it for a link to another user's file (fs.protected_hardlinks) and for an
// immutable or append-only file. It does for a file of the caller's own (no protection applies)
// that could be renamed (neither immutable nor append-only): exfat-fuse answers so for every file.
bool NoLinksAtAll(std::error_code linkError, const struct stat& status, std::error_code moved) {
    if (linkError == std::errc::operation_not_supported || linkError == std::errc::function_not_supported) {
        return true;
    }
    // Not "or the caller is root": root without CAP_FOWNER (in a user namespace, or bindfs's
    // daemon acting for another user) meets the same protection for other owners' files.
    return linkError == std::errc::operation_not_permitted && !moved && status.st_uid == ::geteuid();
}

// The move for file systems that refuse RENAME_NOREPLACE (FUSE ones: bindfs, exfat-fuse, ntfs-3g,
// sshfs). A file gets its new name as a second hard link, which link() refuses to put over an
// existing entry exactly as the flag does, and then loses the old one: no moment where another
// program could meet an empty file or have its own file replaced. A kill between the two calls
// leaves the file under both names; undo, which has the journal's word for it, drops the extra
// one. A run without that word cannot tell such a pair from the user's own hard links and leaves
// both names. Folders, which cannot be hard-linked, files that may not be (another user's, an
// immutable one, one with too many links) and files where the file system has no hard links
// (exfat-fuse; noted for the rest of the batch) are moved by LookThenRename.
std::error_code FallbackMove(int dirfd, const std::string& from, const std::string& to,
                             FileSystemNotes* notes) {
    if (notes == nullptr || !notes->NoHardLinks(dirfd)) {
        if (::linkat(dirfd, from.c_str(), dirfd, to.c_str(), 0) == 0) {
            return DropOldName(dirfd, from, to);
        }
        const std::error_code error = LastError();
        if (error != std::errc::operation_not_permitted && error != std::errc::operation_not_supported &&
            error != std::errc::function_not_supported && error != std::errc::too_many_links) {
            return error;  // EEXIST: the name is taken; ENOENT: the entry is gone; ...
        }
        const Result<struct stat> entry = StatNoFollow(dirfd, from.c_str());
        if (!entry) {
            return entry.error;
        }
        const std::error_code moved = LookThenRename(dirfd, from, to);
        if (S_ISREG(entry.value.st_mode) && notes != nullptr && NoLinksAtAll(error, entry.value, moved)) {
            notes->NoteNoHardLinks(dirfd);
        }
        return moved;
    }
    return LookThenRename(dirfd, from, to);
}

// renameat2(RENAME_NOREPLACE) inside one folder, or FallbackMove where the file system refuses the
// flag (remembered in notes, so that the flag is not tried for every entry). file_exists when the
// target exists.
std::error_code NoReplaceRename(int dirfd, const std::string& from, const std::string& to,
                                FileSystemNotes* notes) {
    if (notes == nullptr || !notes->FlagRefused(dirfd)) {
        if (::renameat2(dirfd, from.c_str(), dirfd, to.c_str(), RENAME_NOREPLACE) == 0) {
            return {};
        }
        const std::error_code error = LastError();
        if (!RefusesFlag(error)) {
            return error;
        }
        if (notes != nullptr) {
            notes->NoteFlagRefused(dirfd);
        }
    }
    return FallbackMove(dirfd, from, to, notes);
}

// Moves the entry to a temporary name beginning with "ZX" and returns that name; the error
// operation_canceled: the listener refused the name. Every name is told to the listener before it
// is used. The name is random and never made beforehand: the no-replace move itself makes sure
// that it was free, and no empty file ever stands under it, which a program removing empty files
// could take away just as the entry arrives.
Result<std::string> MoveToTemporaryName(int dirfd, const std::string& oldName, const RenameHelp& help) {
    Result<std::string> temporary;
    // Another program could take the name before our move; then try another one.
    for (int attempt = 0; attempt < 5; ++attempt) {
        temporary.value = std::string(kTempPrefix) + TemporarySuffix();
        if (help.temporary && !help.temporary(temporary.value)) {
            return {{}, std::make_error_code(std::errc::operation_canceled)};
        }
        temporary.error = NoReplaceRename(dirfd, oldName, temporary.value, help.notes);
        if (temporary.error != std::errc::file_exists) {
            break;
        }
    }
    return temporary;
}

// The spelling under which the folder's listing holds name: name itself, or the one spelling
// that is the same name in other case (a file system that ignores case lists only that one).
// no_such_file_or_directory when neither is listed.
Result<std::string> StoredSpelling(int dirfd, const std::string& name) {
    const Result<FolderListing> listing = ReadFolder(dirfd, /*withDotNames=*/true);
    if (!listing) {
        return {{}, listing.error};
    }
    if (listing.value.contains(name)) {
        return {name, {}};
    }
    const std::string lower = ToLowerText(name);
    for (std::size_t i = 0; i < listing.value.Count(); ++i) {
        if (ToLowerText(listing.value.Name(i)) == lower) {
            return {std::string(listing.value.Name(i)), {}};
        }
    }
    return {{}, std::make_error_code(std::errc::no_such_file_or_directory)};
}

// A move from one name to another left the file under both (BothNamesCategory).
bool BothNames(std::error_code error) {
    return error.category() == BothNamesCategory();
}

// verify: the file system ignores case (it found the entry under its new spelling); the listing
// is read after the rename to see that the new spelling was stored.
FolderRenameResult TwoMoves(int dirfd, const std::string& oldName, const std::string& newName,
                            const RenameHelp& help, bool verify) {
    const Result<std::string> moved = MoveToTemporaryName(dirfd, oldName, help);
    if (BothNames(moved.error)) {
        return {RenameStatus::kTwoNames, moved.error, oldName, moved.value};
    }
    if (!moved) {
        const bool refused = moved.error == std::errc::operation_canceled;
        return {refused ? RenameStatus::kTemporaryRefused : RenameStatus::kFailed, moved.error, oldName, {}};
    }
    const std::string& temporary = moved.value;
    const std::error_code second = NoReplaceRename(dirfd, temporary, newName, help.notes);
    if (!second) {
        const Result<std::string> stored =
            verify ? StoredSpelling(dirfd, newName) : Result<std::string>{newName, {}};
        if (!stored) {
            return {RenameStatus::kUnconfirmed, stored.error, newName, {}};
        }
        if (stored.value == newName) {
            return {RenameStatus::kRenamed, {}, newName, {}};
        }
        return {RenameStatus::kSpellingKept, {}, stored.value, {}};
    }
    if (BothNames(second)) {
        return {RenameStatus::kTwoNames, second, newName, temporary};
    }
    // exfat-fuse answers ENOENT while a file is open under its new spelling (it tries to hide the
    // open file first and does not find it under that spelling); the entry is still there.
    const bool openElsewhere =
        second == std::errc::no_such_file_or_directory && StatNoFollow(dirfd, temporary.c_str());
    // The new name is taken (or refused): back to the old name, never left under the temporary one.
    const std::error_code back = NoReplaceRename(dirfd, temporary, oldName, help.notes);
    if (!back) {
        if (openElsewhere) {
            return {RenameStatus::kOpenElsewhere,
                    std::make_error_code(std::errc::device_or_resource_busy),
                    oldName,
                    {}};
        }
        if (second == std::errc::file_exists) {
            return {RenameStatus::kCollision, second, oldName, {}};
        }
        return {RenameStatus::kFailed, second, oldName, {}};
    }
    if (BothNames(back)) {
        return {RenameStatus::kTwoNames, back, oldName, temporary};
    }
    // Both the new and the old name were taken by someone else between our moves. Overwriting
    // either would lose a file, so the entry stays where it is and the user is told its name.
    return {RenameStatus::kStranded, back, temporary, {}};
}

}  // namespace

FolderRenameResult RenameInFolder(int dirfd, const std::string& oldName, const std::string& newName,
                                  bool twoMove, const RenameHelp& help) {
    if (oldName == newName) {
        return {RenameStatus::kUnchanged, {}, oldName, {}};
    }
    if (twoMove) {
        // The file system finds the entry under its new spelling: it ignores case.
        const bool foldsCase = static_cast<bool>(StatNoFollow(dirfd, newName.c_str()));
        return TwoMoves(dirfd, oldName, newName, help, foldsCase);
    }
    const std::error_code error = NoReplaceRename(dirfd, oldName, newName, help.notes);
    if (!error) {
        return {RenameStatus::kRenamed, {}, newName, {}};
    }
    if (error == std::errc::file_exists) {
        return TwoMoves(dirfd, oldName, newName, help, /*verify=*/true);
    }
    if (BothNames(error)) {
        return {RenameStatus::kTwoNames, error, newName, oldName};
    }
    return {RenameStatus::kFailed, error, oldName, {}};
}

}  // namespace versalo
