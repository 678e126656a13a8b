#pragma once

#include <cstdint>

namespace versalo {

// The engine's process-wide state words, all 0 when the program loads. 16-bit like the values
// stored in the settings, so that what is stored and what is in force are the same numbers.

// Case type in force: 0 upper case, 1 lower case, 2 first letter capital, other values leave
// names as they are. Written by the case options of the window (or the command line).
inline std::int16_t CurrentCaseType = 0;

// 0: rename in two moves through a temporary name; any other value: rename directly.
inline std::int16_t RenameDirect = 0;

// -1 while a drop batch runs, 0 otherwise. Read by the window's close handler.
inline std::int16_t BatchRunning = 0;

inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

enum CaseTypeCode : std::int16_t {
    kCaseUpper = 0,
    kCaseLower = 1,
    kCaseInitialCapital = 2,
};

}  // namespace versalo
