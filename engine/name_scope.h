#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/case_rules.h"

namespace versalo {

// Which part of a file's name a batch changes. A file's extension is what follows its last dot,
// where that dot is neither the name's first nor its last character; a folder has none. The
// numbers are the ones the window stores (Namensteil).
enum class NamePart { kWhole = 0, kNameOnly = 1, kExtensionOnly = 2 };

// Which entries a batch renames; folders are walked in every case. The numbers are the stored
// ones (Eintraege).
enum class EntryKinds { kAll = 0, kFilesOnly = 1, kFoldersOnly = 2 };

// What a batch renames besides its case rule, and how. The defaults change nothing: every entry
// at every depth, the whole name.
struct NameScope {
    NamePart part = NamePart::kWhole;
    EntryKinds entries = EntryKinds::kAll;
    int maxDepth = -1;  // levels below a dropped item; -1 all, 0 only the dropped items
    // Shell patterns (*, ?, [...]) matched against an entry's name without regard to case: a
    // matching entry is neither renamed nor entered (a dropped item itself always is).
    std::vector<std::string> exclude;
    // Spellings kept as written, matched as whole words without regard to case (only for the
    // rules that place capitals by position).
    std::vector<std::string> keep;

    bool IsDefault() const {
        return part == NamePart::kWhole && entries == EntryKinds::kAll && maxDepth < 0 && exclude.empty() &&
               keep.empty();
    }
    // Whether a name's new spelling depends on the entry being a folder.
    bool KindMatters(CaseRule rule) const {
        return rule == CaseRule::kEachWord || part != NamePart::kWhole || entries != EntryKinds::kAll;
    }
    // Whether an entry of this kind is renamed at all.
    bool Renames(bool folder) const {
        return entries == EntryKinds::kAll || (entries == EntryKinds::kFoldersOnly) == folder;
    }
};

// Where a file's extension starts (the index of its dot), or npos when it has none.
std::size_t ExtensionDot(std::string_view name);

// The new spelling of an entry's name under rule and scope (part and kept spellings); folder says
// whether the entry is a folder. Under the word rule a file's extension is written in lower case.
std::string ConvertName(std::string_view name, CaseRule rule, const NameScope& scope, bool folder);

// True when rule with scope's name part and kept spellings, in locale (an ICU locale name; empty:
// the present one), makes newName of oldName, for a file or for a folder: what undo asks of a
// recorded rename.
bool RuleMakes(std::string_view oldName, std::string_view newName, CaseRule rule, const NameScope& scope,
               const std::string& locale);

// The name part in a journal ("whole", "name", "extension") and back.
const char* NamePartKey(NamePart part);
std::optional<NamePart> NamePartFromKey(std::string_view key);

// Glob patterns matched without regard to case, also beyond ASCII: both sides are compared in
// Unicode's full case folding, character by character.
class NamePatterns {
public:
    explicit NamePatterns(const std::vector<std::string>& patterns);
    bool Empty() const { return m_patterns.empty(); }
    bool Matches(std::string_view name) const;

private:
    // A pattern with what every name it matches must have, so that most names are refused without
    // the general match: the literal characters it starts and ends with, and its least length.
    struct Pattern {
        std::u32string text;
        std::u32string prefix;
        std::u32string suffix;
        std::size_t least = 0;
        bool literal = false;  // no wildcard at all: the name must equal it
    };
    std::vector<Pattern> m_patterns;
    mutable std::u32string m_folded;
};

// True when the shell pattern matches the whole text (*: any run, ?: one character, [...]: one
// of a set, with ranges and ! or ^ for "none of"; \ takes the next character as it is).
bool GlobMatches(std::u32string_view pattern, std::u32string_view text);

}  // namespace versalo
