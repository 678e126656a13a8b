#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace versalo {

// The one place where the program renames anything. Every rename here is a no-replace rename:
// an entry that exists under the target name is never replaced, whatever the file system.

enum class RenameStatus {
    kRenamed,    // the entry now has the new name
    kUnchanged,  // the new name equals the old one byte for byte; nothing was done
    kCollision,  // another entry has the new name; the entry kept its old name
    kFailed,     // the file system refused; the entry kept its old name (see error)
    kStranded,   // the entry could not be moved back from its temporary name (see currentName)
};

struct FolderRenameResult {
    RenameStatus status = RenameStatus::kFailed;
    int error = 0;            // errno of the failing step, for kFailed and kStranded
    std::string currentName;  // the name the entry has afterwards
    std::string leftover;     // an empty temporary file that could not be removed again, if any
};

// Renames oldName to newName inside the open folder dirfd.
//
// Direct (twoMove false): one no-replace rename. When the file system reports that the target
// exists, the change is made in two moves through a free temporary name in the same folder. On
// a file system that ignores case the "existing" target is the entry itself, and the two moves
// perform the case change; on one that respects case the second move finds the other entry, and
// the entry is moved back to its old name and reported as a collision.
//
// Two moves (twoMove true): a temporary name beginning with "ZX" is created in the folder and
// freed, then the entry moves to it and from there to the new name, both moves no-replace. When
// the second move fails for any reason the entry goes back to its old name.
FolderRenameResult RenameInFolder(int dirfd, const std::string& oldName, const std::string& newName,
                                  bool twoMove);

// renameat2(RENAME_NOREPLACE) inside one folder. On file systems that refuse the flag, the
// target name is first reserved by an exclusive create of an empty placeholder (a folder for a
// folder), and the entry is renamed over it once it is found unchanged; a target that exists gives
// EEXIST, as the flag would. Returns 0 or errno.
int NoReplaceRename(int dirfd, const std::string& from, const std::string& to);

// Opens a path like open(2), also when it is longer than the system's path-length limit, by
// going through it one folder at a time. Returns the descriptor, or -1 with errno set.
int OpenPath(const std::string& path, int flags);

// One entry of a folder's listing, with the type the listing gives (DT_DIR, DT_LNK, ...,
// DT_UNKNOWN where the file system does not tell).
struct ListedEntry {
    std::string name;
    unsigned char type;
};

// Reads a folder's whole listing, leaving out "." and "..", and unless withDotNames every other
// name that begins with a dot (the walk neither renames nor enters those). Returns false with
// errno in error.
bool ReadFolder(int dirfd, std::vector<ListedEntry>& entries, int& error, bool withDotNames = false);

// The names of a folder's listing, dot-names included (a dropped dot-name is renamed too), byte
// for byte as the folder spells them; empty when the folder cannot be read.
std::unordered_set<std::string> FolderNames(int dirfd);

}  // namespace versalo
