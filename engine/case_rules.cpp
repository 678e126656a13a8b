#include "engine/case_rules.h"

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

}  // namespace versalo
