#include "engine/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace versalo {

bool FolderListing::Add(std::string_view name, unsigned char type) {
    try {
        // Both arrays are grown together first, so that an entry is added whole or not at all.
        if (m_offsets.size() == m_offsets.capacity()) {
            const std::size_t wanted = std::max<std::size_t>(64, m_offsets.size() * 2);
            m_offsets.reserve(wanted);
            m_types.reserve(wanted);
        }
        // Offsets are 32 bits: 4 GB of names in one folder is far beyond any file system's limit.
        if (m_names.size() + name.size() + 1 > 0xFFFFFFFEULL) {
            return false;
        }
        const auto offset = static_cast<std::uint32_t>(m_names.size());
        m_names.insert(m_names.end(), name.begin(), name.end());
        m_names.push_back('\0');
        m_offsets.push_back(offset);
        m_types.push_back(type);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool FolderListing::IndexNames() {
    try {
        // Made once the listing is complete: the buffer no longer moves.
        m_set.clear();
        m_set.reserve(Count());
        for (std::size_t i = 0; i < Count(); ++i) {
            m_set.insert(Name(i));
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void FolderListing::insert(std::string_view name) {
    if (m_set.contains(name)) {
        return;
    }
    m_set.insert(m_added.emplace_back(name));
}

void FolderListing::Rename(std::string_view from, std::string_view to) {
    const auto found = m_set.find(from);
    if (found == m_set.end() || from.size() != to.size() || m_set.contains(to)) {
        erase(from);
        insert(to);
        return;
    }
    // The bytes are the listing's own (or a string of m_added): not const where they are kept.
    char* stored = const_cast<char*>(found->data());
    m_set.erase(found);
    std::memcpy(stored, to.data(), to.size());
    m_set.insert(std::string_view(stored, to.size()));
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
