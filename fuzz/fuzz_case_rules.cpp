// Any bytes into the case rules. The first byte picks the locale the mapping runs under, the rest
// is the name. Every property checked here is one the renaming relies on: a name that comes back
// different must still be a name (valid UTF-8, no "/" or NUL that was not there), a name that is
// not UTF-8 is never touched, and running a rule twice gives what running it once gave, so that
// a second run over a renamed tree changes nothing.
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/case_rules.h"
#include "engine/text_case.h"

namespace {

// Locales whose case mapping differs from the root's: Turkish and Azeri (dotted and dotless i),
// Lithuanian (dot above kept on i with accents), Greek (accents dropped in upper case), Dutch
// (IJ), German (ß).
constexpr std::array<const char*, 7> kLocales = {"en", "de", "tr", "az", "lt", "el", "nl"};

[[noreturn]] void Fail(const char* what, std::string_view in, std::string_view out) {
    std::fprintf(stderr, "property violated: %s\n  in: ", what);
    for (const char c : in) {
        std::fprintf(stderr, "%02X ", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n  out: ");
    for (const char c : out) {
        std::fprintf(stderr, "%02X ", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\n");
    std::abort();
}

std::size_t Count(std::string_view text, char c) {
    std::size_t n = 0;
    for (const char x : text) {
        n += x == c ? 1 : 0;
    }
    return n;
}

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string IcuMapped(std::string_view text, bool upper) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    if (upper) {
        unicode.toUpper(icu::Locale::getDefault());
    } else {
        unicode.toLower(icu::Locale::getDefault());
    }
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

void CheckRule(std::string_view name, bool valid, versalo::CaseRule rule) {
    const std::string once = versalo::ConvertName(name, rule);
    if (!valid) {
        if (once != name) {
            Fail("a name that is not UTF-8 was changed", name, once);
        }
        return;
    }
    if (!versalo::IsValidUtf8(once)) {
        Fail("valid UTF-8 in, invalid UTF-8 out", name, once);
    }
    if (Count(once, '/') > Count(name, '/')) {
        Fail("a slash was introduced", name, once);
    }
    if (Count(once, '\0') > Count(name, '\0')) {
        Fail("a NUL was introduced", name, once);
    }
    if (!name.empty() && once.empty()) {
        Fail("a name became empty", name, once);
    }
    const std::string twice = versalo::ConvertName(once, rule);
    if (twice != once) {
        Fail("the rule is not idempotent (second result shown)", once, twice);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // The ASCII fast path decides once whether the locale maps ASCII plainly; make that decision
    // under a plain locale, so that ASCII names take the fast path and can be compared with ICU.
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("en"), status);
    (void)versalo::ToUpperText("a");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const char* localeName = kLocales[data[0] % kLocales.size()];
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(localeName), status);

    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool valid = versalo::IsValidUtf8(name);
    // The validity test decides which names are never touched; it must agree with ICU's strict
    // UTF-8 decoder (no overlong forms, no surrogates, nothing above U+10FFFF).
    UErrorCode decodeStatus = U_ZERO_ERROR;
    std::int32_t decodedLength = 0;
    u_strFromUTF8(nullptr, 0, &decodedLength, name.data(), static_cast<std::int32_t>(name.size()),
                  &decodeStatus);
    const bool icuValid = decodeStatus != U_INVALID_CHAR_FOUND && decodeStatus != U_ILLEGAL_CHAR_FOUND;
    if (valid != icuValid) {
        Fail(valid ? "IsValidUtf8 accepts what ICU rejects" : "IsValidUtf8 rejects what ICU accepts", name,
             "");
    }

    for (const versalo::CaseRule rule :
         {versalo::CaseRule::kUpper, versalo::CaseRule::kLower, versalo::CaseRule::kInitialCapital}) {
        CheckRule(name, valid, rule);
    }

    // The ASCII fast path must give exactly what ICU gives, in every locale where it is taken.
    const bool plain = std::string_view(localeName) != "tr" && std::string_view(localeName) != "az";
    if (valid && plain && IsAscii(name)) {
        if (versalo::ToUpperText(name) != IcuMapped(name, true)) {
            Fail("fast upper case differs from ICU", name, versalo::ToUpperText(name));
        }
        if (versalo::ToLowerText(name) != IcuMapped(name, false)) {
            Fail("fast lower case differs from ICU", name, versalo::ToLowerText(name));
        }
    }
    return 0;
}
