#include "engine/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace versalo {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::uint64_t Mix(std::uint64_t value) {
    value ^= value >> 32;
    value *= 0xD6E8FEB86659FD93ULL;
    value ^= value >> 32;
    return value;
}

std::uint64_t HashOf(std::string_view name) {
    // Eight bytes at a time: a name costs two or three multiplications instead of one per byte.
    // The table is indexed by the high 32 bits, so the final mix spreads every byte into them.
    std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ name.size();
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + i, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDULL;
        hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, name.data() + i, name.size() - i);
    return Mix(hash ^ tail);
}

std::uint64_t SlotOf(std::uint64_t hash, std::uint32_t offset) {
    return (hash & 0xFFFFFFFF00000000ULL) | (static_cast<std::uint64_t>(offset) + 1);
}

std::uint32_t OffsetOf(std::uint64_t slot) {
    return static_cast<std::uint32_t>((slot & 0xFFFFFFFFULL) - 1);
}

}  // namespace

template <typename T>
bool FolderListing::Array<T>::Grow(std::size_t wanted) {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= alignof(Header));
    const std::size_t capacity = m_block ? m_block->capacity : 0;
    std::size_t next = capacity < 64 ? 64 : capacity * 2;
    while (next < wanted) {
        next *= 2;
    }
    const std::size_t size = this->size();
    void* grown = std::realloc(m_block.get(), sizeof(Header) + next * sizeof(T));
    if (grown == nullptr) {
        return false;  // the old block is still there
    }
    static_cast<void>(m_block.release());  // realloc has freed or kept it; grown is the block now
    m_block.reset(static_cast<Header*>(grown));
    m_block->size = size;
    m_block->capacity = next;
    return true;
}

std::uint32_t FolderListing::Store(std::string_view name) {
    // Offsets are 32 bits: 4 GB of names in one folder is far beyond any file system's limit.
    const std::size_t offset = m_names.size();
    char* stored = offset + name.size() + 1 > 0xFFFFFFFEULL ? nullptr : m_names.Extend(name.size() + 1);
    if (stored == nullptr) {
        throw std::bad_alloc();
    }
    std::memcpy(stored, name.data(), name.size());
    stored[name.size()] = '\0';
    return static_cast<std::uint32_t>(offset);
}

std::size_t FolderListing::Find(std::string_view name, std::uint64_t hash) const {
    if (!m_table) {
        return kNone;
    }
    const std::uint64_t* slots = m_table->slots.get();
    const std::size_t mask = m_table->count - 1;
    const std::uint64_t high = hash & 0xFFFFFFFF00000000ULL;
    for (std::size_t i = (hash >> 32) & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = slots[i];
        if (slot == 0) {
            return kNone;
        }
        if ((slot & 0xFFFFFFFF00000000ULL) == high) {
            const char* stored = m_names.data() + OffsetOf(slot);
            if (std::strncmp(stored, name.data(), name.size()) == 0 && stored[name.size()] == '\0') {
                return i;
            }
        }
    }
}

void FolderListing::Place(std::uint64_t slot) {
    std::uint64_t* slots = m_table->slots.get();
    const std::size_t mask = m_table->count - 1;
    // The low bits of the hash are gone from the slot; the table is indexed by the high ones.
    std::size_t i = (slot >> 32) & mask;
    while (slots[i] != 0) {
        i = (i + 1) & mask;
    }
    slots[i] = slot;
    ++m_table->members;
}

void FolderListing::Reserve(std::size_t members) {
    // At most half full, so that a lookup of an absent name (the usual case: the new name is
    // free) ends after a slot or two. The new table is made whole before it replaces the old
    // one: when memory runs out, the old one stays as it was.
    const std::size_t oldCount = m_table ? m_table->count : 0;
    if (members * 2 <= oldCount) {
        return;
    }
    std::size_t count = oldCount == 0 ? 64 : oldCount * 2;
    while (members * 2 > count) {
        count *= 2;
    }
    auto table = std::make_unique<Table>();
    table->slots.reset(static_cast<std::uint64_t*>(std::calloc(count, sizeof(std::uint64_t))));
    if (!table->slots) {
        throw std::bad_alloc();
    }
    table->count = count;
    std::swap(m_table, table);
    for (std::size_t i = 0; table && i < table->count; ++i) {
        if (table->slots[i] != 0) {
            Place(table->slots[i]);
        }
    }
}

