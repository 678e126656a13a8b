// Collisions: on a file system that respects case, the new spelling of a name can belong to
// another entry. Neither entry may be lost, the one that keeps its name is reported, and the
// two-move method leaves no temporary name behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/drop_batch.h"
#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"
#include "tests/support/recording_host.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

// Every case runs under both methods: direct (the default) and two moves (-t).
class Collision : public ::testing::TestWithParam<bool> {
protected:
    // Runs the command line with the case option and the method of this run on paths below the
    // scratch folder, and checks that nothing was lost and no temporary name is left.
    RunResult Run(const std::string& caseOption, std::int16_t caseType,
                  const std::vector<std::string>& relatives) {
        std::vector<std::string> args{caseOption};
        if (GetParam()) {
            args.push_back("--two-move");
        }
        for (const std::string& relative : relatives) {
            args.push_back(scratch.Path(relative));
        }
        const Manifest before = TakeManifest(scratch.Root());
        RunResult run = RunCli(args);
        const Manifest after = TakeManifest(scratch.Root());
        EXPECT_TRUE(NothingLost(before, after, RuleFor(caseType)));
        EXPECT_EQ(TemporaryNames(after), Names{});
        EXPECT_EQ(run.signal, 0);
        return run;
    }

    // The report line of an entry that kept its name because the new one is taken.
    std::string Taken(const std::string& relative, const std::string& newName) const {
        return "'" + scratch.Path(relative) + "': der neue Name '" + newName + "' ist bereits vergeben";
    }

    Scratch scratch;
};

TEST_P(Collision, ReadmeBesideReadmeUnderLowerCase) {
    scratch.File("T/README");
    scratch.File("T/readme");
    const RunResult run = Run("-l", kCaseLower, {"T"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Path("t")), (Names{"README", "readme"}));
    EXPECT_TRUE(Contains(run.err, Taken("t/README", "readme"))) << run.err;
}

TEST_P(Collision, ReadmeBesideReadmeUnderUpperCase) {
    scratch.File("t/README");
    scratch.File("t/readme");
    const RunResult run = Run("-u", kCaseUpper, {"t"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Path("T")), (Names{"README", "readme"}));
    EXPECT_TRUE(Contains(run.err, Taken("T/readme", "README"))) << run.err;
}

TEST_P(Collision, ThreeSpellingsUnderEveryRule) {
    struct Rule {
        const char* option;
        std::int16_t caseType;
        const char* keeps;  // the spelling that already is the rule's
    };
    for (const Rule& rule : {Rule{"-l", kCaseLower, "foo"}, Rule{"-u", kCaseUpper, "FOO"},
                             Rule{"-c", kCaseInitialCapital, "Foo"}}) {
        SCOPED_TRACE(rule.option);
        // A folder name that no case rule changes.
        scratch.File("1/Foo");
        scratch.File("1/FOO");
        scratch.File("1/foo");
        const RunResult run = Run(rule.option, rule.caseType, {"1"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(NamesIn(scratch.Path("1")), (Names{"FOO", "Foo", "foo"}));
        EXPECT_EQ(CountOf(run.err, "' ist bereits vergeben"), 2U) << run.err;
        for (const char* name : {"Foo", "FOO", "foo"}) {
            if (std::string(name) != rule.keeps) {
                EXPECT_TRUE(Contains(run.err, Taken(std::string("1/") + name, rule.keeps))) << run.err;
            }
        }
        RemoveTree(scratch.Path("1"));
    }
}

TEST_P(Collision, StrasseBesideStrasseWithSharpS) {
    // Full case mapping changes the length: straße in upper case is STRASSE, which is taken; in
    // lower case STRASSE becomes strasse, which is not straße, so nothing collides.
    scratch.File("lower/STRASSE");
    scratch.File("lower/straße");
    RunResult run = Run("-l", kCaseLower, {"lower"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("lower")), (Names{"strasse", "straße"}));

    scratch.File("UPPER/STRASSE");
    scratch.File("UPPER/straße");
    run = Run("-u", kCaseUpper, {"UPPER"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Path("UPPER")), (Names{"STRASSE", "straße"}));
    EXPECT_TRUE(Contains(run.err, Taken("UPPER/straße", "STRASSE"))) << run.err;
}

TEST_P(Collision, InsideASubfolder) {
    scratch.File("Top/Sub/README");
    scratch.File("Top/Sub/readme");
    scratch.File("Top/Sub/Other.TXT");
    scratch.File("Top/Sub/Deeper/README");
    scratch.File("Top/Sub/Deeper/ReadMe");
    const RunResult run = Run("-l", kCaseLower, {"Top"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Path("top/sub")), (Names{"README", "deeper", "other.txt", "readme"}));
    // Whichever of README and ReadMe the listing gave first took "readme"; the other kept its name.
    const Names deeper = NamesIn(scratch.Path("top/sub/deeper"));
    EXPECT_TRUE(deeper == (Names{"README", "readme"}) || deeper == (Names{"ReadMe", "readme"}));
    EXPECT_TRUE(Contains(run.err, Taken("top/sub/README", "readme"))) << run.err;
    EXPECT_EQ(CountOf(run.err, "' ist bereits vergeben"), 2U) << run.err;
}

TEST_P(Collision, OnADroppedFile) {
    scratch.File("README");
    scratch.File("readme");
    scratch.File("OTHER");
    const RunResult run = Run("-l", kCaseLower, {"README", "OTHER"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"README", "other", "readme"}));
    EXPECT_TRUE(Contains(run.err, Taken("README", "readme"))) << run.err;
}

TEST_P(Collision, OnADroppedFolderWhichIsStillWalked) {
    scratch.File("DATA/INNER.TXT");
    scratch.File("data/KEEP.TXT");
    const RunResult run = Run("-l", kCaseLower, {"DATA"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"DATA", "data"}));
    EXPECT_EQ(NamesIn(scratch.Path("DATA")), Names{"inner.txt"});
    EXPECT_EQ(NamesIn(scratch.Path("data")), Names{"KEEP.TXT"});
    EXPECT_TRUE(Contains(run.err, Taken("DATA", "data"))) << run.err;
}

