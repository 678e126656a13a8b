#include "engine/case_rules.h"

#include "collection/text_case.h"
#include "engine/engine_state.h"

namespace versalo {

std::string ConvertNameAs(std::string_view name, std::int16_t caseType) {
    switch (caseType) {
        case kCaseUpper:
            return ToUpperText(name);
        case kCaseLower:
            return ToLowerText(name);
        case kCaseInitialCapital:
            return InitialCapital(name);
        default:
            return std::string(name);
    }
}

std::string ConvertName(std::string_view name) {
    return ConvertNameAs(name, CurrentCaseType);
}

}  // namespace versalo
