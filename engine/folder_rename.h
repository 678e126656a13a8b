#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace versalo {

// The one place where the program renames anything. Every rename here is a no-replace rename:
// an entry that exists under the target name is never replaced, whatever the file system.

enum class RenameStatus {
    kRenamed,           // the entry now has the new name
    kUnchanged,         // the new name equals the old one byte for byte; nothing was done
    kCollision,         // another entry has the new name; the entry kept its old name
    kFailed,            // the file system refused; the entry kept its old name (see error)
    kStranded,          // the entry could not be moved back from its temporary name (see currentName)
    kSpellingKept,      // the file system said yes but kept the old spelling (it ignores case changes)
    kTemporaryRefused,  // the listener refused the temporary name; nothing was done
    kOpenElsewhere,     // exfat-fuse refused the move because the file is open under its new spelling
    kTwoNames,          // a move by link and unlink could not drop the name moved from (see secondName)
    kUnconfirmed,       // the file system said yes, but the folder could not be read to see the new spelling
};

struct FolderRenameResult {
    RenameStatus status = RenameStatus::kFailed;
    std::error_code error;    // of the failing step
    std::string currentName;  // the name the entry has afterwards
    std::string secondName;   // kTwoNames: the other name the file has as well
};

// The error of a move by link and unlink (FallbackMove) whose name moved from could not be
// removed, nor the new one taken back: the file has both names. Its value is the errno of the
// failed removal.
const std::error_category& BothNamesCategory();

// What the no-replace rename learns about file systems while a batch runs, so that not every
// entry finds it out again: which refuse RENAME_NOREPLACE, and which of those have no hard links.
// Kept by device number; the device of the folder at hand is looked up once per folder, and only
// once a file system without the flag has been met.
class FileSystemNotes {
public:
    // The walk enters another folder: its device is looked up again when needed.
    void EnterFolder() { m_folderKnown = false; }
    bool FlagRefused(int dirfd) { return !m_refused.empty() && Find(dirfd) != nullptr; }
    bool NoHardLinks(int dirfd) {
        const Note* note = m_refused.empty() ? nullptr : Find(dirfd);
        return note != nullptr && note->noLinks;
    }
    void NoteFlagRefused(int dirfd);
    void NoteNoHardLinks(int dirfd);

private:
    struct Note {
        dev_t device;
        bool noLinks;
    };
    Note* Find(int dirfd);
    dev_t FolderDevice(int dirfd);
    std::vector<Note> m_refused;
    bool m_folderKnown = false;
    dev_t m_folder = 0;
};

// What a rename needs of the batch beyond the names.
struct RenameHelp {
    // Asked right before a temporary name is created or used; false: the name must not be used,
    // and the entry keeps its old one (kTemporaryRefused).
    std::function<bool(const std::string&)> temporary;
    FileSystemNotes* notes = nullptr;  // none: every rename finds out for itself
};

// Renames oldName to newName inside the open folder dirfd.
//
// Direct (twoMove false): one no-replace rename. When the file system reports that the target
// exists, the change is made in two moves through a free temporary name in the same folder. On
// a file system that ignores case the "existing" target is the entry itself, and the two moves
// perform the case change; on one that respects case the second move finds the other entry, and
// the entry is moved back to its old name and reported as a collision.
//
// Two moves (twoMove true): the entry moves to a random free name beginning with "ZX" and from there
// to the new name, both moves no-replace; the name is told to help.temporary before it is used. When
// the second move fails for any reason the entry goes back to its old name.
//
// Where the file system refuses RENAME_NOREPLACE (FUSE: bindfs, exfat-fuse, ntfs-3g, sshfs) a file
// is moved by link() and unlink(), which refuses an existing target as the flag does; a folder,
// and a file where there are no hard links (exfat-fuse), by a plain rename right after a look that
// the target is free. No placeholder is ever made. After a case change on a file system that
// ignores case, the folder's listing is read to see that the new spelling was really stored.
FolderRenameResult RenameInFolder(int dirfd, const std::string& oldName, const std::string& newName,
                                  bool twoMove, const RenameHelp& help = {});

}  // namespace versalo
