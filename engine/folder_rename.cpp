#include "engine/folder_rename.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

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

bool ReadFolder(int dirfd, FolderListing& listing, int& error, bool withDotNames, bool freshDescriptor) {
    // A descriptor of any other kind (O_PATH, or one read before) gets a reading one of its own.
    const int fd = freshDescriptor ? dirfd : ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    alignas(dirent64) char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            if (!freshDescriptor) {
                ::close(fd);
            }
            if (got == 0 && !listing.IndexNames()) {
                error = ENOMEM;
                return false;
            }
            return got == 0;
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            const bool dotOrDotDot =
                name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
            if ((name[0] != '.' || (withDotNames && !dotOrDotDot)) && !listing.Add(name, entry->d_type)) {
                error = ENOMEM;
                if (!freshDescriptor) {
                    ::close(fd);
                }
                return false;
            }
        }
    }
}

FolderListing FolderNames(int dirfd) {
    FolderListing listing;
    int error = 0;
    if (!ReadFolder(dirfd, listing, error, /*withDotNames=*/true)) {
        return {};
    }
    return listing;
}

}  // namespace versalo
