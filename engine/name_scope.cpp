#include "engine/name_scope.h"

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
    for (const std::string& pattern : patterns) {
        m_patterns.push_back(FoldedCodePoints(pattern));
    }
}

bool NamePatterns::Matches(std::string_view name) const {
    if (m_patterns.empty()) {
        return false;
    }
    const std::u32string folded = FoldedCodePoints(name);
    for (const std::u32string& pattern : m_patterns) {
        if (GlobMatches(pattern, folded)) {
            return true;
        }
    }
    return false;
}

}  // namespace versalo
