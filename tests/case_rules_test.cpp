// Case rules: what a name becomes under each case type, in the default (C.UTF-8) locale and in
// a Turkish one, including names that are not UTF-8 and characters outside the BMP.
#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "collection/text_case.h"
#include "engine/case_rules.h"
#include "engine/engine_state.h"

namespace versalo {
namespace {

class CaseRulesTest : public ::testing::Test {
protected:
    void TearDown() override { CurrentCaseType = 0; }
};

TEST_F(CaseRulesTest, ConvertNameFollowsTheCaseTypeInForce) {
    CurrentCaseType = kCaseUpper;
    EXPECT_EQ(ConvertName("readme.TXT"), "README.TXT");
    CurrentCaseType = kCaseLower;
    EXPECT_EQ(ConvertName("readme.TXT"), "readme.txt");
    CurrentCaseType = kCaseInitialCapital;
    EXPECT_EQ(ConvertName("readme.TXT"), "Readme.txt");
    EXPECT_EQ(ConvertName("mein BRIEF.TXT"), "Mein brief.txt");
    EXPECT_EQ(ConvertName("1st Report.doc"), "1st report.doc");
}

TEST_F(CaseRulesTest, UnknownCaseTypesAndEmptyNamesLeaveTheNameAlone) {
    for (const std::int16_t code : {3, -1, 100}) {
        EXPECT_EQ(ConvertNameAs("MiXeD Name.Txt", static_cast<std::int16_t>(code)), "MiXeD Name.Txt");
    }
    for (const std::int16_t code : {0, 1, 2, 3}) {
        EXPECT_EQ(ConvertNameAs("", code), "");
    }
}

TEST_F(CaseRulesTest, UmlautsAndFullCaseMapping) {
    EXPECT_EQ(ConvertNameAs("über Alles.Doc", kCaseInitialCapital), "Über alles.doc");
    EXPECT_EQ(ConvertNameAs("ÄÖÜ.txt", kCaseLower), "äöü.txt");
    EXPECT_EQ(ConvertNameAs("äöü.txt", kCaseUpper), "ÄÖÜ.TXT");
    // Full mapping changes the length: ß has the two-letter capital SS.
    EXPECT_EQ(ConvertNameAs("straße", kCaseUpper), "STRASSE");
    // A leading ß under first-letter capital ends in the spelling the rule leaves alone.
    EXPECT_EQ(ConvertNameAs("ßtraße", kCaseInitialCapital), "Sstraße");
    EXPECT_EQ(ConvertNameAs("Sstraße", kCaseInitialCapital), "Sstraße");
    // Decomposed umlaut (u + combining diaeresis) keeps its combining mark.
    EXPECT_EQ(ConvertNameAs("u\xCC\x88"
                            "ber",
                            kCaseUpper),
              "U\xCC\x88"
              "BER");
}

TEST_F(CaseRulesTest, FirstCharacterOutsideTheBasicPlaneIsMappedWhole) {
    // U+10428 DESERET SMALL LETTER LONG I, capital U+10400: four bytes each.
    const std::string small = "\xF0\x90\x90\xA8";
    const std::string capital = "\xF0\x90\x90\x80";
    EXPECT_EQ(ConvertNameAs(small + "ABC", kCaseInitialCapital), capital + "abc");
    // An emoji has no case: it stays, the rest is lowered, nothing is cut in half.
    EXPECT_EQ(ConvertNameAs("\xF0\x9F\x98\x80"
                            "ABC",
                            kCaseInitialCapital),
              "\xF0\x9F\x98\x80"
              "abc");
}

TEST_F(CaseRulesTest, NamesThatAreNotUtf8AreNeverChanged) {
    const std::vector<std::string> invalid = {
        "caf\xE9.TXT",  // Latin-1 é
        "\xC3",         // truncated sequence
        "A\xC0\xAF"
        "B",                 // overlong "/"
        "\xED\xA0\x80x",     // encoded surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xFF\xFE",
    };
    for (const std::string& name : invalid) {
        EXPECT_FALSE(IsValidUtf8(name));
        for (const std::int16_t code : {0, 1, 2}) {
            EXPECT_EQ(ConvertNameAs(name, code), name);
        }
    }
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xF0\x90\x90\xA8"));
    EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
}

TEST_F(CaseRulesTest, TurkishLocaleMapsDottedAndDotlessI) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale saved = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("tr", "TR"), status);
    ASSERT_TRUE(U_SUCCESS(status));
    // The ASCII fast path must not be taken for Turkish: i -> İ, I -> ı.
    const std::string upper = ConvertNameAs("istanbul.txt", kCaseUpper);
    const std::string lower = ConvertNameAs("ISTANBUL.TXT", kCaseLower);
    icu::Locale::setDefault(saved, status);
    EXPECT_EQ(upper, "\xC4\xB0STANBUL.TXT");
    EXPECT_EQ(lower, "\xC4\xB1stanbul.txt");
}

TEST_F(CaseRulesTest, GreekUpperCaseGivesAtOnceWhatASecondRunWouldGive) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale saved = icu::Locale::getDefault();
    icu::Locale::setDefault(icu::Locale("el"), status);
    ASSERT_TRUE(U_SUCCESS(status));
    // A combining ypogegrammeni turns into the letter Iota, which the accent after it then follows.
    const std::string name =
        "b\xCD\x85\xCC\x80"
        "el";
    const std::string once = ConvertNameAs(name, kCaseUpper);
    const std::string twice = ConvertNameAs(once, kCaseUpper);
    icu::Locale::setDefault(saved, status);
    EXPECT_EQ(once, twice);
    EXPECT_EQ(once,
              "B\xCE\x99"
              "EL");
}

}  // namespace
}  // namespace versalo
