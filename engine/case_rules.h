#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace versalo {

// The spelling a batch gives names. The numbers are the ones the window's settings store
// (CaseType), so that a stored value converts directly.
// kEachWord is the rule "each word" (see word_case.h); the window stores it as Alternativ with
// Woerter=1.
enum class CaseRule { kUpper = 0, kLower = 1, kInitialCapital = 2, kEachWord = 3 };

// The new spelling of one name (a single path component) under rule. The whole name is mapped,
// extension included, except under kEachWord, which writes a file's extension in lower case (see
// name_scope.h for folders and for the other choices). A name that is not valid UTF-8 comes back
// unchanged.
std::string ConvertName(std::string_view name, CaseRule rule);
// The same in the given locale (an ICU locale name such as "tr_TR"), as a run in that locale made
// it; an empty locale is the present one.
std::string ConvertName(std::string_view name, CaseRule rule, const std::string& locale);

// The locale the case mapping uses now (ICU's default, from the environment).
std::string CaseLocale();

// The rule's name in a journal ("upper", "lower", "initial", "words") and back.
const char* CaseRuleKey(CaseRule rule);
std::optional<CaseRule> CaseRuleFromKey(std::string_view key);
// The rule as the user knows it, in German.
const char* CaseRuleText(CaseRule rule);

}  // namespace versalo
