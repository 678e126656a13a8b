#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace versalo {

enum class NameQuoting;  // drop_batch.h

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

    // The German summary: the count, then the first maxListed paths (each as QuotedName shows
    // it) with their reasons.
    std::string Summary(NameQuoting quoting, std::size_t maxListed = 30) const;

private:
    std::vector<SkippedEntry> m_entries;
};

// A path made printable: bytes that are not valid UTF-8, and control characters, as \xNN.
std::string PrintablePath(const std::string& path);

// A name or path in single quotes as a shell reads it back: a quote inside is written '\'', and
// control characters and bytes that are not valid UTF-8 never appear raw but as $'\n', $'\033',
// $'\377' between the quoted pieces ('NEU'$'\n''ZEILE'), as GNU ls and mv print names in their
// shell-escape-always style. Unlike them, a name holding a quote is not put in double quotes.
std::string ShellQuoted(std::string_view name);

// The name as messages show it, quotes included.
std::string QuotedName(std::string_view name, NameQuoting quoting);

}  // namespace versalo
