// Hostile names: bytes that are not UTF-8, names at the length limit that grow under upper case,
// characters outside the Basic Multilingual Plane, combining marks, the Turkish dotted and dotless
// i, control characters and blanks, "?" and dropped "." and "..". Every one either gets its new
// name or keeps its old one and is reported; nothing is lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

// Runs the command line on the given paths (relative to the scratch folder) and checks that
// nothing was lost and no temporary name is left.
RunResult RunChecked(Scratch& scratch, std::vector<std::string> args,
                     const std::vector<std::string>& relatives, const NameRule& rule,
                     const RunOptions& options = {}) {
    for (const std::string& relative : relatives) {
        args.push_back(scratch.Path(relative));
    }
    const Manifest before = TakeManifest(scratch.Root());
    RunResult run = RunCli(args, options);
    const Manifest after = TakeManifest(scratch.Root());
    EXPECT_TRUE(NothingLost(before, after, rule));
    EXPECT_EQ(TemporaryNames(after), Names{});
    EXPECT_EQ(run.signal, 0);
    return run;
}

std::string Repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

TEST(Names, NotUtf8IsKeptAndReported) {
    Scratch scratch;
    scratch.File("d/ABC\xff.TXT");
    scratch.File("d/Good.TXT");
    scratch.File("d/\xc3\x28 HALF");          // a lead byte without its continuation
    scratch.File("d/OVER\xc0\xaf LONG");      // an overlong "/"
    scratch.File("d/SUR\xed\xa0\x80ROGATE");  // a surrogate encoded in UTF-8
    scratch.File("DIR\xfe/INNER.TXT");        // a folder: kept, but its contents are renamed
    for (const bool twoMove : {false, true}) {
        SCOPED_TRACE(twoMove);
        std::vector<std::string> args{"-l"};
        if (twoMove) {
            args.push_back("-t");
        }
        const RunResult run = RunChecked(scratch, args, {"d", "DIR\xfe"}, RuleFor(kCaseLower));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(NamesIn(scratch.Path("d")), (Names{"ABC\xff.TXT", "OVER\xc0\xaf LONG",
                                                     "SUR\xed\xa0\x80ROGATE", "good.txt", "\xc3\x28 HALF"}));
        EXPECT_EQ(NamesIn(scratch.Path("DIR\xfe")), Names{"inner.txt"});
        EXPECT_EQ(CountOf(run.err, "kein gültiges UTF-8"), 5U) << run.err;
        // Shown as a shell reads them back: the odd bytes in octal, never raw.
        EXPECT_TRUE(Contains(run.err, "/d/ABC'$'\\377''.TXT'")) << run.err;
        EXPECT_TRUE(Contains(run.err, "/DIR'$'\\376'")) << run.err;
    }
}

TEST(Names, LongNameThatGrowsPastTheLimit) {
    // 255 bytes each. Upper case of ΐ is three characters (Ι, two marks): 127 of them grow to 762
    // bytes, which no folder can hold. ß becomes SS, the same number of bytes: that one fits.
    const std::string growing = Repeat("ΐ", 127) + "a";
    const std::string fitting = Repeat("ß", 127) + "a";
    ASSERT_EQ(growing.size(), 255U);
    ASSERT_EQ(fitting.size(), 255U);
    for (const bool twoMove : {false, true}) {
        SCOPED_TRACE(twoMove);
        Scratch scratch;
        scratch.File("walk/" + growing);
        scratch.File("walk/" + fitting);
        scratch.File(growing);
        std::vector<std::string> args{"-u"};
        if (twoMove) {
            args.push_back("-t");
        }
        // Inside a walk and as a dropped item (where -t makes two moves).
        const RunResult run = RunChecked(scratch, args, {"walk", growing}, RuleFor(kCaseUpper));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(NamesIn(scratch.Path("WALK")), (Names{Repeat("SS", 127) + "A", growing}));
        EXPECT_EQ(NamesIn(scratch.Root()), (Names{"WALK", growing}));
        EXPECT_EQ(CountOf(run.err, "der neue Name ist zu lang"), 2U) << run.err;
    }
}

TEST(Names, FirstCharacterOutsideTheBasicPlane) {
    // U+10428 DESERET SMALL LETTER LONG I, four bytes in UTF-8; its capital is U+10400.
    const std::string small = "\xF0\x90\x90\xA8";
    const std::string capital = "\xF0\x90\x90\x80";
    Scratch scratch;
    scratch.File("1/" + small + "bc DEF.TXT");
    scratch.File("2/" + small + "bc DEF.TXT");
    scratch.File("3/" + capital + "BC.TXT");
    RunResult run = RunChecked(scratch, {"-c"}, {"1"}, RuleFor(kCaseInitialCapital));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")), Names{capital + "bc def.txt"});
    run = RunChecked(scratch, {"-u"}, {"2"}, RuleFor(kCaseUpper));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("2")), Names{capital + "BC DEF.TXT"});
    run = RunChecked(scratch, {"-l", "-t"}, {"3/" + capital + "BC.TXT"}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("3")), Names{small + "bc.txt"});
}

