#include "engine/name_scope.h"

#include <algorithm>

#include <unicode/locid.h>

#include "engine/text_case.h"
#include "engine/word_case.h"

namespace versalo {

namespace {

// The rule on a piece of a name, with the kept spellings put back where the rule places capitals
// by position.
std::string RuleOn(std::string_view text, CaseRule rule, const NameScope& scope) {
    if (rule != CaseRule::kEachWord && rule != CaseRule::kInitialCapital) {
        return ConvertName(text, rule);
    }
    std::string converted = rule == CaseRule::kEachWord ? EachWordCapital(text) : InitialCapital(text);
    return scope.keep.empty() ? converted : WithKeptSpellings(converted, scope.keep);
}

// One character of a pattern at p against c; next is where the pattern goes on.
bool MatchesOne(std::u32string_view pattern, std::size_t p, char32_t c, std::size_t& next) {
    if (pattern[p] == U'?') {
        next = p + 1;
        return true;
    }
    if (pattern[p] == U'\\' && p + 1 < pattern.size()) {
        next = p + 2;
        return pattern[p + 1] == c;
    }
    if (pattern[p] == U'[') {
        std::size_t i = p + 1;
        const bool negated = i < pattern.size() && (pattern[i] == U'!' || pattern[i] == U'^');
        i += negated ? 1 : 0;
        bool matched = false;
        // A ']' right at the start of a set is one of its characters.
        for (bool first = true; i < pattern.size() && (first || pattern[i] != U']'); first = false, ++i) {
            if (pattern[i] == U'\\' && i + 1 < pattern.size()) {
                ++i;
            }
            const char32_t low = pattern[i];
            char32_t high = low;
            if (i + 2 < pattern.size() && pattern[i + 1] == U'-' && pattern[i + 2] != U']') {
                i += 2;
                high = pattern[i];
            }
            matched = matched || (c >= low && c <= high);
        }
        if (i < pattern.size()) {
            next = i + 1;
            return matched != negated;
        }
        // No closing bracket: the '[' is an ordinary character, as in the shell.
    }
    next = p + 1;
    return pattern[p] == c;
}

}  // namespace

std::size_t ExtensionDot(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 || dot + 1 == name.size() ? std::string_view::npos : dot;
}

std::string ConvertName(std::string_view name, CaseRule rule, const NameScope& scope, bool folder) {
    if (!IsValidUtf8(name)) {
        return std::string(name);
    }
    const std::size_t dot = folder ? std::string_view::npos : ExtensionDot(name);
    if (rule == CaseRule::kEachWord && scope.part == NamePart::kWhole && scope.keep.empty()) {
        // The usual case, a whole ASCII name, in one copy.
        std::string converted(name);
        if (EachWordAsciiInPlace(converted, dot)) {
            return converted;
        }
    }
    if (dot == std::string_view::npos) {
        return scope.part == NamePart::kExtensionOnly ? std::string(name) : RuleOn(name, rule, scope);
    }
    const std::string_view stem = name.substr(0, dot);
    const std::string_view extension = name.substr(dot + 1);
    const bool words = rule == CaseRule::kEachWord;
    if (scope.part == NamePart::kWhole && !words) {
        return RuleOn(name, rule, scope);
    }
    // Under the word rule an extension is written in lower case; under the others it gets the rule.
    const std::string newExtension = words ? ToLowerText(extension) : ConvertName(extension, rule);
    switch (scope.part) {
        case NamePart::kNameOnly:
            return RuleOn(stem, rule, scope) + std::string(name.substr(dot));
        case NamePart::kExtensionOnly:
            return std::string(name.substr(0, dot + 1)) + newExtension;
        case NamePart::kWhole:
            break;
    }
    return RuleOn(stem, rule, scope) + "." + newExtension;
}

bool RuleMakes(std::string_view oldName, std::string_view newName, CaseRule rule, const NameScope& scope,
               const std::string& locale) {
    const icu::Locale present = icu::Locale::getDefault();
    const bool lend = !locale.empty() && locale != present.getName();
    UErrorCode status = U_ZERO_ERROR;
    if (lend) {
        // The mapping reads ICU's default locale; it is lent to the run's locale for this check.
        icu::Locale::setDefault(icu::Locale(locale.c_str()), status);
    }
    const bool made = ConvertName(oldName, rule, scope, false) == newName ||
                      ConvertName(oldName, rule, scope, true) == newName;
    if (lend) {
        status = U_ZERO_ERROR;
        icu::Locale::setDefault(present, status);
    }
    return made;
}

const char* NamePartKey(NamePart part) {
    return part == NamePart::kNameOnly ? "name" : part == NamePart::kExtensionOnly ? "extension" : "whole";
}

std::optional<NamePart> NamePartFromKey(std::string_view key) {
    for (const NamePart part : {NamePart::kWhole, NamePart::kNameOnly, NamePart::kExtensionOnly}) {
        if (key == NamePartKey(part)) {
            return part;
        }
    }
    return std::nullopt;
}

bool GlobMatches(std::u32string_view pattern, std::u32string_view text) {
    // The usual walk with one way back: on a mismatch the last '*' takes one character more.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::u32string_view::npos;
    std::size_t starT = 0;
    while (t < text.size()) {
        std::size_t next = 0;
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size() && MatchesOne(pattern, p, text[t], next)) {
            p = next;
            ++t;
            continue;
        }
        if (starP == std::u32string_view::npos) {
            return false;
        }
        p = starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

NamePatterns::NamePatterns(const std::vector<std::string>& patterns) {
    const auto special = [](char32_t c) { return c == U'*' || c == U'?' || c == U'[' || c == U'\\'; };
    for (const std::string& text : patterns) {
        Pattern pattern;
        pattern.text = FoldedCodePoints(text);
        const std::u32string& p = pattern.text;
        std::size_t start = 0;
        while (start < p.size() && !special(p[start])) {
            ++start;
        }
        pattern.literal = start == p.size();
        pattern.prefix = p.substr(0, start);
        std::size_t end = p.size();
        while (end > start && !special(p[end - 1])) {
            --end;
        }
        // The literal tail after the last '*' or '?', where no set or escape could take it in.
        const bool plain = p.find_first_of(U"[\\") == std::u32string::npos;
        if (plain && end > 0 && end < p.size()) {
            pattern.suffix = p.substr(end);
        }
        // Every character but '*' stands for one (without sets or escapes, counted plainly).
        pattern.least = plain ? p.size() - static_cast<std::size_t>(std::count(p.begin(), p.end(), U'*')) : 0;
        m_patterns.push_back(std::move(pattern));
    }
}

bool NamePatterns::Matches(std::string_view name) const {
    if (m_patterns.empty()) {
        return false;
    }
    // One buffer for every name of a walk: the folded name is needed only for the comparison.
    std::u32string& folded = m_folded;
    FoldedCodePoints(name, folded);
    const std::u32string_view name32(folded);
    for (const Pattern& pattern : m_patterns) {
        if (pattern.literal ? name32 == pattern.text
                            : name32.size() >= pattern.least && name32.starts_with(pattern.prefix) &&
                                  name32.ends_with(pattern.suffix) && GlobMatches(pattern.text, name32)) {
            return true;
        }
    }
    return false;
}

}  // namespace versalo
