#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace versalo {

// The new spelling of one name (a single path component) under the case type in force
// (CurrentCaseType). The whole name is mapped, extension included. A name that is not valid
// UTF-8, and any name under an unknown case type, comes back unchanged.
std::string ConvertName(std::string_view name);

// The same under an explicit case type.
std::string ConvertNameAs(std::string_view name, std::int16_t caseType);

}  // namespace versalo
