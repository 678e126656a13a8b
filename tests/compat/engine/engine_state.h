#pragma once

// The earlier engine interface, as far as the fault suite still uses it: the case rule and the
// method as process-wide numbers, read by a two-argument ProcessDrop. Only for that suite; it goes
// as soon as the suite passes BatchOptions itself.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/drop_batch.h"

namespace versalo {

inline std::int16_t CurrentCaseType = 0;
inline std::int16_t RenameDirect = 0;
inline constexpr std::int16_t BatchRunning = 0;  // the engine keeps no such state any more
inline constexpr std::int16_t kCaseUpper = 0;
inline constexpr std::int16_t kCaseLower = 1;
inline constexpr std::int16_t kCaseInitialCapital = 2;

inline std::string ConvertNameAs(std::string_view name, std::int16_t caseType) {
    return ConvertName(name, static_cast<CaseRule>(caseType));
}

inline BatchResult ProcessDrop(const DropData& data, BatchHost& host) {
    BatchOptions options;
    options.caseRule = static_cast<CaseRule>(CurrentCaseType);
    options.method = RenameDirect == 0 ? RenameMethod::kTwoMoves : RenameMethod::kDirect;
    return ProcessDrop(data, host, options);
}

}  // namespace versalo
