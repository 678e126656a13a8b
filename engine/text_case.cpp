#include "engine/text_case.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstring>

namespace versalo {

std::size_t Utf8CharLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[i + k]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t min2 = 0x80;  // the allowed range of the second byte shuts out overlong forms,
    std::uint8_t max2 = 0xBF;  // surrogates and values above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min2 = lead == 0xE0 ? 0xA0 : min2;
        max2 = lead == 0xED ? 0x9F : max2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min2 = lead == 0xF0 ? 0x90 : min2;
        max2 = lead == 0xF4 ? 0x8F : max2;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(1) < min2 || byte(1) > max2) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharLength(text, i);
        if (length == 0) {
            return false;
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

// Applies step until the text stops changing; in practice the second round already gives back
// what the first made.
template <typename Step>
std::string UntilStable(std::string text, Step step) {
    for (int round = 0; round < 5; ++round) {
        std::string again = step(text);
        if (again == text) {
            break;
        }
        text = std::move(again);
    }
    return text;
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
    // A second run would then drop the accent and rename the entry again.
    return UntilStable(std::string(text),
                       [mapping](const std::string& now) { return IcuMapped(now, mapping); });
}

std::string InitialCapitalOnce(std::string_view text) {
    const std::size_t first = text.empty() ? 0 : Utf8CharLength(text, 0);
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
    // A capital that is several characters (ß -> SS, ŉ -> ʼN) is not yet in the rule's spelling:
    // its second character must be small. A few rounds reach the spelling the rule leaves alone.
    return UntilStable(std::string(text), InitialCapitalOnce);
}

}  // namespace versalo
