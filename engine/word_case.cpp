#include "engine/word_case.h"

#include <unicode/casemap.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/text_case.h"

namespace versalo {

namespace {

constexpr UChar32 kRightQuote = 0x2019;  // ’

icu::UnicodeString FromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string ToUtf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

bool IsLetter(UChar32 c) {
    return (U_GET_GC_MASK(c) & U_GC_L_MASK) != 0;
}

// Letters, digits and combining marks: what a word is made of.
bool IsWordPart(UChar32 c) {
    return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_ND_MASK | U_GC_M_MASK)) != 0;
}

// After such a character a letter goes on the word before: "don't", "rock'n'roll".
bool KeepsWordOpen(UChar32 c) {
    return IsWordPart(c) || c == '\'' || c == kRightQuote;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Turkish and Azeri capitalise i as İ; everywhere else ASCII letters map as the ASCII table says.
bool AsciiTitleIsPlain() {
    const char* language = icu::Locale::getDefault().getLanguage();
    return std::strcmp(language, "tr") != 0 && std::strcmp(language, "az") != 0;
}

bool AsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void AsciiEachWord(std::string& result, std::size_t end) {
    bool open = false;  // the character before keeps a word open
    for (std::size_t i = 0; i < end; ++i) {
        char& c = result[i];
        const bool letter = AsciiLetter(c);
        if (letter) {
            const bool upper = c <= 'Z';
            if (!open && !upper) {
                c = static_cast<char>(c - 'a' + 'A');
            } else if (open && upper) {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        open = letter || (c >= '0' && c <= '9') || c == '\'';
    }
    for (std::size_t i = end; i < result.size(); ++i) {
        char& c = result[i];
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
}

// The title case of a letter with the combining marks that follow it, in the default locale (full
// mapping: ß gives Ss). The marks go along because some mappings depend on them: Lithuanian lower
// case puts a dot above an i that carries an accent, and its upper case takes it away again (its
// title case does not, which would add a dot on every run). For i, j and the other soft-dotted
// letters title and upper case are the same everywhere else.
icu::UnicodeString TitleOf(const icu::UnicodeString& letter) {
    std::u16string buffer(static_cast<std::size_t>(letter.length()) * 3 + 8, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    const char* locale = icu::Locale::getDefault().getName();
    const auto capacity = static_cast<std::int32_t>(buffer.size());
    const std::int32_t length =
        u_hasBinaryProperty(letter.char32At(0), UCHAR_SOFT_DOTTED)
            ? icu::CaseMap::toUpper(locale, 0, letter.getBuffer(), letter.length(), buffer.data(), capacity,
                                    nullptr, status)
            : icu::CaseMap::toTitle(
                  locale,
                  U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_LOWERCASE | U_TITLECASE_NO_BREAK_ADJUSTMENT,
                  nullptr, letter.getBuffer(), letter.length(), buffer.data(), capacity, nullptr, status);
    return U_SUCCESS(status) ? icu::UnicodeString(buffer.data(), length) : letter;
}

bool IsMark(UChar32 c) {
    return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
}

std::string EachWordOnce(const std::string& text) {
    const icu::UnicodeString lower = FromUtf8(ToLowerText(text));
    icu::UnicodeString result;
    bool open = false;
    for (std::int32_t i = 0; i < lower.length();) {
        const UChar32 c = lower.char32At(i);
        const std::int32_t start = i;
        i += U16_LENGTH(c);
        if (IsLetter(c) && !open) {
            while (i < lower.length() && IsMark(lower.char32At(i))) {
                i += U16_LENGTH(lower.char32At(i));
            }
            result.append(TitleOf(lower.tempSubString(start, i - start)));
            open = true;
        } else {
            result.append(c);
            open = KeepsWordOpen(c);
        }
    }
    return ToUtf8(result);
}

// True when kept spells text in other letter case only: code point for code point, each the same
// or one of its own simple case mappings. Full folding alone would also take ß for ss, a ligature
// for its letters and the Kelvin sign for K, and a kept word would then change letters.
bool OnlyCaseDiffers(const icu::UnicodeString& text, const icu::UnicodeString& kept) {
    if (text.countChar32() != kept.countChar32()) {
        return false;
    }
    for (std::int32_t i = 0, j = 0; i < text.length();) {
        const UChar32 a = text.char32At(i);
        const UChar32 b = kept.char32At(j);
        if (a != b && u_tolower(a) != b && u_toupper(a) != b && u_totitle(a) != b) {
            return false;
        }
        i += U16_LENGTH(a);
        j += U16_LENGTH(b);
    }
    return true;
}

}  // namespace

bool EachWordAsciiInPlace(std::string& name, std::size_t end) {
    if (!IsAscii(name) || !AsciiTitleIsPlain()) {
        return false;
    }
    AsciiEachWord(name, std::min(end, name.size()));
    return true;
}

std::string EachWordCapital(std::string_view text) {
    std::string ascii(text);
    if (EachWordAsciiInPlace(ascii, ascii.size())) {
        return ascii;
    }
    if (!IsValidUtf8(text)) {
        return std::string(text);
    }
    // A title case of several characters (ß gives Ss, ŉ gives ʼN) is not always the rule's last
    // word: ʼ is a letter, so N is no longer a word's first letter. A few rounds settle it.
    std::string now(text);
    for (int round = 0; round < 5; ++round) {
        std::string again = EachWordOnce(now);
        if (again == now) {
            break;
        }
        now = std::move(again);
    }
    return now;
}

std::string WithKeptSpellings(std::string_view text, const std::vector<std::string>& kept) {
    if (kept.empty() || !IsValidUtf8(text)) {
        return std::string(text);
    }
    const icu::UnicodeString name = FromUtf8(text);
    std::vector<icu::UnicodeString> folded;
    for (const std::string& word : kept) {
        folded.push_back(FromUtf8(word).foldCase());
    }
    icu::UnicodeString result;
    std::int32_t copied = 0;
    bool open = false;
    for (std::int32_t i = 0; i < name.length();) {
        const UChar32 c = name.char32At(i);
        bool matched = false;
        for (std::size_t k = 0; k < kept.size() && !open && !matched; ++k) {
            // Full folding may change a word's length (ß, ﬃ), so every end of a word is tried.
            for (std::int32_t end = i + 1; end <= name.length() && !matched; ++end) {
                if (end < name.length() &&
                    ((U16_IS_TRAIL(name.charAt(end)) && U16_IS_LEAD(name.charAt(end - 1))) ||
                     IsWordPart(name.char32At(end)))) {
                    continue;
                }
                if (name.tempSubString(i, end - i).foldCase() == folded[k] &&
                    OnlyCaseDiffers(name.tempSubString(i, end - i), FromUtf8(kept[k]))) {
                    result.append(name, copied, i - copied).append(FromUtf8(kept[k]));
                    copied = end;
                    // The character before the next one is the kept word's last.
                    open = KeepsWordOpen(name.char32At(end - 1));
                    i = end;
                    matched = true;
                }
            }
        }
        if (!matched) {
            open = KeepsWordOpen(c);
            i += U16_LENGTH(c);
        }
    }
    result.append(name, copied, name.length() - copied);
    return ToUtf8(result);
}

std::u32string FoldedCodePoints(std::string_view text) {
    std::u32string result;
    FoldedCodePoints(text, result);
    return result;
}

void FoldedCodePoints(std::string_view text, std::u32string& result) {
    result.clear();
    if (IsAscii(text)) {
        result.resize(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            result[i] = static_cast<char32_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        return;
    }
    const icu::UnicodeString folded = FromUtf8(text).foldCase();
    for (std::int32_t i = 0; i < folded.length();) {
        const UChar32 c = folded.char32At(i);
        result.push_back(static_cast<char32_t>(c));
        i += U16_LENGTH(c);
    }
}

}  // namespace versalo
