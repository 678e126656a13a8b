#include "engine/case_rules.h"

#include <unicode/locid.h>

#include "engine/name_scope.h"
#include "engine/text_case.h"

namespace versalo {

std::string ConvertName(std::string_view name, CaseRule rule) {
    switch (rule) {
        case CaseRule::kUpper:
            return ToUpperText(name);
        case CaseRule::kLower:
            return ToLowerText(name);
        case CaseRule::kInitialCapital:
            return InitialCapital(name);
        case CaseRule::kEachWord:
            return ConvertName(name, rule, NameScope{}, /*folder=*/false);
    }
    return std::string(name);  // a value outside the enumeration, such as a damaged setting
}

std::string ConvertName(std::string_view name, CaseRule rule, const std::string& locale) {
    const icu::Locale present = icu::Locale::getDefault();
    if (locale.empty() || locale == present.getName()) {
        return ConvertName(name, rule);
    }
    // The mapping reads ICU's default locale; it is lent to the run's locale for this one name.
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(locale.c_str()), status);
    std::string converted = ConvertName(name, rule);
    status = U_ZERO_ERROR;
    icu::Locale::setDefault(present, status);
    return converted;
}

std::string CaseLocale() {
    return icu::Locale::getDefault().getName();
}

const char* CaseRuleKey(CaseRule rule) {
    return rule == CaseRule::kUpper            ? "upper"
           : rule == CaseRule::kLower          ? "lower"
           : rule == CaseRule::kInitialCapital ? "initial"
                                               : "words";
}

std::optional<CaseRule> CaseRuleFromKey(std::string_view key) {
    for (const CaseRule rule :
         {CaseRule::kUpper, CaseRule::kLower, CaseRule::kInitialCapital, CaseRule::kEachWord}) {
        if (key == CaseRuleKey(rule)) {
            return rule;
        }
    }
    return std::nullopt;
}

const char* CaseRuleText(CaseRule rule) {
    return rule == CaseRule::kUpper            ? "Großbuchstaben"
           : rule == CaseRule::kLower          ? "Kleinbuchstaben"
           : rule == CaseRule::kInitialCapital ? "erster Buchstabe groß"
                                               : "jedes Wort groß";
}

}  // namespace versalo