TEST(Names, CombiningMarksStayDecomposed) {
    // "über" decomposed (u + U+0308) and precomposed side by side: different bytes, different
    // names; each keeps its form under every rule, and neither takes the other's place.
    const std::string decomposed =
        "u\xCC\x88"
        "ber";
    const std::string precomposed =
        "\xC3\xBC"
        "ber";
    Scratch scratch;
    scratch.File("1/" + decomposed);
    scratch.File("1/" + precomposed);
    RunResult run = RunChecked(scratch, {"-u"}, {"1"}, RuleFor(kCaseUpper));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")), (Names{"U\xCC\x88"
                                                 "BER",
                                                 "\xC3\x9C"
                                                 "BER"}));
    run = RunChecked(scratch, {"-c"}, {"1"}, RuleFor(kCaseInitialCapital));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")), (Names{"U\xCC\x88"
                                                 "ber",
                                                 "\xC3\x9C"
                                                 "ber"}));
}

TEST(Names, TurkishLocaleMapsTheDottedAndDotlessI) {
    // ICU takes the locale from LANG when LC_ALL is not set, whether or not the system has the
    // locale installed (this machine has none but C): no locale needs generating for this test.
    Scratch scratch;
    scratch.File("1/istanbul");
    scratch.File("1/ISPARTA");
    scratch.File("2/izmir");
    const RunOptions turkish{{{"LC_ALL", std::nullopt}, {"LANG", "tr_TR.UTF-8"}}, false};
    const auto turkishRule = [](const std::string& name) -> std::string {
        if (name == "istanbul") {
            return "\xC4\xB0STANBUL";  // İSTANBUL
        }
        if (name == "ISPARTA") {
            return "\xC4\xB1sparta";  // ısparta
        }
        if (name == "izmir") {
            return "\xC4\xB0zmir";  // İzmir
        }
        return name;
    };
    RunResult run = RunChecked(scratch, {"-u"}, {"1/istanbul"}, turkishRule, turkish);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunChecked(scratch, {"-l"}, {"1/ISPARTA"}, turkishRule, turkish);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunChecked(scratch, {"-c"}, {"2"}, turkishRule, turkish);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")), (Names{"\xC4\xB0STANBUL", "\xC4\xB1sparta"}));
    EXPECT_EQ(NamesIn(scratch.Path("2")), Names{"\xC4\xB0zmir"});

    // The same names outside Turkish: the plain i.
    Scratch plain;
    plain.File("1/istanbul");
    run = RunChecked(plain, {"-u"}, {"1"}, RuleFor(kCaseUpper));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(plain.Path("1")), Names{"ISTANBUL"});
}

TEST(Names, ControlCharactersBlanksAndQuestionMarksInsideAWalk) {
    // Inside a walk these are ordinary names on Linux: they are renamed like any other, and a
    // report would show the newline as \x0A.
    Scratch scratch;
    const Names odd{"Frage?.TXT", "LINE\nBREAK", " LEADING",       "TRAILING ",
                    "  ",         "TAB\tHERE",   "BACK\\SLASH",    "-DASH",
                    "*STAR*",     "'QUOTE\"",    "\x1b[31mESCAPE", "EMOJI \xF0\x9F\x98\x80 A"};
    for (const std::string& name : odd) {
        scratch.File("1/" + name, "content of " + name);
    }
    const RunResult run = RunChecked(scratch, {"-l"}, {"1"}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")),
              (Names{"\x1b[31mescape", "  ", " leading", "'quote\"", "*star*", "-dash", "back\\slash",
                     "emoji \xF0\x9F\x98\x80 a", "frage?.txt", "line\nbreak", "tab\there", "trailing "}));
}

TEST(Names, DroppedPathWithQuestionMarkIsRenamed) {
    Scratch scratch;
    scratch.File("WHY?/INNER.TXT");
    scratch.File("OTHER.TXT");
    const RunResult run = RunChecked(scratch, {"-l"}, {"WHY?", "OTHER.TXT"}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"other.txt", "why?"}));
    EXPECT_EQ(NamesIn(scratch.Path("why?")), Names{"inner.txt"});
}

TEST(Names, DroppedDotAndDotDotAreWalkedNotRenamed) {
    Scratch scratch;
    scratch.File("TOP/SUB/FILE.TXT");
    scratch.File("TOP/OTHER/FILE.TXT");
    // "SUB/.": SUB itself keeps its name, its contents change.
    RunResult run = RunChecked(scratch, {"-l"}, {"TOP/SUB/."}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("TOP")), (Names{"OTHER", "SUB"}));
    EXPECT_EQ(NamesIn(scratch.Path("TOP/SUB")), Names{"file.txt"});
    // "SUB/..": TOP keeps its name, everything in it changes.
    run = RunChecked(scratch, {"-u"}, {"TOP/SUB/.."}, RuleFor(kCaseUpper));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Root()), Names{"TOP"});
    EXPECT_EQ(NamesIn(scratch.Path("TOP/SUB")), Names{"FILE.TXT"});
    // Trailing slashes are ignored.
    run = RunChecked(scratch, {"-l"}, {"TOP/OTHER///"}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("TOP")), (Names{"SUB", "other"}));
    EXPECT_EQ(NamesIn(scratch.Path("TOP/other")), Names{"file.txt"});
}

TEST(Names, DotNamesAreNeverTouched) {
    Scratch scratch;
    scratch.File("1/.HIDDEN");
    scratch.File("1/.GIT/CONFIG");
    scratch.File("1/VISIBLE");
    const RunResult run = RunChecked(scratch, {"-l"}, {"1"}, RuleFor(kCaseLower));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("1")), (Names{".GIT", ".HIDDEN", "visible"}));
    EXPECT_EQ(NamesIn(scratch.Path("1/.GIT")), Names{"CONFIG"});
}

}  // namespace
}  // namespace versalo::fault
