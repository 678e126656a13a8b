#pragma once

#include <string>

namespace versalo {

// A short German text for a system error number, for the summary of skipped entries.
std::string ErrorText(int error);

}  // namespace versalo
