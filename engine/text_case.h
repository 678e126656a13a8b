#pragma once

#include <unicode/locid.h>

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

// The case mapping for many names, as a batch needs it: the locale is looked up once, when the
// mapper is made, and a name of plain ASCII is mapped by the ASCII table without ICU wherever the
// locale's rules give the same (everywhere but in Turkish and Azeri, which map i and I to İ and
// ı). Nearly every name is plain ASCII, and ICU's conversion to UTF-16 and back costs more than
// the rename of the entry.
class CaseMapper {
public:
    CaseMapper();

    std::string Upper(std::string_view text) const;
    std::string Lower(std::string_view text) const;
    // First character (a whole code point) in upper case, the rest in lower case. When the
    // capital of the first character is itself several characters (German ß gives SS), the
    // result is taken to the spelling that the rule leaves alone ("Ss"), so that applying the
    // rule again changes nothing.
    std::string InitialCapital(std::string_view text) const;

private:
    enum class Mapping { kUpper, kLower };
    std::string Mapped(std::string_view text, Mapping mapping) const;
    std::string IcuMapped(std::string_view text, Mapping mapping) const;
    std::string InitialCapitalOnce(std::string_view text) const;

    icu::Locale m_locale;
    bool m_asciiIsPlain;
};

// The same, each with the locale as it is at the call.
std::string ToUpperText(std::string_view text);
std::string ToLowerText(std::string_view text);
std::string InitialCapital(std::string_view text);

}  // namespace versalo