TEST_P(Collision, ManyPairsInOneFolderAllReported) {
    for (int i = 0; i < 50; ++i) {
        scratch.File("many/PAIR" + std::to_string(i));
        scratch.File("many/pair" + std::to_string(i));
        scratch.File("many/Single" + std::to_string(i));
    }
    const RunResult run = Run("-l", kCaseLower, {"many"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "50 Einträge haben ihren Namen behalten")) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("many")).size(), 150U);
}

TEST_P(Collision, DryRunChangesNothingAndReportsTheSame) {
    scratch.File("Dry/README");
    scratch.File("Dry/readme");
    scratch.File("Dry/Foo");
    scratch.File("Dry/FOO");
    scratch.File("Dry/Sub/STRASSE");
    scratch.File("Dry/Sub/straße");
    const Manifest before = TakeManifest(scratch.Root());
    // The real run first, for comparison; then the same tree again, dry.
    const RunResult run = Run("-u", kCaseUpper, {"Dry"});
    RemoveTree(scratch.Path("DRY"));
    scratch.File("Dry/README");
    scratch.File("Dry/readme");
    scratch.File("Dry/Foo");
    scratch.File("Dry/FOO");
    scratch.File("Dry/Sub/STRASSE");
    scratch.File("Dry/Sub/straße");
    std::vector<std::string> args{"-u", "-n"};
    if (GetParam()) {
        args.push_back("-t");
    }
    args.push_back(scratch.Path("Dry"));
    const RunResult dry = RunCli(args);
    EXPECT_EQ(dry.exitCode, 1);
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
    // The same entries are reported as in the real run: readme, Foo and straße keep their names.
    EXPECT_EQ(CountOf(dry.err, "' ist bereits vergeben"), 3U) << dry.err;
    EXPECT_EQ(CountOf(run.err, "' ist bereits vergeben"), 3U) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Methods, Collision, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "TwoMoves" : "Direct";
                         });

// The same collision through the drop batch with a stand-in window: the skipped entry reaches
// the window's summary with its reason, and the batch ends normally.
TEST(CollisionDropBatch, ReportedToTheWindow) {
    for (const std::int16_t direct : {std::int16_t{1}, std::int16_t{0}}) {
        SCOPED_TRACE(direct);
        Scratch scratch;
        scratch.File("README");
        scratch.File("readme");
        scratch.File("Sub/FOO");
        scratch.File("Sub/foo");
        const Manifest before = TakeManifest(scratch.Root());
        CurrentCaseType = kCaseLower;
        RenameDirect = direct;
        test::RecordingHost host;
        const BatchResult result =
            ProcessDrop(DropData{true, {scratch.Path("README"), scratch.Path("Sub")}}, host);
        const Manifest after = TakeManifest(scratch.Root());
        EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseLower)));
        EXPECT_EQ(TemporaryNames(after), Names{});
        EXPECT_TRUE(result.finished);
        ASSERT_EQ(host.skipped.size(), 2U);
        EXPECT_EQ(host.skipped[0].path, scratch.Path("README"));
        EXPECT_EQ(host.skipped[0].reason, "der neue Name 'readme' ist bereits vergeben");
        EXPECT_EQ(host.skipped[1].path, scratch.Path("sub/FOO"));
        EXPECT_EQ(host.beeps, 1);
    }
}

}  // namespace
}  // namespace versalo::fault
