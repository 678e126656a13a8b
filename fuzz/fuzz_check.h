#pragma once

// What every fuzzer of the project shares: how a violated property ends the run, and the locales
// whose case mapping differs from the root's.
#include <unicode/locid.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace fuzz {

// Locales whose case mapping differs from the root's: dotted and dotless i, the dot above kept in
// Lithuanian, Greek accents, Dutch IJ, German ß.
inline constexpr std::array<const char*, 7> kLocales = {"en", "de", "tr", "az", "lt", "el", "nl"};

// Makes the locale that byte picks the default, where the program's case rules find it, and
// returns its name.
inline std::string_view UseLocaleOf(std::uint8_t byte) {
    const char* locale = kLocales[byte % kLocales.size()];
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(locale), status);
    return locale;
}

// Ends the run with the property's name, so that libFuzzer keeps the input that broke it.
inline void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

}  // namespace fuzz
