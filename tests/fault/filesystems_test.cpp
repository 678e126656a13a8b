// Real file systems and real refusals: a case-insensitive exFAT image, where a rename that only
// changes case must succeed in place under both methods; the command line run as an unprivileged
// user on folders it may not change; and a read-only bind mount. Where the machine cannot mount,
// the case is skipped with its reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_state.h"
#include "tests/fault/fault_support.h"

namespace versalo::fault {
namespace {

using Names = std::vector<std::string>;

void ExpectSafe(const Manifest& before, const Manifest& after, const NameRule& rule) {
    EXPECT_TRUE(NothingLost(before, after, rule));
    EXPECT_EQ(TemporaryNames(after), Names{});
}

class Exfat : public ::testing::TestWithParam<bool> {};

TEST_P(Exfat, CaseOnlyRenamesSucceedInPlace) {
    const bool twoMove = GetParam();
    Scratch work;
    ExfatMount exfat(work.Root());
    if (!exfat.Ok()) {
        GTEST_SKIP() << "no exFAT file system here: " << exfat.Reason();
    }
    // Build the tree on the image itself (Scratch writes relative to the mount point).
    const std::string dir = exfat.Dir();
    for (const char* folder : {"/Sub Folder", "/Sub Folder/DEEPER", "/Dropped Folder"}) {
        ASSERT_EQ(::mkdir((dir + folder).c_str(), 0755), 0) << folder;
    }
    for (const char* file : {"/README.TXT", "/Mixed.Case", "/Sub Folder/INNER FILE.TXT",
                             "/Sub Folder/DEEPER/\xC3\x9C"
                             "BER.TXT",
                             "/Dropped Folder/ONE.TXT", "/Alone.DOC"}) {
        const int fd = ::open((dir + file).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << file;
        const std::string content = std::string("content of ") + file;
        ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        ::close(fd);
    }
    std::vector<std::string> args{"-l"};
    if (twoMove) {
        args.push_back("-t");
    }
    // The image's root is walked (it is not renamed), a folder and a file are dropped by their
    // old spelling.
    for (const char* path : {"/Sub Folder", "/Dropped Folder", "/Alone.DOC", "/README.TXT", "/Mixed.Case"}) {
        args.push_back(dir + path);
    }
    Manifest before = TakeManifest(dir);
    RunResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    Manifest after = TakeManifest(dir);
    ExpectSafe(before, after, RuleFor(kCaseLower));
    EXPECT_EQ(NamesIn(dir), (Names{"alone.doc", "dropped folder", "mixed.case", "readme.txt", "sub folder"}));
    EXPECT_EQ(NamesIn(dir + "/sub folder"), (Names{"deeper", "inner file.txt"}));
    EXPECT_EQ(NamesIn(dir + "/sub folder/deeper"), Names{"\xC3\xBC"
                                                         "ber.txt"});

    // And back to upper case, the whole image walked through its mount point.
    args = {"-u"};
    if (twoMove) {
        args.push_back("-t");
    }
    args.push_back(dir + "/.");
    before = after;
    run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    after = TakeManifest(dir);
    ExpectSafe(before, after, RuleFor(kCaseUpper));
    EXPECT_EQ(NamesIn(dir), (Names{"ALONE.DOC", "DROPPED FOLDER", "MIXED.CASE", "README.TXT", "SUB FOLDER"}));
    EXPECT_EQ(NamesIn(dir + "/SUB FOLDER/DEEPER"), Names{"\xC3\x9C"
                                                         "BER.TXT"});
}

TEST_P(Exfat, RealCollisionOnACaseInsensitiveFileSystem) {
    // exFAT folds case with its own table, which leaves ß alone: straße and STRASSE are two
    // different entries there. Upper case of straße finds the other one; both must stay.
    Scratch work;
    ExfatMount exfat(work.Root());
    if (!exfat.Ok()) {
        GTEST_SKIP() << "no exFAT file system here: " << exfat.Reason();
    }
    const std::string dir = exfat.Dir();
    for (const char* file : {"/straße", "/STRASSE", "/Other"}) {
        const int fd = ::open((dir + file).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << file << ": " << std::strerror(errno);
        ASSERT_EQ(::write(fd, file, std::strlen(file)), static_cast<ssize_t>(std::strlen(file)));
        ::close(fd);
    }
    std::vector<std::string> args{"-u"};
    if (GetParam()) {
        args.push_back("-t");
    }
    args.push_back(dir + "/straße");
    args.push_back(dir + "/.");
    const Manifest before = TakeManifest(dir);
    const RunResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 1);
    ExpectSafe(before, TakeManifest(dir), RuleFor(kCaseUpper));
    EXPECT_EQ(NamesIn(dir), (Names{"OTHER", "STRASSE", "straße"}));
    EXPECT_EQ(CountOf(run.err, "der neue Name 'STRASSE' ist bereits vergeben"), 2U) << run.err;
}

TEST_P(Exfat, AGivenSpellingThatFindsTheWantedNameIsDone) {
    // "readme" reaches README on a file system that ignores case: upper case has nothing to do.
    Scratch work;
    ExfatMount exfat(work.Root());
    if (!exfat.Ok()) {
        GTEST_SKIP() << "no exFAT file system here: " << exfat.Reason();
    }
    const int fd = ::open((exfat.Dir() + "/README").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::vector<std::string> args{"-u"};
    if (GetParam()) {
        args.push_back("-t");
    }
    args.push_back(exfat.Dir() + "/readme");
    const RunResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(NamesIn(exfat.Dir()), Names{"README"});
}

TEST_P(Exfat, JournalAndUndo) {
    // Inode numbers there hold only for lookups by the stored spelling, and the case-only moves
    // back go through a temporary name over a placeholder: every name must come back.
    Scratch work;
    ExfatMount exfat(work.Root());
    if (!exfat.Ok()) {
        GTEST_SKIP() << "no exFAT file system here: " << exfat.Reason();
    }
    const std::string dir = exfat.Dir();
    ASSERT_EQ(::mkdir((dir + "/Sub Folder").c_str(), 0755), 0);
    for (const char* file : {"/Sub Folder/INNER.TXT", "/README", "/Mixed.Case"}) {
        const int fd = ::open((dir + file).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_GE(fd, 0) << file;
        ::close(fd);
    }
    const Manifest before = TakeManifest(dir);
    const std::string journal = work.Path("journal");
    std::vector<std::string> args{"-l", "--journal", journal};
    if (GetParam()) {
        args.push_back("-t");
    }
    args.push_back(dir + "/.");
    RunResult run = RunCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(NamesIn(dir), (Names{"mixed.case", "readme", "sub folder"}));
    run = RunCli({"--undo", journal});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TakeManifest(dir), before);
}

INSTANTIATE_TEST_SUITE_P(Methods, Exfat, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "TwoMoves" : "Direct";
                         });

bool IsFuse(const std::string& dir) {
    struct statfs info {};
    constexpr long kFuseMagic = 0x65735546;
    return ::statfs(dir.c_str(), &info) == 0 && info.f_type == kFuseMagic;
}

// A FUSE file system that refuses the no-replace flag (bindfs over a folder), and a second
// program that creates the target name exclusively while the command line renames an entry to
// it. Whoever gets the name first keeps it: the entry is renamed or kept under its old name, the
// other program's file is never replaced.
TEST(NoReplaceFlagRefused, ARacingProgramNeverLosesItsFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a thousand runs of the instrumented program take too long; the normal build runs it";
#endif
    Scratch scratch;
    const std::string source = scratch.Path("source");
    const std::string dir = scratch.Path("bound");
    ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    if (::geteuid() != 0 || RunProgram({"bindfs", source, dir}).exitCode != 0) {
        GTEST_SKIP() << "bindfs (package bindfs) cannot mount here";
    }
    struct Unbind {
        std::string dir;
        ~Unbind() { Unmount(dir); }
    } unbind{dir};
    // The mount is there once the folder answers as a FUSE file system.
    for (int wait = 0; wait < 100 && !IsFuse(dir); ++wait) {
        ::usleep(20000);
    }
    const std::string victim = dir + "/VICTIM.TXT";
    const std::string target = dir + "/victim.txt";
    MakeFileAt(AT_FDCWD, victim, "probe");
    if (::renameat2(AT_FDCWD, victim.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0 ||
        errno != EINVAL) {
        GTEST_SKIP() << "this bindfs accepts the no-replace flag";
    }
    ::unlink(victim.c_str());

    constexpr int kRuns = 1000;
    int theirs = 0;
    int lost = 0;
    for (int run = 0; run < kRuns; ++run) {
        MakeFileAt(AT_FDCWD, victim, "mine");
        const pid_t other = ::fork();
        ASSERT_GE(other, 0);
        if (other == 0) {
            // Starts at a moment around the rename, then tries for a while to get the name.
            ::usleep(static_cast<useconds_t>((run * 7919) % 3000));
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(15);
            while (std::chrono::steady_clock::now() < end) {
                const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                if (fd >= 0) {
                    const bool written = ::write(fd, "theirs", 6) == 6;
                    ::close(fd);
                    ::_exit(written ? 0 : 2);
                }
            }
            ::_exit(1);
        }
        const RunResult cli = RunCli(run % 2 == 0 ? std::vector<std::string>{"-l", victim}
                                                  : std::vector<std::string>{"-l", "-t", victim});
        int status = 0;
        ::waitpid(other, &status, 0);
        const bool otherWon = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        const Manifest after = TakeManifest(source);
        Manifest expected;
        if (otherWon) {
            ++theirs;
            expected["VICTIM.TXT"] = FileItem("mine");
            expected["victim.txt"] = FileItem("theirs");
        } else {
            expected["victim.txt"] = FileItem("mine");
        }
        if (after != expected) {
            ++lost;
            ADD_FAILURE() << "run " << run << ": the other program " << (otherWon ? "won" : "lost")
                          << ", exit " << cli.exitCode << ": " << cli.err;
        }
        for (const auto& [name, item] : after) {
            ::unlink((dir + "/" + name).c_str());  // through the mount, so that its caches know
        }
    }
    std::printf("%d runs, the other program won the name %d times, files lost: %d\n", kRuns, theirs, lost);
    EXPECT_EQ(lost, 0);
}

// Why the unprivileged user cannot reach path (a folder above it closed to others), or "".
std::string Unreachable(const std::string& path) {
    for (std::string folder = path; folder.size() > 1; folder = folder.substr(0, folder.rfind('/'))) {
        struct stat status {};
        if (::stat(folder.c_str(), &status) != 0 || (status.st_mode & S_IXOTH) == 0) {
            return folder + " is closed to other users; set TMPDIR to a folder they can reach";
        }
        if (folder.rfind('/') == 0) {
            break;
        }
    }
    return {};
}

// Gives a folder to the unprivileged user.
void GiveAway(const std::string& path) {
    ASSERT_EQ(::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0) << path;
}

TEST(Permissions, UnprivilegedUserOnFoldersItMayNotChange) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root; the tests run as uid " << ::geteuid();
    }
    Scratch scratch;
    if (const std::string reason = Unreachable(scratch.Root()); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    scratch.File("TREE/OPEN/FILE.TXT");
    scratch.File("TREE/ROOTFILE.TXT");
    scratch.File("TREE/LOCKED/INNER.TXT");
    scratch.File("TREE/SECRET/HIDDEN.TXT");
    scratch.File("TREE/STICKY/ROOTS.TXT");
    scratch.File("TREE/STICKY/MINE.TXT");
    // TREE and OPEN belong to the user; LOCKED is root's and read-only for others, SECRET root's
    // and closed, STICKY open to all but sticky, so only owners may rename in it.
    GiveAway(scratch.Path("TREE"));
    GiveAway(scratch.Path("TREE/OPEN"));
    GiveAway(scratch.Path("TREE/OPEN/FILE.TXT"));
    GiveAway(scratch.Path("TREE/STICKY/MINE.TXT"));
    ASSERT_EQ(::chmod(scratch.Path("TREE/SECRET").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(scratch.Path("TREE/STICKY").c_str(), 01777), 0);

    const Manifest before = TakeManifest(scratch.Root());
    RunOptions asNobody;
    asNobody.unprivileged = true;
    const RunResult run = RunCli({"-l", scratch.Path("TREE")}, asNobody);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const Manifest after = TakeManifest(scratch.Root());
    ExpectSafe(before, after, RuleFor(kCaseLower));

    // TREE itself sits in root's folder: kept, but still walked under its name.
    EXPECT_EQ(NamesIn(scratch.Root()), Names{"TREE"});
    EXPECT_TRUE(Contains(run.err, "'" + scratch.Path("TREE") + "': Zugriff verweigert")) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("TREE")), (Names{"locked", "open", "rootfile.txt", "secret", "sticky"}));
    EXPECT_EQ(NamesIn(scratch.Path("TREE/open")), Names{"file.txt"});
    EXPECT_EQ(NamesIn(scratch.Path("TREE/locked")), Names{"INNER.TXT"});
    EXPECT_TRUE(Contains(run.err, "'" + scratch.Path("TREE/locked/INNER.TXT") + "': Zugriff verweigert"))
        << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("TREE/secret")), Names{"HIDDEN.TXT"});
    EXPECT_TRUE(Contains(run.err, "'" + scratch.Path("TREE/secret") + "': der Ordner kann nicht")) << run.err;
    EXPECT_EQ(NamesIn(scratch.Path("TREE/sticky")), (Names{"ROOTS.TXT", "mine.txt"}));
    EXPECT_TRUE(Contains(run.err, "'" + scratch.Path("TREE/sticky/ROOTS.TXT") + "': Zugriff verweigert"))
        << run.err;
}

