// Interruption: SIGINT or SIGTERM in the middle of a large run stops the command line after the
// entry it is working on. Every entry then has its old or its new name, never a temporary one,
// the summary is printed, and then the program ends by that signal, so that a shell loop running
// it stops too. The signal is sent while the program is certainly mid-run: its listing output is
// held unread until the pipe is full.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "engine/drop_batch.h"
#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"
#include "tests/support/recording_host.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

struct Interruption {
    int signal;
    bool twoMove;  // many dropped files in two moves each, else one walked tree
};

void PrintTo(const Interruption& interruption, std::ostream* out) {
    *out << (interruption.signal == SIGINT ? "SIGINT" : "SIGTERM")
         << (interruption.twoMove ? ", two moves" : ", walk");
}

class Interrupted : public ::testing::TestWithParam<Interruption> {};

std::string Numbered(const char* pattern, int number) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

TEST_P(Interrupted, StopsAfterTheCurrentEntryAndLosesNothing) {
    const Interruption interruption = GetParam();
    Scratch scratch(/*inMemory=*/true);
    std::vector<std::string> args{"-u", "-v"};
    if (interruption.twoMove) {
        // 4,000 dropped files, each renamed in two moves through a temporary name: a signal
        // between the two moves must not leave the temporary name behind.
        args.push_back("-t");
        for (int i = 0; i < 4000; ++i) {
            const std::string relative = Numbered("dropped/file_%04d.txt", i);
            scratch.File(relative);
            args.push_back(scratch.Path(relative));
        }
    } else {
        // 20,000 files in 100 folders, walked.
        for (int f = 0; f < 100; ++f) {
            for (int i = 0; i < 200; ++i) {
                scratch.File(Numbered("tree/folder_%02d/", f) + Numbered("file_%03d.txt", i));
            }
        }
        args.push_back(scratch.Path("tree"));
    }
    const Manifest before = TakeManifest(scratch.Root());

    BackgroundCli cli(args);
    ASSERT_TRUE(cli.WaitUntilBlocked()) << "versalo-cli ended before its output filled the pipe";
    cli.Signal(interruption.signal);
    const RunResult run = cli.Finish();

    // Stopped cleanly (the summary is out), then ended by the signal itself.
    EXPECT_EQ(run.signal, interruption.signal) << run.err;
    EXPECT_TRUE(Contains(run.err, "abgebrochen")) << run.err;
    const Manifest after = TakeManifest(scratch.Root());
    std::size_t renamed = 0;
    EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseUpper), &renamed));
    EXPECT_EQ(TemporaryNames(after), Names{});
    // It did stop in the middle: some entries have their new name, some still the old one.
    EXPECT_GT(renamed, 0U);
    EXPECT_LT(renamed, before.size());
    std::printf("stopped after %zu of %zu entries\n", renamed, before.size());
    // Every rename the listing shows was made: the listing's lines are a subset of what changed.
    EXPECT_LE(CountOf(run.out, "\n"), renamed + 1);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupted,
                         ::testing::Values(Interruption{SIGINT, false}, Interruption{SIGTERM, false},
                                           Interruption{SIGINT, true}, Interruption{SIGTERM, true}),
                         [](const ::testing::TestParamInfo<Interruption>& param) {
                             return std::string(param.param.signal == SIGINT ? "Sigint" : "Sigterm") +
                                    (param.param.twoMove ? "DroppedFilesTwoMoves" : "WalkedTree");
                         });

TEST(InterruptedLoop, CtrlCStopsAShellLoopRunningTheProgram) {
    // for d in ...; do versalo-cli "$d"; done, and Ctrl+C (SIGINT to the whole job) while the
    // first folder is being renamed. A shell goes on with the loop when its child exits by itself
    // after a signal; only a child that ends by the signal stops it.
    Scratch scratch(/*inMemory=*/true);
    for (int i = 0; i < 3000; ++i) {
        scratch.File(Numbered("EINS/FILE_%04d.TXT", i));
    }
    scratch.File("ZWEI/FILE.TXT");
    scratch.File("DREI/FILE.TXT");
    const Manifest before = TakeManifest(scratch.Root());
    RunOptions options;
    options.processGroup = true;
    BackgroundCli shell(
        options, {"/bin/bash", "-c", "cli=$1; shift; for d in \"$@\"; do \"$cli\" -v \"$d\"; done", "bash",
                  CliPath(), scratch.Path("EINS"), scratch.Path("ZWEI"), scratch.Path("DREI")});
    ASSERT_TRUE(shell.WaitUntilBlocked()) << "the first run ended before its output filled the pipe";
    shell.SignalGroup(SIGINT);
    const RunResult run = shell.Finish();

    EXPECT_EQ(run.signal, SIGINT) << "the loop went on: " << run.err;  // the shell's status is 130
    EXPECT_TRUE(Contains(run.err, "abgebrochen")) << run.err;
    EXPECT_EQ(NamesIn(scratch.Root()), (Names{"DREI", "ZWEI", "eins"}));
    EXPECT_EQ(NamesIn(scratch.Path("ZWEI")), Names{"FILE.TXT"});
    const Manifest after = TakeManifest(scratch.Root());
    EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseLower)));
    EXPECT_EQ(TemporaryNames(after), Names{});
}

TEST(InterruptedBatch, QuitAtAnEventPointMakesNoFurtherRename) {
    // The same stop inside the drop batch: the user quits at an event point in the middle of the
    // walk; after that no rename is made and the batch skips its normal end.
    Scratch scratch;
    for (int f = 0; f < 20; ++f) {
        for (int i = 0; i < 10; ++i) {
            scratch.File(Numbered("TREE/F%02d/", f) + Numbered("FILE%02d", i));
        }
    }
    const Manifest before = TakeManifest(scratch.Root());
    CurrentCaseType = kCaseLower;
    RenameDirect = 0;
    test::RecordingHost host;
    Manifest atQuit;
    host.onEvents = [&](test::RecordingHost& self) {
        if (self.eventRounds == 5) {
            self.quit = true;
            atQuit = TakeManifest(scratch.Root());
        }
    };
    const BatchResult result = ProcessDrop(DropData{true, {scratch.Path("TREE")}}, host);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(host.beeps, 0);
    const Manifest after = TakeManifest(scratch.Root());
    EXPECT_EQ(after, atQuit);
    EXPECT_TRUE(NothingLost(before, after, RuleFor(kCaseLower)));
    EXPECT_EQ(TemporaryNames(after), Names{});
    EXPECT_EQ(BatchRunning, 0);
}

}  // namespace
}  // namespace versalo::fault
