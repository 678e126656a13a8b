#include "engine/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
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

// Grows a block of trivially copyable items to hold at least wanted; false when memory ran out.
template <typename T>
bool GrowBlock(T*& block, std::size_t& capacity, std::size_t wanted) {
    if (wanted <= capacity) {
        return true;
    }
    std::size_t next = capacity < 64 ? 64 : capacity * 2;
    while (next < wanted) {
        next *= 2;
    }
    void* grown = std::realloc(block, next * sizeof(T));
    if (grown == nullptr) {
        return false;
    }
    block = static_cast<T*>(grown);
    capacity = next;
    return true;
}

}  // namespace

FolderListing::~FolderListing() {
    std::free(m_names);
    std::free(m_offsets);
    std::free(m_types);
    std::free(m_slots);
}

FolderListing::FolderListing(FolderListing&& other) noexcept {
    *this = std::move(other);
}

FolderListing& FolderListing::operator=(FolderListing&& other) noexcept {
    if (this != &other) {
        std::swap(m_names, other.m_names);
        std::swap(m_namesSize, other.m_namesSize);
        std::swap(m_namesCapacity, other.m_namesCapacity);
        std::swap(m_offsets, other.m_offsets);
        std::swap(m_types, other.m_types);
        std::swap(m_entries, other.m_entries);
        std::swap(m_entriesCapacity, other.m_entriesCapacity);
        std::swap(m_slots, other.m_slots);
        std::swap(m_slotCount, other.m_slotCount);
        std::swap(m_setSize, other.m_setSize);
    }
    return *this;
}

std::string_view FolderListing::Name(std::size_t index) const {
    return m_names + m_offsets[index];
}

std::uint32_t FolderListing::Store(std::string_view name) {
    // Offsets are 32 bits: 4 GB of names in one folder is far beyond any file system's limit.
    if (m_namesSize + name.size() + 1 > 0xFFFFFFFEULL) {
        throw std::bad_alloc();
    }
    std::size_t capacity = m_namesCapacity;
    if (!GrowBlock(m_names, capacity, m_namesSize + name.size() + 1)) {
        throw std::bad_alloc();
    }
    m_namesCapacity = capacity;
    const auto offset = static_cast<std::uint32_t>(m_namesSize);
    std::memcpy(m_names + offset, name.data(), name.size());
    m_names[offset + name.size()] = '\0';
    m_namesSize += name.size() + 1;
    return offset;
}

std::size_t FolderListing::Find(std::string_view name, std::uint64_t hash) const {
    if (m_slotCount == 0) {
        return kNone;
    }
    const std::size_t mask = m_slotCount - 1;
    const std::uint64_t high = hash & 0xFFFFFFFF00000000ULL;
    for (std::size_t i = (hash >> 32) & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_slots[i];
        if (slot == 0) {
            return kNone;
        }
        if ((slot & 0xFFFFFFFF00000000ULL) == high) {
            const char* stored = m_names + OffsetOf(slot);
            if (std::strncmp(stored, name.data(), name.size()) == 0 && stored[name.size()] == '\0') {
                return i;
            }
        }
    }
}

void FolderListing::Place(std::uint64_t slot) {
    const std::size_t mask = m_slotCount - 1;
    // The low bits of the hash are gone from the slot; the table is indexed by the high ones.
    std::size_t i = (slot >> 32) & mask;
    while (m_slots[i] != 0) {
        i = (i + 1) & mask;
    }
    m_slots[i] = slot;
}

void FolderListing::Grow() {
    // At most half full, so that a lookup of an absent name (the usual case: the new name is
    // free) ends after a slot or two.
    if ((m_setSize + 1) * 2 <= m_slotCount) {
        return;
    }
    const std::size_t oldCount = m_slotCount;
    std::uint64_t* old = m_slots;
    std::size_t count = oldCount == 0 ? 64 : oldCount * 2;
    while ((m_setSize + 1) * 2 > count) {
        count *= 2;
    }
    auto* slots = static_cast<std::uint64_t*>(std::calloc(count, sizeof(std::uint64_t)));
    if (slots == nullptr) {
        throw std::bad_alloc();
    }
    m_slots = slots;
    m_slotCount = count;
    for (std::size_t i = 0; i < oldCount; ++i) {
        if (old[i] != 0) {
            Place(old[i]);
        }
    }
    std::free(old);
}

void FolderListing::RemoveSlot(std::size_t slot) {
    // Backward-shift deletion: later members of the same probe run move up, so that no lookup
    // stops early at the gap and no tombstones pile up.
    const std::size_t mask = m_slotCount - 1;
    std::size_t gap = slot;
    std::size_t next = slot;
    while (true) {
        next = (next + 1) & mask;
        const std::uint64_t moved = m_slots[next];
        if (moved == 0) {
            break;
        }
        const std::size_t home = (moved >> 32) & mask;
        // The member stays when its home lies cyclically in (gap, next].
        const bool stays = gap <= next ? (gap < home && home <= next) : (gap < home || home <= next);
        if (!stays) {
            m_slots[gap] = moved;
            gap = next;
        }
    }
    m_slots[gap] = 0;
    --m_setSize;
}

void FolderListing::Prefetch(std::size_t index) const {
    // A table of up to 32,768 slots (256 KB) stays in the cache anyway: no hashing ahead then.
    if (index < m_entries && m_slotCount > 32768) {
        __builtin_prefetch(m_slots + ((HashOf(Name(index)) >> 32) & (m_slotCount - 1)));
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
    Grow();
    Place(SlotOf(hash, Store(name)));
    ++m_setSize;
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
    const std::uint32_t offset = OffsetOf(m_slots[slot]);
    RemoveSlot(slot);
    std::memcpy(m_names + offset, to.data(), to.size());
    Grow();
    Place(SlotOf(toHash, offset));
    ++m_setSize;
}

bool FolderListing::Add(std::string_view name, unsigned char type) {
    try {
        if (m_entries == m_entriesCapacity) {
            std::size_t offsets = m_entriesCapacity;
            std::size_t types = m_entriesCapacity;
            if (!GrowBlock(m_offsets, offsets, m_entries + 1) || !GrowBlock(m_types, types, offsets)) {
                return false;
            }
            m_entriesCapacity = offsets;
        }
        m_offsets[m_entries] = Store(name);
        m_types[m_entries] = type;
        ++m_entries;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FolderListing::IndexNames() {
    try {
        // Sized once for the whole listing: no table is built twice. A listing holds no name
        // twice, so no entry needs looking up first.
        std::free(m_slots);
        m_slots = nullptr;
        m_slotCount = 0;
        m_setSize = m_entries;
        Grow();
        m_setSize = 0;
        for (std::size_t i = 0; i < m_entries; ++i) {
            Place(SlotOf(HashOf(Name(i)), m_offsets[i]));
            ++m_setSize;
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
