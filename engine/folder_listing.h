#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/sys.h"

namespace versalo {

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

// Reads a folder's whole listing, leaving out "." and "..", and unless withDotNames every other
// name that begins with a dot (the walk neither renames nor enters those). freshDescriptor: dirfd
// was opened for reading (O_RDONLY | O_DIRECTORY) and not read yet, and is read itself; otherwise
// the folder is opened anew for the listing. With an error the listing is empty.
Result<FolderListing> ReadFolder(int dirfd, bool withDotNames = false, bool freshDescriptor = false);

}  // namespace versalo
