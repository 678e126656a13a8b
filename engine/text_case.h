#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace versalo {

// Case mapping of names. Names on Linux are bytes; these routines read them as UTF-8 and map them
// with ICU's full, locale-aware case mapping for the user's locale (ICU's default locale, taken
// from the environment). A text that is not valid UTF-8 is returned unchanged, byte for byte:
// callers check IsValidUtf8 first when they need to tell the user.

// The length in bytes of the well-formed UTF-8 character at text[i] (i < text.size()); 0 when
// the bytes there are none: a stray continuation byte, an overlong form, a surrogate, a value
// above U+10FFFF, or a sequence cut off by the end.
std::size_t Utf8CharLength(std::string_view text, std::size_t i);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

std::string ToUpperText(std::string_view text);
std::string ToLowerText(std::string_view text);

// First character (a whole code point) in upper case, the rest in lower case. When the capital of
// the first character is itself several characters (German ß gives SS), the result is taken to
// the spelling that the rule leaves alone ("Ss"), so that applying the rule again changes nothing.
std::string InitialCapital(std::string_view text);

}  // namespace versalo
