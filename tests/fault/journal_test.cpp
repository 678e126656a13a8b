// The journal and its undo under attack: links put where folders were, lines that are not case
// changes, files that took a renamed name later, runs killed between journal line and rename,
// torn lines, runs on "..", journals of the earlier format, and dry runs of overlapping paths.
// After every undo nothing but what the run renamed may have changed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(Undo, ALinkNamedLikeItsTargetLeadsNowhere) {
    Scratch scratch;
    scratch.File("h/README.TXT", "a");
    scratch.File("m/readme.txt", "b");
    scratch.File("m/Photos/IMG.JPG", "c");
    scratch.Link("h/Photos", scratch.Path("m/Photos"));
    const Manifest before = TakeManifest(scratch.Root());
    const std::string journal = scratch.Path("J");
    ASSERT_EQ(RunCli({"--journal", journal, scratch.Path("h/README.TXT"), scratch.Path("h/Photos/IMG.JPG")})
                  .exitCode,
              0);
    const RunResult undo = RunCli({"-v", "--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
}

TEST(Undo, AFolderReplacedByALinkIsNotFollowed) {
    Scratch scratch;
    scratch.File("Fotos/BILD.JPG", "mine");
    scratch.File("Elsewhere/bild.jpg", "theirs");
    const std::string journal = scratch.Root() + ".journal";
    ASSERT_EQ(RunCli({"-l", "--journal", journal, scratch.Path("Fotos/BILD.JPG")}).exitCode, 0);
    // Between the run and the undo, the folder becomes a link to another place holding an
    // entry of the renamed name.
    ASSERT_EQ(::rename(scratch.Path("Fotos").c_str(), scratch.Path("Moved").c_str()), 0);
    scratch.Link("Fotos", scratch.Path("Elsewhere"));
    const Manifest before = TakeManifest(scratch.Root());
    const RunResult undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_TRUE(Contains(undo.err, "ohne einer symbolischen Verknüpfung zu folgen")) << undo.err;
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
}

TEST(Undo, ALineThatIsNoCaseChangeIsRefused) {
    Scratch scratch;
    scratch.File("etc/passwd", "root");
    scratch.File("etc/Notes.TXT", "notes");
    // Lines of both formats: the earlier one (no numbers) and the present one, whose inode and
    // folder fit exactly: only the names give it away.
    struct stat folder {};
    struct stat entry {};
    ASSERT_EQ(::stat(scratch.Path("etc").c_str(), &folder), 0);
    ASSERT_EQ(::stat(scratch.Path("etc/passwd").c_str(), &entry), 0);
    const std::string journal = scratch.Path("J");
    WriteText(journal,
              "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n"
              "{\"folder\":\"" +
                  scratch.Path("etc") +
                  "\",\"old\":\"shadow-moved\",\"new\":\"passwd\"}\n"
                  "{\"journal\":\"versalo\",\"format\":2,\"version\":\"2.6.5\"}\n"
                  "{\"folder\":1,\"path\":\"" +
                  scratch.Path("etc") + "\",\"dev\":" + std::to_string(folder.st_dev) +
                  ",\"ino\":" + std::to_string(folder.st_ino) +
                  "}\n"
                  "{\"folder\":1,\"ino\":" +
                  std::to_string(entry.st_ino) + ",\"old\":\"group\",\"new\":\"passwd\"}\n");
    const Manifest before = TakeManifest(scratch.Root());
    const RunResult undo = RunCli({"--undo", journal});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_EQ(CountOf(undo.err, "keine Schreibweisen desselben Namens"), 2U) << undo.err;
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
}

TEST(Undo, AFileThatTookTheNewNameLaterIsLeftAlone) {
    Scratch scratch;
    scratch.File("Ordner/BERICHT.DOC", "renamed by the run");
    const std::string journal = scratch.Path("J");
    ASSERT_EQ(RunCli({"--journal", journal, scratch.Path("Ordner/BERICHT.DOC")}).exitCode, 0);
    ASSERT_EQ(::rename(scratch.Path("Ordner/bericht.doc").c_str(), scratch.Path("weg.doc").c_str()), 0);
    scratch.File("Ordner/bericht.doc", "a new file");
    const Manifest before = TakeManifest(scratch.Root());
    const RunResult undo = RunCli({"--undo", journal});
    EXPECT_EQ(undo.exitCode, 1);
    EXPECT_TRUE(Contains(undo.err, "ein anderer Eintrag als der umbenannte")) << undo.err;
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
}

// LeakSanitizer refuses to run under a tracer; the other checks of an instrumented build stay on.
RunOptions UnderStrace() {
    RunOptions options;
    options.env.emplace_back("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1");
    return options;
}

// A run killed at the n-th call of a system call, by strace before the call is made.
RunResult KilledAt(const std::string& call, int n, const std::vector<std::string>& args) {
    std::vector<std::string> argv{"strace",
                                  "-o",
                                  "/dev/null",
                                  "-e",
                                  "trace=" + call,
                                  "-e",
                                  "inject=" + call + ":signal=SIGKILL:when=" + std::to_string(n),
                                  CliPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, UnderStrace());
}

TEST(Undo, KilledBetweenJournalLineAndRenameOrRightAfterTheRename) {
    if (RunProgram({"strace", "-V"}).exitCode != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    // Before the n-th rename (its line is written, the rename not made), and before the n-th
    // write (the line after a rename: killed right after that rename).
    for (const char* call : {"renameat2", "write"}) {
        for (int n = 1; n <= 7; ++n) {
            SCOPED_TRACE(std::string(call) + " " + std::to_string(n));
            Scratch scratch;
            for (const char* file : {"T/A.TXT", "T/B.TXT", "T/SUB/C.TXT", "T/SUB/D.TXT"}) {
                scratch.File(file);
            }
            const Manifest before = TakeManifest(scratch.Root());
            const std::string journal = scratch.Path("J");
            const RunResult killed = KilledAt(call, n, {"-t", "--journal", journal, scratch.Path("T")});
            EXPECT_NE(killed.exitCode, 0);
            if (::access(journal.c_str(), F_OK) != 0) {
                // Killed before the journal was opened (an instrumented build writes before).
                EXPECT_EQ(TakeManifest(scratch.Root()), before);
                continue;
            }
            const RunResult undo = RunCli({"--undo", journal});
            ::unlink(journal.c_str());
            EXPECT_EQ(undo.exitCode, 0) << undo.err;
            EXPECT_EQ(TakeManifest(scratch.Root()), before);
        }
    }
}

TEST(Undo, AJournalOfARunOnDotDot) {
    Scratch scratch;
    scratch.File("Work/Sub/FILE.TXT");
    scratch.File("Work/OTHER.TXT");
    const Manifest before = TakeManifest(scratch.Root());
    const std::string journal = scratch.Root() + ".journal";
    ASSERT_EQ(RunCli({"--journal", journal, scratch.Path("Work/Sub/..")}).exitCode, 0);
    ASSERT_NE(TakeManifest(scratch.Root()), before);
    EXPECT_FALSE(Contains(ReadText(journal), "..")) << ReadText(journal);
    const RunResult undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
}

TEST(Undo, AJournalOfTheEarlierFormatIsUndoneByteForByte) {
    // Written as the earlier version did: each byte one character, \u00XX beyond printable ASCII.
    Scratch scratch;
    scratch.File("Caf\xE9/\xC3\x84rger \"1\".txt", "a");
    scratch.File("Caf\xE9/b.txt", "b");
    const std::string journal = scratch.Root() + ".journal";
    WriteText(journal,
              "{\"journal\":\"versalo\",\"version\":\"2.6.5\"}\n"
              "{\"folder\":\"" +
                  scratch.Root() +
                  "/Caf\\u00E9\",\"old\":\"\\u00C3\\u0084RGER \\\"1\\\".TXT\","
                  "\"new\":\"\\u00C3\\u00A4rger \\\"1\\\".txt\"}\n"
                  "{\"folder\":\"" +
                  scratch.Root() + "/Caf\\u00E9\",\"old\":\"B.TXT\",\"new\":\"b.txt\"}\n");
    ASSERT_EQ(::rename(scratch.Path("Caf\xE9/\xC3\x84rger \"1\".txt").c_str(),
                       scratch.Path("Caf\xE9/\xC3\xA4rger \"1\".txt").c_str()),
              0);
    const RunResult undo = RunCli({"--undo", journal});
    ::unlink(journal.c_str());
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(NamesIn(scratch.Path("Caf\xE9")), (Names{"B.TXT", "\xC3\x84RGER \"1\".TXT"}));
}

TEST(Undo, TheJournalInsideTheRenamedTreeKeepsItsName) {
    Scratch scratch;
    scratch.File("Tree/FILE.TXT");
    const std::string journal = scratch.Path("Tree/JOURNAL.JSONL");
    const RunResult run = RunCli({"--journal", journal, scratch.Path("Tree")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "behält seinen Namen")) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("tree")), (Names{"JOURNAL.JSONL", "file.txt"}));
    const RunResult undo = RunCli({"--undo", scratch.Path("tree/JOURNAL.JSONL")});
    EXPECT_EQ(undo.exitCode, 0) << undo.err;
    EXPECT_EQ(NamesIn(scratch.Path("Tree")), (Names{"FILE.TXT", "JOURNAL.JSONL"}));
}

