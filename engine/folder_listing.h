#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace versalo {

// A folder's listing: the names one after the other in one buffer (each ended by a NUL), an
// offset and a type per entry, and a std::unordered_set of views of the names for the set of
// names. Names inserted later are kept in a deque of strings of their own, since the set's views
// need storage that never moves.
//
// The lower-case methods give it the interface of a set of names, kept up to date by the
// renames (contains, insert, erase).
class FolderListing {
public:
    FolderListing() = default;
    FolderListing(FolderListing&&) noexcept = default;
    FolderListing& operator=(FolderListing&&) noexcept = default;
    FolderListing(const FolderListing&) = delete;  // the set's views would point into the original
    FolderListing& operator=(const FolderListing&) = delete;

    // The entries in listing order, each with the type the listing gives (DT_DIR, DT_LNK, ...,
    // DT_UNKNOWN where the file system does not tell). Name(i) is the name as it was listed; a
    // rename made through Rename may rewrite it in place: copy it before renaming the entry.
    std::size_t Count() const { return m_offsets.size(); }
    std::string_view Name(std::size_t index) const { return m_names.data() + m_offsets[index]; }
    unsigned char Type(std::size_t index) const { return m_types[index]; }

    // Nothing to fetch ahead here: the set's buckets cannot be reached without the lookup.
    void Prefetch(std::size_t) const {}

    bool contains(std::string_view name) const { return m_set.contains(name); }
    void insert(std::string_view name);
    void erase(std::string_view name) { m_set.erase(name); }
    // erase(from) and insert(to) in one: a new name as long as the old one takes its bytes.
    void Rename(std::string_view from, std::string_view to);

    // Adds one listed entry to the listing; IndexNames then makes the set of all of them.
    // False when memory ran out.
    bool Add(std::string_view name, unsigned char type);
    bool IndexNames();

private:
    std::vector<char> m_names;
    std::vector<std::uint32_t> m_offsets;
    std::vector<unsigned char> m_types;
    std::unordered_set<std::string_view> m_set;
    std::deque<std::string> m_added;  // names inserted after the listing was read
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
