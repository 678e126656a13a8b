#include "engine/text_case.h"

#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <cstring>

namespace versalo {

std::size_t Utf8CharLength(std::string_view text, std::size_t i) {
    // ICU's U8_NEXT counts in 32 bits; a character is at most four bytes long, so four suffice.
    const std::string_view window = text.substr(i, 4);
    std::int32_t end = 0;
    UChar32 character = 0;
    U8_NEXT(window.data(), end, static_cast<std::int32_t>(window.size()), character);
    return character < 0 ? 0 : static_cast<std::size_t>(end);
}

namespace {

// The length of the plain ASCII start of text, read eight bytes at a time: nearly every name is
// ASCII throughout.
std::size_t AsciiPrefix(std::string_view text) {
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) {
        ++i;
    }
    return i;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = AsciiPrefix(text); i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = Utf8CharLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

namespace {

// The mapping by the ASCII table, written to out; false (out untouched) when text is not plain
// ASCII. firstUpper: the first character upper case and the rest as upper says.
bool AsciiMapped(std::string_view text, bool upper, bool firstUpper, std::string& out) {
    if (AsciiPrefix(text) != text.size()) {
        return false;
    }
    out.assign(text);
    const unsigned char from = upper ? 'a' : 'A';  // the first letter of the case that changes
    // Without a branch, so that the compiler maps many bytes at once: a letter of the case that
    // changes has bit 5 flipped.
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        c = static_cast<char>(byte ^ (static_cast<unsigned char>(byte - from) < 26 ? 0x20 : 0));
    }
    if (firstUpper && !out.empty() && out[0] >= 'a' && out[0] <= 'z') {
        out[0] = static_cast<char>(out[0] ^ 0x20);
    }
    return true;
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

}  // namespace

CaseMapper::CaseMapper()
    : m_locale(icu::Locale::getDefault()),
      // Turkish and Azeri map i and I differently (i <-> İ, ı <-> I), so ASCII names there must
      // go through ICU. Everywhere else ICU maps ASCII letters exactly as the ASCII table does.
      m_asciiIsPlain(std::strcmp(m_locale.getLanguage(), "tr") != 0 &&
                     std::strcmp(m_locale.getLanguage(), "az") != 0) {}

std::string CaseMapper::IcuMapped(std::string_view text, Mapping mapping) const {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    if (mapping == Mapping::kUpper) {
        unicode.toUpper(m_locale);
    } else {
        unicode.toLower(m_locale);
    }
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

std::string CaseMapper::Mapped(std::string_view text, Mapping mapping) const {
    std::string result;
    if (m_asciiIsPlain && AsciiMapped(text, mapping == Mapping::kUpper, false, result)) {
        return result;
    }
    if (!IsValidUtf8(text)) {
        return std::string(text);
    }
    // One mapping is not always the last word: in Greek, upper case drops an accent only when it
    // follows a letter, and a combining ypogegrammeni becomes that letter (Ι) during the mapping.
    // A second run would then drop the accent and rename the entry again.
    return UntilStable(std::string(text),
                       [this, mapping](const std::string& now) { return IcuMapped(now, mapping); });
}

std::string CaseMapper::Upper(std::string_view text) const {
    return Mapped(text, Mapping::kUpper);
}

std::string CaseMapper::Lower(std::string_view text) const {
    return Mapped(text, Mapping::kLower);
}

std::string CaseMapper::InitialCapitalOnce(std::string_view text) const {
    const std::size_t first = text.empty() ? 0 : Utf8CharLength(text, 0);
    return Upper(text.substr(0, first)) + Lower(text.substr(first));
}

std::string CaseMapper::InitialCapital(std::string_view text) const {
    std::string result;
    if (m_asciiIsPlain && AsciiMapped(text, false, true, result)) {
        return result;  // an ASCII capital is one character: stable at once
    }
    if (!IsValidUtf8(text)) {
        return std::string(text);
    }
    // A capital that is several characters (ß -> SS, ŉ -> ʼN) is not yet in the rule's spelling:
    // its second character must be small. A few rounds reach the spelling the rule leaves alone.
    return UntilStable(std::string(text), [this](const std::string& now) { return InitialCapitalOnce(now); });
}

std::string ToUpperText(std::string_view text) {
    return CaseMapper().Upper(text);
}

std::string ToLowerText(std::string_view text) {
    return CaseMapper().Lower(text);
}

std::string InitialCapital(std::string_view text) {
    return CaseMapper().InitialCapital(text);
}

}  // namespace versalo
