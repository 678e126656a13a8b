#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace versalo {

// An entry that kept its name, with the reason in German.
struct SkippedEntry {
    std::string path;
    std::string reason;
};

// Every entry a batch could not give its new name. The batch goes on after each of them and
// reports them all at once at its end.
class SkipReport {
public:
    void Add(std::string path, std::string reason);
    const std::vector<SkippedEntry>& Entries() const { return m_entries; }
    std::size_t Count() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }

    // The German summary: the count, then the first maxListed paths with their reasons.
    // Paths that are not valid UTF-8 are shown with their odd bytes as \xNN.
    std::string Summary(std::size_t maxListed = 30) const;

private:
    std::vector<SkippedEntry> m_entries;
};

// A path made printable: bytes that are not valid UTF-8, and control characters, as \xNN.
std::string PrintablePath(const std::string& path);

}  // namespace versalo