TEST(Permissions, UnprivilegedTwoMovesInAFolderItMayNotWrite) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root; the tests run as uid " << ::geteuid();
    }
    // The temporary name cannot even be created: the item keeps its name, nothing is left over.
    Scratch scratch;
    if (const std::string reason = Unreachable(scratch.Root()); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    scratch.File("LOCKED/ITEM.TXT");
    scratch.File("LOCKED/FOLDER/INNER.TXT");
    const Manifest before = TakeManifest(scratch.Root());
    RunOptions asNobody;
    asNobody.unprivileged = true;
    const RunResult run =
        RunCli({"-l", "-t", scratch.Path("LOCKED/ITEM.TXT"), scratch.Path("LOCKED/FOLDER")}, asNobody);
    EXPECT_EQ(run.exitCode, 1);
    ExpectSafe(before, TakeManifest(scratch.Root()), RuleFor(kCaseLower));
    EXPECT_EQ(TakeManifest(scratch.Root()), before);
    EXPECT_EQ(CountOf(run.err, "Zugriff verweigert"), 3U) << run.err;
}

TEST(Permissions, ReadOnlyBindMount) {
    Scratch scratch;
    scratch.File("SOURCE/FILE.TXT");
    scratch.File("SOURCE/SUB/INNER.TXT");
    ReadOnlyBind bind(scratch.Path("SOURCE"), scratch.Root());
    if (!bind.Ok()) {
        GTEST_SKIP() << "no read-only bind mount here: " << bind.Reason();
    }
    const Manifest before = TakeManifest(scratch.Path("SOURCE"));
    for (const bool twoMove : {false, true}) {
        SCOPED_TRACE(twoMove);
        std::vector<std::string> args{"-l"};
        if (twoMove) {
            args.push_back("-t");
        }
        args.push_back(bind.Dir() + "/FILE.TXT");
        args.push_back(bind.Dir() + "/SUB");
        const RunResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(TakeManifest(scratch.Path("SOURCE")), before);
        EXPECT_EQ(CountOf(run.err, "das Dateisystem ist schreibgeschützt"), 3U) << run.err;
    }
}

