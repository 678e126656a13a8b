#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace versalo {

enum class NameQuoting;  // drop_batch.h

// What became of an entry the batch could not deal with completely; the summary lists each kind
// under a heading of its own, in this order.
enum class SkipKind {
    kStranded,     // it could not leave a temporary name ("ZX...") on its way: it has neither name
    kTwoNames,     // a file left under two names, its old (or a temporary) and its new one
    kUnconfirmed,  // the file system reported the rename, but the new spelling could not be seen
    kKeptName,     // it kept its name
    kNotEntered,   // a folder that was not walked; it may well have its new name
};

// An entry the batch could not deal with completely, with the reason in German.
struct SkippedEntry {
    std::string path;
    std::string reason;
    SkipKind kind = SkipKind::kKeptName;
};

// Every entry a batch could not give its new name. The batch goes on after each of them and
// reports them all at once at its end.
class SkipReport {
public:
    // An entry that kept its name, or what kind says.
    void Add(std::string path, std::string reason, SkipKind kind = SkipKind::kKeptName);
    // A folder whose contents kept their names because it could not be entered; the folder itself
    // may have got its new name.
    void AddNotEntered(std::string path, std::string reason);
    const std::vector<SkippedEntry>& Entries() const { return m_entries; }
    std::size_t Count() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }

    // The German summary: each kind under its own heading with its count, in the order of
    // SkipKind, with the first maxListed paths of all (each as QuotedName shows it) and their
    // reasons.
    std::string Summary(NameQuoting quoting, std::size_t maxListed = 30) const;

private:
    std::vector<SkippedEntry> m_entries;
};

// The count and the word that goes with it: "1 Eintrag hat", "3 Einträge haben".
std::string Counted(std::size_t count, std::string_view one, std::string_view many);

// A path made printable: bytes that are not valid UTF-8 and the bytes of control characters (C0,
// DEL and the C1 controls U+0080 to U+009F, which a terminal acts on) as \xNN.
std::string PrintablePath(const std::string& path);

// A name or path in single quotes as a shell reads it back: a quote inside is written '\'', and
// control characters and bytes that are not valid UTF-8 never appear raw but as $'\n', $'\033',
// $'\377' between the quoted pieces ('NEU'$'\n''ZEILE'), as GNU ls and mv print names in their
// shell-escape-always style. Unlike them, a name holding a quote is not put in double quotes.
std::string ShellQuoted(std::string_view name);

// The name as messages show it, quotes included.
std::string QuotedName(std::string_view name, NameQuoting quoting);

}  // namespace versalo
