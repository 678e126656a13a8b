#include "engine/case_rules.h"

namespace versalo {

std::string NameConverter::operator()(std::string_view name) const {
    switch (m_rule) {
        case CaseRule::kUpper:
            return m_mapper.Upper(name);
        case CaseRule::kLower:
            return m_mapper.Lower(name);
        case CaseRule::kInitialCapital:
            return m_mapper.InitialCapital(name);
    }
    return std::string(name);  // a value outside the enumeration, such as a damaged setting
}

std::string ConvertName(std::string_view name, CaseRule rule) {
    return NameConverter(rule)(name);
}

}  // namespace versalo
