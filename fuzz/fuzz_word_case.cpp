// Any bytes into the rule "each word"; the first byte picks the locale, the name part, whether the
// name is a folder's and whether spellings are kept. Checked: a second run changes nothing, only
// letter case changes (the names are equal under Unicode's full case folding, which also takes in
// its multi-letter mappings such as ß and Ss), a name that is not UTF-8 is never touched, nothing
// becomes a slash or NUL or empty, and the ASCII shortcut agrees with ICU.
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/name_scope.h"
#include "engine/text_case.h"
#include "engine/word_case.h"
#include "fuzz/fuzz_check.h"

using fuzz::Check;

namespace {

// Full case folding (Turkic where the locale is) in canonical decomposition, without the combining
// dot above that Turkish and Lithuanian case mappings add or drop beside an i, and with the dotless
// ı taken as i: its capital is I, which folds to i outside Turkic, while ı folds to itself.
icu::UnicodeString Folded(std::string_view text, bool turkic) {
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    unicode.foldCase(turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT);
    unicode = nfd->normalize(unicode, status);
    unicode.findAndReplace(icu::UnicodeString(static_cast<UChar32>(0x0307)), icu::UnicodeString());
    return unicode.findAndReplace(icu::UnicodeString(static_cast<UChar32>(0x0131)), icu::UnicodeString(u'i'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view locale = fuzz::UseLocaleOf(data[0]);
    versalo::NameScope scope;
    scope.part = static_cast<versalo::NamePart>((data[0] / 8) % 3);
    const bool folder = (data[0] & 0x20) != 0;
    if ((data[0] & 0x40) != 0) {
        scope.keep = {"DVD", "McCartney", "iPhone", "\xC7\x85"};  // ǅ
    }
    const std::string_view name(reinterpret_cast<const char*>(data + 1), size - 1);
    const bool valid = versalo::IsValidUtf8(name);
    const bool turkic = locale == "tr" || locale == "az";

    const std::string once = versalo::ConvertName(name, versalo::CaseRule::kEachWord, scope, folder);
    Check(valid || once == name, "a name that is not UTF-8 was changed");
    Check(versalo::IsValidUtf8(once) == valid, "valid UTF-8 in, invalid out");
    Check(std::ranges::count(once, '/') == std::ranges::count(name, '/'), "the slashes changed");
    Check(std::ranges::count(once, '\0') == std::ranges::count(name, '\0'), "the NULs changed");
    Check(name.empty() == once.empty(), "a name became empty");
    Check(versalo::ConvertName(once, versalo::CaseRule::kEachWord, scope, folder) == once,
          "a second run changed the name");
    if (valid) {
        Check(Folded(once, turkic) == Folded(name, turkic), "more than the letter case changed");
    }
    const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && !turkic) {
        // A no-break space is no part of a word and takes the name through ICU.
        Check(versalo::EachWordCapital(std::string(name) + "\xC2\xA0") ==
                  versalo::EachWordCapital(name) + "\xC2\xA0",
              "the ASCII shortcut differs from ICU");
    }
    return 0;
}