void FolderListing::RemoveSlot(std::size_t slot) {
    // Backward-shift deletion: later members of the same probe run move up, so that no lookup
    // stops early at the gap and no tombstones pile up.
    std::uint64_t* slots = m_table->slots.get();
    const std::size_t mask = m_table->count - 1;
    std::size_t gap = slot;
    std::size_t next = slot;
    while (true) {
        next = (next + 1) & mask;
        const std::uint64_t moved = slots[next];
        if (moved == 0) {
            break;
        }
        const std::size_t home = (moved >> 32) & mask;
        // The member stays when its home lies cyclically in (gap, next].
        const bool stays = gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
        if (!stays) {
            slots[gap] = moved;
            gap = next;
        }
    }
    slots[gap] = 0;
    --m_table->members;
}

void FolderListing::Prefetch(std::size_t index) const {
    // A table of up to 32,768 slots (256 KB) stays in the cache anyway: no hashing ahead then.
    if (index < Count() && m_table && m_table->count > 32768) {
        const std::size_t mask = m_table->count - 1;
        __builtin_prefetch(m_table->slots.get() + ((HashOf(Name(index)) >> 32) & mask));
    }
}

bool FolderListing::contains(std::string_view name) const {
    return Find(name, HashOf(name)) != kNone;
}

void FolderListing::insert(std::string_view name) {
    const std::uint64_t hash = HashOf(name);
    if (Find(name, hash) != kNone) {
        return;
    }
    Reserve((m_table ? m_table->members : 0) + 1);
    Place(SlotOf(hash, Store(name)));
}

void FolderListing::erase(std::string_view name) {
    const std::size_t slot = Find(name, HashOf(name));
    if (slot != kNone) {
        RemoveSlot(slot);
    }
}

void FolderListing::Rename(std::string_view from, std::string_view to) {
    const std::size_t slot = Find(from, HashOf(from));
    const std::uint64_t toHash = HashOf(to);
    if (slot == kNone || from.size() != to.size() || Find(to, toHash) != kNone) {
        erase(from);
        insert(to);
        return;
    }
    const std::uint32_t offset = OffsetOf(m_table->slots[slot]);
    RemoveSlot(slot);
    std::memcpy(m_names.data() + offset, to.data(), to.size());
    Place(SlotOf(toHash, offset));
}

bool FolderListing::Add(std::string_view name, unsigned char type) {
    try {
        // Room in both arrays first, so that an entry is added whole or not at all.
        if (!m_offsets.Reserve(Count() + 1) || !m_types.Reserve(Count() + 1)) {
            return false;
        }
        const std::uint32_t offset = Store(name);
        *m_offsets.Extend(1) = offset;
        *m_types.Extend(1) = type;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FolderListing::IndexNames() {
    try {
        // Sized once for the whole listing: no table is built twice. A listing holds no name
        // twice, so no entry needs looking up first.
        m_table.reset();
        Reserve(Count());
        for (std::size_t i = 0; i < Count(); ++i) {
            Place(SlotOf(HashOf(Name(i)), m_offsets[i]));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

Result<FolderListing> ReadFolder(int dirfd, bool withDotNames, bool freshDescriptor) {
    // A descriptor of any other kind (O_PATH, or one read before) gets a reading one of its own.
    Result<Fd> own;
    if (!freshDescriptor) {
        own = OpenAt(dirfd, ".", O_RDONLY | O_DIRECTORY);
        if (!own) {
            return {{}, own.error};
        }
    }
    Result<FolderListing> listing;
    bool full = false;
    listing.error = ListEntries(freshDescriptor ? dirfd : own.value.Get(), [&](const dirent64& entry) {
        const char* name = entry.d_name;
        const bool dotOrDotDot = name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
        if ((name[0] != '.' || (withDotNames && !dotOrDotDot)) && !listing.value.Add(name, entry.d_type)) {
            full = true;
        }
        return !full;
    });
    if (!listing.error && (full || !listing.value.IndexNames())) {
        listing.error = std::make_error_code(std::errc::not_enough_memory);
    }
    if (listing.error) {
        listing.value = FolderListing();
    }
    return listing;
}

}  // namespace versalo