// Overlapping paths: what a dry run lists is exactly what the real run then does.
struct Overlap {
    const char* name;
    std::vector<std::string> paths;
};

class DryRunOfOverlappingPaths : public ::testing::TestWithParam<Overlap> {};

TEST_P(DryRunOfOverlappingPaths, ListsWhatTheRealRunDoes) {
    Scratch scratch;
    for (const char* file : {"A/B/C.TXT", "A/B/D/E.TXT", "A/F.TXT", "FILE", "DIR/X.TXT"}) {
        scratch.File(file);
    }
    std::vector<std::string> args{"-l", "-v"};
    for (const std::string& path : GetParam().paths) {
        args.push_back(scratch.Path(path));
    }
    std::vector<std::string> dryArgs = args;
    dryArgs[1] = "-n";
    const RunResult dry = RunCli(dryArgs);
    const RunResult real = RunCli(args);
    EXPECT_EQ(dry.out, real.out);
    EXPECT_EQ(dry.exitCode, real.exitCode) << dry.err << real.err;
}

INSTANTIATE_TEST_SUITE_P(Table, DryRunOfOverlappingPaths,
                         ::testing::Values(Overlap{"FolderBelowThenFolder", {"A/B", "A"}},
                                           Overlap{"FileTwice", {"FILE", "FILE"}},
                                           Overlap{"FolderTwice", {"DIR", "DIR"}},
                                           Overlap{"FileBelowThenFolder", {"A/B/C.TXT", "A/B"}},
                                           Overlap{"FolderThenBelow", {"A", "A/B/D"}},
                                           Overlap{"TwoLevelsBelowThenTop", {"A/B/D", "A/B/C.TXT", "A"}}),
                         [](const ::testing::TestParamInfo<Overlap>& param) { return param.param.name; });