// A tmpfs mounted at a new folder, unmounted when the test ends.
class TmpfsAt {
public:
    explicit TmpfsAt(std::string dir) : m_dir(std::move(dir)) {
        ::mkdir(m_dir.c_str(), 0755);
        m_mounted = ::mount("tmpfs", m_dir.c_str(), "tmpfs", 0, "size=1m") == 0;
        m_error = errno;
    }
    ~TmpfsAt() {
        if (m_mounted) {
            Unmount(m_dir);
        }
    }
    TmpfsAt(const TmpfsAt&) = delete;
    TmpfsAt& operator=(const TmpfsAt&) = delete;
    bool Ok() const { return m_mounted; }
    std::string Reason() const { return std::strerror(m_error); }

private:
    std::string m_dir;
    bool m_mounted = false;
    int m_error = 0;
};

TEST(OneFileSystem, MountsInsideAreLeftAloneWithXAndWalkedWithout) {
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        Names mounted;  // the names in each mounted file system afterwards
        bool listed;    // the mount points are listed at the end
    };
    // Without -x the mounted file systems are walked; a mount point itself cannot be renamed
    // (the system answers EBUSY), so it is reported and keeps its name.
    for (const Case& c : {Case{{"-x"}, 0, {"INNER.TXT"}, true}, Case{{"--one-file"}, 0, {"INNER.TXT"}, true},
                          Case{{}, 1, {"inner.txt"}, false}}) {
        SCOPED_TRACE(c.options.empty() ? "default" : c.options.front());
        Scratch scratch;
        scratch.File("TOP/A.TXT");
        scratch.File("TOP/sub/B.TXT");
        TmpfsAt mount(scratch.Path("TOP/MNT"));
        TmpfsAt deep(scratch.Path("TOP/sub/DEEP"));
        if (!mount.Ok() || !deep.Ok()) {
            GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.Reason();
        }
        scratch.File("TOP/MNT/INNER.TXT");
        scratch.File("TOP/sub/DEEP/INNER.TXT");
        std::vector<std::string> args = c.options;
        args.push_back(scratch.Path("TOP/."));
        const RunResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(NamesIn(scratch.Path("TOP")), (Names{"MNT", "a.txt", "sub"}));
        EXPECT_EQ(NamesIn(scratch.Path("TOP/sub")), (Names{"DEEP", "b.txt"}));
        EXPECT_EQ(NamesIn(scratch.Path("TOP/MNT")), c.mounted);
        EXPECT_EQ(NamesIn(scratch.Path("TOP/sub/DEEP")), c.mounted);
        EXPECT_EQ(
            Contains(run.err, "2 Ordner auf anderen Dateisystemen wurden weder umbenannt noch betreten:\n"),
            c.listed)
            << run.err;
        EXPECT_EQ(Contains(run.err, "'" + scratch.Path("TOP/./MNT") + "'\n"), c.listed) << run.err;
        EXPECT_EQ(Contains(run.err, "'" + scratch.Path("TOP/./sub/DEEP") + "'\n"), c.listed) << run.err;
        EXPECT_EQ(CountOf(run.err, "wird gerade benutzt"), c.listed ? 0U : 2U) << run.err;
    }
}

}  // namespace
}  // namespace versalo::fault
