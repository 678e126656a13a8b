#include "engine/case_rules.h"

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
    }
    return std::string(name);  // a value outside the enumeration, such as a damaged setting
}

}  // namespace versalo
