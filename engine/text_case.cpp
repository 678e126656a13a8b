#include "engine/text_case.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstring>

namespace versalo {

bool IsValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint8_t min2 = 0x80;  // allowed range of the second byte, excludes overlongs
        std::uint8_t max2 = 0xBF;  // and surrogates / values above U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                min2 = 0xA0;
            } else if (lead == 0xED) {
                max2 = 0x9F;
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                min2 = 0x90;
            } else if (lead == 0xF4) {
                max2 = 0x8F;
            }
        } else {
            return false;
        }
        if (size - i < length) {
            return false;
        }
        if (bytes[i + 1] < min2 || bytes[i + 1] > max2) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

namespace {

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Turkish and Azeri map i and I differently (i <-> İ, ı <-> I), so ASCII names there must go
// through ICU. Everywhere else ICU maps ASCII letters exactly as the plain ASCII table does.
// Asked for every name rather than once, so that a change of ICU's default locale takes effect.
bool AsciiMappingIsPlain() {
    const char* language = icu::Locale::getDefault().getLanguage();
    return std::strcmp(language, "tr") != 0 && std::strcmp(language, "az") != 0;
}

enum class Mapping { kUpper, kLower };

std::string AsciiMapped(std::string_view text, Mapping mapping) {
    std::string result(text);
    for (char& c : result) {
        if (mapping == Mapping::kUpper && c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (mapping == Mapping::kLower && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return result;
}

std::string IcuMapped(std::string_view text, Mapping mapping) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    if (mapping == Mapping::kUpper) {
        unicode.toUpper(icu::Locale::getDefault());
    } else {
        unicode.toLower(icu::Locale::getDefault());
    }
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

std::string Mapped(std::string_view text, Mapping mapping) {
    if (IsAscii(text) && AsciiMappingIsPlain()) {
        return AsciiMapped(text, mapping);
    }
    if (!IsValidUtf8(text)) {
        return std::string(text);
    }
    // One mapping is not always the last word: in Greek, upper case drops an accent only when it
    // follows a letter, and a combining ypogegrammeni becomes that letter (Ι) during the mapping.
    // A second run would then drop the accent and rename the entry again. So map until nothing
    // changes; in practice the second round already returns what the first gave.
    std::string result = IcuMapped(text, mapping);
    for (int round = 0; round < 4; ++round) {
        std::string again = IcuMapped(result, mapping);
        if (again == result) {
            break;
        }
        result = std::move(again);
    }
    return result;
}

std::string InitialCapitalOnce(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    // Length in bytes of the first code point; the text is valid UTF-8 here.
    std::size_t first = 1;
    const auto lead = static_cast<std::uint8_t>(text[0]);
    if (lead >= 0xF0) {
        first = 4;
    } else if (lead >= 0xE0) {
        first = 3;
    } else if (lead >= 0xC0) {
        first = 2;
    }
    return Mapped(text.substr(0, first), Mapping::kUpper) + Mapped(text.substr(first), Mapping::kLower);
}

}  // namespace

std::string ToUpperText(std::string_view text) {
    return Mapped(text, Mapping::kUpper);
}

std::string ToLowerText(std::string_view text) {
    return Mapped(text, Mapping::kLower);
}

std::string InitialCapital(std::string_view text) {
    if (!IsValidUtf8(text)) {
        return std::string(text);
    }
    std::string result = InitialCapitalOnce(text);
    // A capital that is several characters (ß -> SS, ŉ -> ʼN) is not yet in the rule's spelling:
    // its second character must be small. A few rounds reach the spelling the rule leaves alone.
    for (int round = 0; round < 4; ++round) {
        std::string again = InitialCapitalOnce(result);
        if (again == result) {
            break;
        }
        result = std::move(again);
    }
    return result;
}

}  // namespace versalo
