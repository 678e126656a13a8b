#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "engine/sys.h"

namespace versalo {

// A folder's listing, stored compactly: the names one after the other in one buffer (each ended
// by a NUL), an offset and a type per entry, and an open-addressing hash table of offsets for the
// set of names. No name has an allocation of its own: an entry costs its name and NUL, a 4-byte
// offset, a type byte and 16 to 32 bytes of table, about 40 bytes in the benchmark's folder of a
// million entries with names of 18 bytes (bench/README.md). A lookup touches one slot and, on a
// hash match, one name.
//
// The lower-case methods give it the interface of a set of names, kept up to date by the
// renames (contains, insert, erase). It owns its storage through its members: a listing can be
// moved (one moved from is empty) but not copied, so that no rename updates a copy by mistake.
class FolderListing {
public:
    // The entries in listing order, each with the type the listing gives (DT_DIR, DT_LNK, ...,
    // DT_UNKNOWN where the file system does not tell). Name(i) is the name as it was listed; a
    // rename made through Rename may rewrite it in place, or store the new name after the others
    // and so move the buffer: copy it before renaming the entry.
    std::size_t Count() const { return m_offsets.size(); }
    std::string_view Name(std::size_t index) const { return m_names.data() + m_offsets[index]; }
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
    struct Free {
        void operator()(void* block) const { std::free(block); }
    };

    // An array of trivially copyable items grown by realloc, which moves a large block by
    // remapping its pages: growing never holds two copies, where a std::vector copies and leaves
    // the old block to the heap (3 MB more for a million names, 6 MB for 1.7 million;
    // bench/README.md). Size and capacity lie in the block in front of the items, so that an
    // array moved from is empty. data() and operator[] only while it is not empty.
    template <typename T>
    class Array {
    public:
        std::size_t size() const { return m_block ? m_block->size : 0; }
        T* data() { return reinterpret_cast<T*>(m_block.get() + 1); }
        const T* data() const { return reinterpret_cast<const T*>(m_block.get() + 1); }
        const T& operator[](std::size_t index) const { return data()[index]; }
        // False when memory ran out.
        bool Reserve(std::size_t wanted) {
            return wanted <= (m_block ? m_block->capacity : 0) || Grow(wanted);
        }
        // Makes room for count more items and returns the first of them; null when memory ran out.
        T* Extend(std::size_t count) {
            const std::size_t old = size();
            if (!Reserve(old + count)) {
                return nullptr;
            }
            m_block->size = old + count;
            return data() + old;
        }

    private:
        bool Grow(std::size_t wanted);
        struct Header {
            std::size_t size;
            std::size_t capacity;
        };
        std::unique_ptr<Header, Free> m_block;
    };

    std::uint32_t Store(std::string_view name);  // appends name and its NUL; returns its offset
    std::size_t Find(std::string_view name, std::uint64_t hash) const;  // its slot, or kNone
    void Place(std::uint64_t slot);
    void RemoveSlot(std::size_t slot);
    void Reserve(std::size_t members);  // makes the table hold members at most half full

    // The set of names, made by IndexNames or the first insert.
    struct Table {
        // Each slot: the name's hash in the high 32 bits, its offset + 1 in the low ones; 0 is
        // empty. From calloc, whose fresh pages of a large table are zero without being written.
        std::unique_ptr<std::uint64_t[], Free> slots;
        std::size_t count = 0;  // of slots, a power of two
        std::size_t members = 0;
    };

    Array<char> m_names;
    Array<std::uint32_t> m_offsets;
    Array<unsigned char> m_types;
    std::unique_ptr<Table> m_table;
};

// Reads a folder's whole listing, leaving out "." and "..", and unless withDotNames every other
// name that begins with a dot (the walk neither renames nor enters those). freshDescriptor: dirfd
// was opened for reading (O_RDONLY | O_DIRECTORY) and not read yet, and is read itself; otherwise
// the folder is opened anew for the listing. With an error the listing is empty.
Result<FolderListing> ReadFolder(int dirfd, bool withDotNames = false, bool freshDescriptor = false);

}  // namespace versalo
