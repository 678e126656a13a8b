#pragma once

// What every fuzzer of the project shares: how a violated property ends the run, and the locales
// whose case mapping differs from the root's.
#include <array>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Locales whose case mapping differs from the root's: dotted and dotless i, the dot above kept in
// Lithuanian, Greek accents, Dutch IJ, German ß.
inline constexpr std::array<const char*, 7> kLocales = {"en", "de", "tr", "az", "lt", "el", "nl"};

// Ends the run with the property's name, so that libFuzzer keeps the input that broke it.
inline void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

}  // namespace fuzz
