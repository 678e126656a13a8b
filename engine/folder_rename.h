#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace versalo {

class FolderListing;

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
};

struct FolderRenameResult {
    RenameStatus status = RenameStatus::kFailed;
    int error = 0;            // errno of the failing step, for kFailed and kStranded
    std::string currentName;  // the name the entry has afterwards
    // An empty file of the program's that could not be removed again, if any. No rename makes one
    // any more (no placeholder, no temporary file made beforehand); kept for the messages.
    std::string leftover;
};

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

// True when name is one of the program's own temporary names (prefix, random part, suffix, exactly).
bool IsTemporaryName(std::string_view name);

// Opens a path like open(2), also when it is longer than the system's path-length limit, by
// going through it one folder at a time. Returns the descriptor, or -1 with errno set.
int OpenPath(const std::string& path, int flags);

// A folder's listing, stored compactly: the names one after the other in one buffer (each ended
// by a NUL), an offset and a type per entry, and an open-addressing hash table of offsets for the
// set of names. No name has an allocation of its own, so that a folder of a million entries costs
// about 40 bytes per entry and a lookup touches one slot and, on a hash match, one name.
//
// The lower-case methods give it the interface of a set of names, kept up to date by the
// renames (contains, insert, erase). The arrays grow with realloc, which moves large blocks by
// remapping pages instead of copying them, so growing never holds two copies.
class FolderListing {
public:
    FolderListing() = default;
    ~FolderListing();
    FolderListing(FolderListing&& other) noexcept;
    FolderListing& operator=(FolderListing&& other) noexcept;
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // The entries in listing order, each with the type the listing gives (DT_DIR, DT_LNK, ...,
    // DT_UNKNOWN where the file system does not tell). Name(i) is the name as it was listed; a
    // rename made through Rename may rewrite it in place, so copy it before renaming the entry.
    std::size_t Count() const { return m_entries; }
    std::string_view Name(std::size_t index) const;
    unsigned char Type(std::size_t index) const { return m_types[index]; }

    // Asks the processor to fetch the table slot where a lookup of entry index's name begins,
    // while a system call runs: a table of a million names does not fit the cache.
    void Prefetch(std::size_t index) const;

    bool contains(std::string_view name) const;
    void insert(std::string_view name);
    void erase(std::string_view name);
    // erase(from) and insert(to) in one: a new name as long as the old one takes its bytes.
    void Rename(std::string_view from, std::string_view to);

    // Adds one listed entry to the listing; IndexNames then makes the set of all of them.
    // False when memory ran out.
    bool Add(std::string_view name, unsigned char type);
    bool IndexNames();

private:
    std::uint32_t Store(std::string_view name);  // appends name and its NUL; returns its offset
    std::size_t Find(std::string_view name, std::uint64_t hash) const;  // its slot, or kNone
    void Place(std::uint64_t slot);
    void RemoveSlot(std::size_t slot);
    void Grow();

    char* m_names = nullptr;
    std::size_t m_namesSize = 0;
    std::size_t m_namesCapacity = 0;
    std::uint32_t* m_offsets = nullptr;
    unsigned char* m_types = nullptr;
    std::size_t m_entries = 0;
    std::size_t m_entriesCapacity = 0;
    // Each slot: the name's hash in the high 32 bits, its offset + 1 in the low ones; 0 is empty.
    std::uint64_t* m_slots = nullptr;
    std::size_t m_slotCount = 0;  // a power of two, or 0
    std::size_t m_setSize = 0;
};

// Reads a folder's whole listing into listing (which must be empty), leaving out "." and "..",
// and unless withDotNames every other name that begins with a dot (the walk neither renames nor
// enters those). freshDescriptor: dirfd was opened for reading (O_RDONLY | O_DIRECTORY) and not
// read yet, and is read itself; otherwise the folder is opened anew for the listing. Returns false
// with errno in error.
bool ReadFolder(int dirfd, FolderListing& listing, int& error, bool withDotNames = false,
                bool freshDescriptor = false);

// The names of a folder's listing, dot-names included (a dropped dot-name is renamed too), byte
// for byte as the folder spells them; empty when the folder cannot be read.
FolderListing FolderNames(int dirfd);

}  // namespace versalo
