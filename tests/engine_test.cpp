// The case rules, name by name: the border cases of each rule in the locales that change them.

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <string>
#include <vector>

#include "engine/case_rules.h"

namespace versalo::test {
namespace {

TEST(CaseRules, MapTheWholeNameOnceAndForAll) {
    struct Row {
        const char *name, *expected;
        CaseRule rule;
        const char* locale = "en";
    };
    const Row rows[] = {
        {"bRIEF.TXT", "Brief.txt", CaseRule::kInitialCapital},
        {"ßTRASSE", "Sstrasse", CaseRule::kInitialCapital},
        {"e\u0301COLE", "E\u0301cole", CaseRule::kInitialCapital},
        {"\U0001D4D0bc\U0001F600", "\U0001D4D0BC\U0001F600", CaseRule::kUpper},
        {"ISTANBUL", "ıstanbul", CaseRule::kLower, "tr"},
        // Each word: the tracker bugs of other tools (Don'T, I'Ll, DiseñO, ÉLan, ALL-CAPS kept).
        {"don’t I'LL DISEÑO e\u0301LAN.Tar.GZ", "Don’t I'll Diseño E\u0301lan.Tar.gz", CaseRule::kEachWord},
        {"ǆ a b-c_d(e)+f&g,h[i]1st", "ǅ A B-C_D(E)+F&G,H[I]1st", CaseRule::kEachWord},
        {"ŉ ßa", "ʼn Ssa", CaseRule::kEachWord},
        {"istanbul ili", "İstanbul İli", CaseRule::kEachWord, "tr"},
    };
    const icu::Locale saved = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    for (const Row& row : rows) {
        icu::Locale::setDefault(icu::Locale(row.locale), status);
        EXPECT_EQ(ConvertName(row.name, row.rule), row.expected) << row.name;
        EXPECT_EQ(ConvertName(row.expected, row.rule), row.expected) << row.name;
    }
    icu::Locale::setDefault(saved, status);
}

}  // namespace
}  // namespace versalo::test
