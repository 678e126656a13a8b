// Any bytes into the case rules; the first byte picks the locale. Checked are the properties the
// renaming relies on: a changed name is still a name (valid UTF-8, no "/" or NUL that was not
// there), a name that is not UTF-8 is never touched, a second run changes nothing, the UTF-8 check
// agrees with ICU's, and the ASCII shortcut maps exactly as ICU does.
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/case_rules.h"
#include "engine/text_case.h"
#include "fuzz/fuzz_check.h"

using fuzz::Check;

namespace {

std::string IcuMapped(std::string_view text, bool upper) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    upper ? unicode.toUpper(icu::Locale::getDefault()) : unicode.toLower(icu::Locale::getDefault());
    std::string result;
    return unicode.toUTF8String(result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view locale = fuzz::UseLocaleOf(data[0]);
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);

    const bool valid = versalo::IsValidUtf8(name);
    UErrorCode decoded = U_ZERO_ERROR;
    std::int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, name.data(), static_cast<std::int32_t>(name.size()), &decoded);
    Check(valid == (decoded != U_INVALID_CHAR_FOUND && decoded != U_ILLEGAL_CHAR_FOUND),
          "IsValidUtf8 and ICU differ");

    for (const auto rule :
         {versalo::CaseRule::kUpper, versalo::CaseRule::kLower, versalo::CaseRule::kInitialCapital}) {
        const std::string once = versalo::ConvertName(name, rule);
        Check(valid || once == name, "a name that is not UTF-8 was changed");
        Check(versalo::IsValidUtf8(once) == valid, "valid UTF-8 in, invalid out");
        Check(std::ranges::count(once, '/') <= std::ranges::count(name, '/'), "a slash was introduced");
        Check(std::ranges::count(once, '\0') <= std::ranges::count(name, '\0'), "a NUL was introduced");
        Check(name.empty() == once.empty(), "a name became empty");
        Check(versalo::ConvertName(once, rule) == once, "a second run changed the name");
    }
    const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && locale != "tr" && locale != "az") {
        Check(versalo::ToUpperText(name) == IcuMapped(name, true), "ASCII upper case differs from ICU");
        Check(versalo::ToLowerText(name) == IcuMapped(name, false), "ASCII lower case differs from ICU");
    }
    return 0;
}
