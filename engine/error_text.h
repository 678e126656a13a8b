#pragma once

#include <string>

namespace versalo {

enum class NameQuoting;  // drop_batch.h

// A short German text for a system error number, for the summary of skipped entries.
std::string ErrorText(int error);

// The reason given for an entry that had to stay under its temporary name because another
// program took both its old and its new name while it was being renamed.
std::string StrandedReason(const std::string& temporaryName, NameQuoting quoting);

}  // namespace versalo
