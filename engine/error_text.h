#pragma once

#include <string>
#include <system_error>

namespace versalo {

// A short German text for a system error, for the summary of skipped entries.
std::string ErrorText(std::error_code error);

}  // namespace versalo