TEST(Walk, ADroppedFolderSwappedForALinkRightAfterItsRenameIsReported) {
    if (RunProgram({"strace", "-V"}).exitCode != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    Scratch scratch;
    scratch.File("DROPPED/INNER.TXT", "mine");
    scratch.File("Elsewhere/OUTSIDE.TXT", "theirs");
    const Manifest outside = TakeManifest(scratch.Path("Elsewhere"));
    // The program pauses right after its first rename, the dropped folder's; meanwhile the folder
    // is swapped for a link.
    std::thread swapper([&] {
        for (int wait = 0; wait < 5000 && ::access(scratch.Path("dropped").c_str(), F_OK) != 0; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::rename(scratch.Path("dropped").c_str(), scratch.Path("Moved").c_str());
        ::symlink(scratch.Path("Elsewhere").c_str(), scratch.Path("dropped").c_str());
    });
    const RunResult run =
        RunProgram({"strace", "-o", "/dev/null", "-e", "trace=renameat2", "-e",
                    "inject=renameat2:delay_exit=300000:when=1", CliPath(), "-l", scratch.Path("DROPPED")},
                   UnderStrace());
    swapper.join();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "durch eine Verknüpfung ersetzt")) << run.err;
    EXPECT_EQ(TakeManifest(scratch.Path("Elsewhere")), outside);
}

}  // namespace
}  // namespace versalo::fault
