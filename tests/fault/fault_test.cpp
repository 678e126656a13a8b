// The fault suite: what only real file systems, users, mounts, races and signals can show. Each
// case checks that nothing is lost: the same files with the same contents afterwards, whatever
// their names, and no temporary "ZX" name left. What this machine cannot do is skipped.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "tests/support/run.h"
#include "tests/support/temp_tree.h"

namespace versalo::test {
namespace {

using Strings = std::vector<std::string>;
const bool root = ::geteuid() == 0;
constexpr const char* kNoLeakCheck = "ASAN_OPTIONS=detect_leaks=0";  // LeakSanitizer refuses a tracer

// Runs versalo-cli under strace, which acts at a system call: injection is "call:action:when=n", and
// only calls on the file "only" count when it is given.
RunResult Strace(const std::string& injection, Strings args, const std::string& folder,
                 const std::string& only = "") {
    const std::string call = "trace=" + injection.substr(0, injection.find(':'));
    args.insert(args.begin(), {"strace", "-f", "-o", "/dev/null", "-e", call, "-e", "inject=" + injection,
                               VERSALO_CLI_BUILT});
    if (!only.empty()) {
        args.insert(args.begin() + 1, {"-P", only});
    }
    return RunProgram(args, {.folder = folder, .env = {kNoLeakCheck}});
}

// A fresh 16 MiB image of the file system fs on a loop device (or the image of another, again),
// mounted in dir (exFAT with exfat-fuse); m_reason empty when it is. The image lies in a folder of
// its own: its bytes change whenever the kernel writes the mount back, and it must not be part of
// a tree's snapshot.
struct Image {
    Image(const std::string& fs, const std::string& dir, const std::string& image = "")
        : m_dir(dir), m_image(image.empty() ? m_images.Path("image") : image) {
        std::filesystem::create_directories(dir);
        const std::string mounter = fs == "exfat" ? "mount.exfat-fuse" : "mount";
        if (!root || ::access("/dev/loop-control", F_OK) != 0 ||
            RunProgram({"which", "mkfs." + fs, mounter}).status != 0) {
            m_reason = "no " + fs + " here (needs root, a loop device, mkfs." + fs + ", " + mounter + ")";
            return;
        }
        if (image.empty()) {
            m_images.File("image", std::string(1, '\0'));
            ::truncate(m_image.c_str(), 16 << 20);
            RunProgram({"mkfs." + fs, m_image});
        }
        // Beside other tests, or another run, that set up and detach loop devices, a free device
        // can be taken in between and a mount fail for a moment: a few tries, then the test fails.
        RunResult step;
        for (int attempt = 1; attempt <= 10; ++attempt) {
            step = RunProgram({"losetup", "--find", "--show", m_image});
            m_loop = step.out.substr(0, step.out.find('\n'));
            if (step.status == 0 && (step = RunProgram({mounter, m_loop, dir})).status == 0) {
                return;
            }
            DetachLoop();
            std::this_thread::sleep_for(std::chrono::milliseconds(50 * attempt));
        }
        m_reason = "no " + fs + " mounted: " + step.err;
        ADD_FAILURE() << m_reason;
    }
    // Unmounted for good before the loop device goes, so that the image can be mounted again at
    // once (lazily only if it stays busy); then the loop device, once: trying again later could
    // detach a device that another test has been given meanwhile.
    void Detach() {
        if (!WaitUntil(
                [&] {
                    return RunProgram({"mountpoint", "-q", m_dir}).status != 0 ||
                           RunProgram({"umount", m_dir}).status == 0;
                },
                200)) {
            RunProgram({"umount", "-l", m_dir});
        }
        DetachLoop();
    }
    void DetachLoop() {
        if (!m_loop.empty()) {
            RunProgram({"losetup", "--detach", m_loop});
        }
        m_loop.clear();
    }
    ~Image() { Detach(); }
    TempTree m_images;
    std::string m_dir;
    std::string m_image;
    std::string m_loop;
    std::string m_reason;
};

ino_t InodeOf(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

class Methods : public ::testing::TestWithParam<bool> {
protected:
    // versalo-cli in folder with the method of the case; checks that nothing was lost.
    RunResult Cli(TempTree& tree, Strings args, const std::string& folder = "", RunOptions options = {}) {
        args.insert(args.begin(), {"versalo-cli", GetParam() ? "-t" : "-l"});
        const Snapshot before = tree.Snapshot();
        options.folder = tree.Path(folder);
        const RunResult run = RunProgram(args, options);
        EXPECT_TRUE(NothingLost(before, tree.Snapshot()));
        return run;
    }
};

// exFAT, which keeps one spelling of a name: case-only renames in place, found by any spelling;
// undone after a remount.
TEST_P(Methods, ExfatRenamesCaseOnlyInPlaceAndFindsAGivenSpelling) {
    TempTree tree;
    Image exfat("exfat", tree.Path("x"));
    if (!exfat.m_reason.empty()) {
        GTEST_SKIP() << exfat.m_reason;
    }
    tree.Build("x/Sub Folder/DEEPER/ÜBER.TXT|x/README.TXT|x/Alone.DOC|x/straße|x/STRASSE");
    EXPECT_EQ(Cli(tree, {"-u", "readme.txt", "alone.doc"}, "x").status, 0);  // another spelling finds it
    EXPECT_EQ(tree.Names("x"), (Strings{"ALONE.DOC", "README.TXT", "STRASSE", "Sub Folder", "straße"}));
    RunResult run = Cli(tree, {"Sub Folder", "."}, "x");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Names("x"), (Strings{"alone.doc", "readme.txt", "strasse", "straße", "sub folder"}));
    EXPECT_EQ(tree.Names("x/sub folder/deeper"), Strings{"über.txt"});
    // exFAT folds case by its own table, which leaves ß alone: straße and STRASSE are two names.
    run = Cli(tree, {"-u", "straße"}, "x");
    EXPECT_NE(run.err.find("der neue Name 'STRASSE' ist bereits vergeben"), std::string::npos) << run.err;

    // A file system that answers a case-only rename with success and keeps the old spelling (some
    // FAT and SMB set-ups), played by a preloaded shim on exFAT, which ignores case as they do.
    const char* asan = std::getenv("ASAN_OPTIONS");  // a preloaded library does not come first
    run = Cli(tree, {"-u", "readme.txt"}, "x",
              {.env = {"LD_PRELOAD=" VERSALO_KEEP_SHIM, "VERSALO_TEST_KEEP=readme.txt",
                       std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                           ":verify_asan_link_order=0"}});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(tree.Names("x").at(1), "readme.txt");
    EXPECT_NE(
        run.err.find("'readme.txt': das Dateisystem hat die Umbenennung gemeldet, aber die Schreibweise "
                     "nicht geändert (es unterscheidet Groß- und Kleinschreibung nicht); der Eintrag "
                     "heißt weiter 'readme.txt'"),
        std::string::npos)
        << run.err;

    // The folder cannot be read after the rename (every getdents64 from the check on fails): the
    // new spelling is not confirmed, and the entry is listed as such, not counted as renamed.
    const RunResult unread =
        Strace("getdents64:error=EIO:when=3+",
               GetParam() ? Strings{"-v", "-t", "-u", "readme.txt"} : Strings{"-v", "-u", "readme.txt"},
               tree.Path("x"));
    EXPECT_EQ(unread.status, 1) << unread.err;
    EXPECT_EQ(unread.out, "'readme.txt' -> 'README.TXT'\n");  // the listing has the rename
    EXPECT_NE(unread.err.find("1 Eintrag wurde umbenannt, aber seine neue Schreibweise ist nicht bestätigt:\n"
                              "'readme.txt': das Dateisystem hat die Umbenennung gemeldet, aber der Ordner "
                              "kann danach nicht gelesen werden, um die neue Schreibweise zu prüfen: "
                              "Ein-/Ausgabefehler"),
              std::string::npos)
        << unread.err;

    // exfat-fuse numbers entries in the order it meets them after a mount: undo goes by name, size
    // and time there, and says so of an entry that changed.
    tree.Build(Numbered(22, [](int i) { return "x/r/DATEI" + std::to_string(i) + ".TXT"; }) +
               "|x/r/ORDNER/INNEN.TXT");
    const std::string journal = exfat.m_images.Path("j");
    ASSERT_EQ(Cli(tree, {"--journal", journal, "."}, "x/r").status, 0);
    RunProgram({"umount", "-l", exfat.m_dir});
    WaitUntil([&] { return RunProgram({"mount.exfat-fuse", exfat.m_loop, exfat.m_dir}).status == 0; });
    Strings names = tree.Names("x/r");
    for (auto name = names.rbegin(); name != names.rend(); ++name) {  // met in another order now
        InodeOf(tree.Path("x/r/" + *name));
    }
    std::ofstream(tree.Path("x/r/datei7.txt"), std::ios::app) << "more";
    const RunResult undo = RunProgram({"versalo-cli", "--undo", journal});
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.err.find("'" + exfat.m_dir +
                            "/r/datei7.txt': auf diesem Dateisystem (FAT, exFAT) bleiben "
                            "Inode-Nummern nicht"),
              std::string::npos)
        << undo.err;
    EXPECT_EQ(undo.err.find("anderer Eintrag"), std::string::npos) << undo.err;
    names = tree.Names("x/r");
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& n) { return n.starts_with("DATEI"); }),
              21);
    EXPECT_EQ(tree.Names("x/r/ORDNER"), Strings{"INNEN.TXT"});
}

// The name is taken by another program after the program looked: for the direct method right
// before its rename, for two moves between the first and the second move, so that the entry has
// to be moved back from its temporary name.
TEST_P(Methods, ANameTakenInTheMiddleOfTheRenameIsNeverOverwritten) {
    TempTree tree;
    tree.File("FILE.TXT", "mine");
    std::thread other([&] {
        if (GetParam()) {
            WaitUntil([&] { return !std::filesystem::exists(tree.Path("FILE.TXT")); });
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));  // into the delayed rename
        }
        tree.File("file.txt", "theirs");
    });
    const RunResult run =
        Strace(GetParam() ? "renameat2:delay_exit=500000:when=1" : "renameat2:delay_enter=1500000:when=1",
               {GetParam() ? "-t" : "-l", "FILE.TXT"}, tree.Root());
    other.join();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("bereits vergeben"), std::string::npos) << run.err;
    EXPECT_EQ(tree.Snapshot(), (Snapshot{{"FILE.TXT", "mine"}, {"file.txt", "theirs"}}));
    if (GetParam()) {
        // Neither the second move nor the way back: the entry stays under its temporary name and
        // is listed as such, not among those that kept their names.
        tree.File("x/STUCK", "stuck");
        const RunResult stuck = Strace("renameat2:error=EACCES:when=2+", {"-t", "STUCK"}, tree.Path("x"));
        const Strings names = tree.Names("x");
        ASSERT_EQ(names.size(), 1U);
        EXPECT_NE(
            stuck.err.find("1 Eintrag steht unter einem vorläufigen Namen statt unter seinem alten oder "
                           "neuen:\n'STUCK': der Eintrag kann nicht unter seinen alten Namen zurück: "
                           "Zugriff verweigert; der Eintrag heißt jetzt '" +
                           names[0] + "'"),
            std::string::npos)
            << stuck.err;
    }
}

TEST_P(Methods, DeeperThanThePathLimitWithJournalAndUndo) {
    TempTree tree;
    std::string path = "TOP";
    for (int level = 0; level < 900; ++level) {  // about 8,100 bytes: twice the limit
        path += "/LEVEL" + std::to_string(level);
    }
    tree.Build(path + "/FILE.TXT|" + path.substr(0, 4000) + "/OTHER.TXT");
    const Snapshot before = tree.Snapshot();
    TempTree work;
    const RunResult run = Cli(tree, {"--journal", work.Path("j"), "."}, "TOP");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(tree.Snapshot().count("TOP/level0/level1/level2"), 1U);
    EXPECT_EQ(RunProgram({"versalo-cli", "--undo", work.Path("j")}).status, 0);
    EXPECT_EQ(tree.Snapshot(), before);
}

TEST_P(Methods, ATreeChangedByAnotherProgramWhileTheRunIsHeldUp) {
    TempTree tree;
    tree.Build(Numbered(2000, [](int i) {  // the listing fills its 64 KiB within the first 20 folders
        return "T/D" + std::to_string(i / 50) + "/EIN_NAME_DER_DIE_AUSGABE_FUELLT_" + std::to_string(i);
    }));
    Snapshot expected = tree.Snapshot();
    Process cli({"versalo-cli", "-v", GetParam() ? "-t" : "-l", "T"}, {.folder = tree.Root()});
    ASSERT_TRUE(cli.WaitUntilBlocked());
    for (int folder = 30; folder < 40; ++folder) {
        const std::string name = "T/D" + std::to_string(folder);
        std::filesystem::remove_all(
            tree.Path(std::filesystem::exists(tree.Path(name)) ? name : "t/d" + std::to_string(folder)));
        std::erase_if(expected, [&](const auto& entry) { return entry.first.starts_with(name); });
        expected["new" + name] = "new";
        tree.File(
            (std::filesystem::exists(tree.Path("T")) ? "T/D" : "t/d") + std::to_string(folder - 30) + "/NEW",
            "new");
    }
    EXPECT_LE(cli.Finish().status, 1);
    EXPECT_TRUE(NothingLost(expected, tree.Snapshot()));
}

// A run killed before its third rename (its line written) or before its 7th journal write (right
// after a rename): the undo brings every name back. An undo killed at each of its renames in turn
// (points 1 on), then run again, brings every name back too: each step it finished is passed over,
// the rest is done. (A step inside a folder that the killed undo had given its old name back is
// reported by the second one as unreachable: it is done already.)
TEST_P(Methods, KilledRunOrUndoIsUndone) {
    int killed = 0;
    for (int point = -1; point < 20; ++point) {
        TempTree tree;
        TempTree work;
        tree.Build("A/B/C.TXT|A/D.TXT|A/E.TXT|F.TXT");
        const Snapshot before = tree.Snapshot();
        const Strings run{"versalo-cli", GetParam() ? "-t" : "-l", "--journal", work.Path("j"), "A", "F.TXT"};
        const Strings undo{"versalo-cli", "--undo", work.Path("j")};
        if (point < 1) {
            Strace(point < 0 ? "renameat2:signal=SIGKILL:when=3" : "write:signal=SIGKILL:when=7",
                   {run.begin() + 1, run.end()}, tree.Root(), point < 0 ? "" : work.Path("j"));
            EXPECT_NE(tree.Snapshot(), before) << point;
        } else {
            ASSERT_EQ(RunProgram(run, {.folder = tree.Root()}).status, 0);
            const RunResult result = Strace("renameat2:signal=SIGKILL:when=" + std::to_string(point),
                                            {undo.begin() + 1, undo.end()}, tree.Root());
            EXPECT_TRUE(NothingLost(before, tree.Snapshot()));
            if (result.status == 0) {
                EXPECT_EQ(tree.Snapshot(), before);
                break;  // no rename left to be killed at
            }
            ++killed;
        }
        EXPECT_LE(RunProgram(undo).status, point < 1 ? 0 : 1) << point;
        EXPECT_EQ(tree.Snapshot(), before) << point;
    }
    EXPECT_EQ(killed, 6);  // five renames and the folder A, each taken back at its own point
}

// SIGTERM to the program; Ctrl+C to a shell loop, as the terminal sends SIGINT to the whole job:
// the loop stops with the first folder. The run ends by the signal, the summary printed.
TEST_P(Methods, InterruptedBySignalStopsAfterTheCurrentEntry) {
    for (const int signal : {SIGINT, SIGTERM}) {
        TempTree tree;
        tree.Build(Numbered(3000, [](int i) {  // more than the 64 KiB the listing holds back, in each folder
            return "D" + std::to_string(i % 3) + "/EIN_NAME_DER_DIE_AUSGABE_FUELLT_" + std::to_string(i);
        }));
        const Snapshot before = tree.Snapshot();
        const std::string cli = std::string("'") + VERSALO_CLI_BUILT + "' -v " + (GetParam() ? "-t " : "-l ");
        Process run({"bash", "-c",
                     signal == SIGTERM ? "exec " + cli + "D0 D1 D2"
                                       : "for d in D0 D1 D2; do " + cli + "\"$d\"; done"},
                    {.folder = tree.Root(), .processGroup = true});
        ASSERT_TRUE(run.WaitUntilBlocked());
        run.Signal(signal);
        const RunResult result = run.Finish();
        EXPECT_EQ(result.signal, signal);
        EXPECT_NE(result.err.find("abgebrochen nach"), std::string::npos) << result.err;
        EXPECT_TRUE(NothingLost(before, tree.Snapshot()));
        EXPECT_EQ(tree.Names(), (Strings{"D1", "D2", "d0"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Both, Methods, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "TwoMoves" : "Direct"; });

// ---- Undo that knows exactly what it renamed: identities across mounts, one run per journal ----

// Two images made the same way number their files the same way: the journal of the first renames
// nothing on the second (even under the same device number), and the first, mounted again under
// another device number, is still recognised by its file system's identity.
TEST(UndoIdentity, TwoImagesMadeTheSameWay) {
    for (int run = 0; run < 5; ++run) {
        TempTree tree;
        tree.Folder("m");
        const std::string mount = tree.Path("m");
        auto first = std::make_unique<Image>("ext4", mount);
        if (!first->m_reason.empty()) {
            GTEST_SKIP() << first->m_reason;
        }
        tree.Build("m/FOTOS/IMG_1.JPG|m/FOTOS/IMG_2.JPG|m/BERICHT.TXT");
        const ino_t inode = InodeOf(tree.Path("m/FOTOS/IMG_1.JPG"));
        ASSERT_EQ(
            RunProgram({"versalo-cli", "--journal", tree.Path("j"), mount + "/FOTOS", mount + "/BERICHT.TXT"})
                .status,
            0);
        first->Detach();
        Image second("ext4", mount);
        ASSERT_EQ(second.m_reason, "");
        tree.Build("m/fotos/img_1.jpg|m/fotos/img_2.jpg|m/bericht.txt");
        ASSERT_EQ(InodeOf(tree.Path("m/fotos/img_1.jpg")), inode);  // numbered alike
        RunResult undo = RunProgram({"versalo-cli", "--undo", tree.Path("j")});
        EXPECT_EQ(undo.status, 1);
        EXPECT_NE(undo.err.find("anderen Dateisystem"), std::string::npos) << undo.err;
        // The names only: the images themselves change under a mounted file system.
        EXPECT_EQ(tree.Names("m"), (Strings{"bericht.txt", "fotos", "lost+found"}));
        EXPECT_EQ(tree.Names("m/fotos"), (Strings{"img_1.jpg", "img_2.jpg"}));
        Image again("ext4", mount, first->m_image);  // second still holds its loop device
        ASSERT_EQ(again.m_reason, "");
        undo = RunProgram({"versalo-cli", "--undo", tree.Path("j")});
        EXPECT_EQ(undo.status, 0) << undo.err;
        EXPECT_EQ(tree.Names("m"), (Strings{"BERICHT.TXT", "FOTOS", "lost+found"}));
        again.Detach();
        second.Detach();
    }
}

// Two runs on one journal at once: the second refuses at once and renames nothing, so that no
// lines interleave and undo takes back every rename of the first.
TEST(UndoIdentity, TwoRunsOnOneJournal) {
    for (int run = 0; run < 10; ++run) {
        TempTree tree;
        tree.Build(Numbered(1500, [](int i) { return (i < 1000 ? "A/F" : "B/F") + std::to_string(i); }));
        const Snapshot before = tree.Snapshot();
        const std::string journal = tree.Path("j");
        Process first({"versalo-cli", "-v", "--journal", journal, "A"}, {.folder = tree.Root()});
        ASSERT_TRUE(first.WaitUntilBlocked());  // holds the journal, its listing unread
        const RunResult second =
            RunProgram({"versalo-cli", "--journal", journal, "B"}, {.folder = tree.Root()});
        EXPECT_EQ(first.Finish().status, 0);
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.err.find("benutzt es gerade"), std::string::npos) << second.err;
        EXPECT_EQ(tree.Names("B").front(), "F1000");
        const RunResult undo = RunProgram({"versalo-cli", "--undo", journal});
        EXPECT_EQ(undo.status, 0) << undo.err;
        std::filesystem::remove(journal);
        EXPECT_EQ(tree.Snapshot(), before);
    }
}

// ---- The no-replace fallback where the file system refuses RENAME_NOREPLACE ----

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// exFAT (true: neither the flag nor hard links) or bindfs over tmpfs (false: hard links) in "x".
class NoFlag : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        std::string reason;
        if (GetParam()) {
            m_exfat = std::make_unique<Image>("exfat", m_tree.Path("x"));
            reason = m_exfat->m_reason;
        } else if (m_tree.Build("source/|x/");
                   !root || RunProgram({"bindfs", m_tree.Path("source"), m_tree.Path("x")}).status != 0) {
            reason = "bindfs cannot mount here";
        }
        if (!reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
    TempTree m_tree;  // unmounts bindfs when it goes
    std::unique_ptr<Image> m_exfat;
};

// Another program at work on the folder from a moment around the rename of VICTIM.TXT ("mine") to
// victim.txt on, for 15 ms, the methods taking turns: as find -type f -empty -delete (none of the
// user's files lost), and on bindfs a writer of victim.txt without O_EXCL (what it wrote never lost).
TEST_P(NoFlag, ARacingProgramLosesNothing) {
    const auto removeEmpty = [](const std::string& folder) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            struct stat status {};
            if (::lstat(entry.path().c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
                status.st_size == 0) {
                ::unlink(entry.path().c_str());
            }
        }
    };
    const auto write = [](const std::string& folder) {
        const int fd = ::open((folder + "/victim.txt").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        EXPECT_TRUE(fd < 0 || (::pwrite(fd, "theirs", 6, 0) == 6 && ::close(fd) == 0));
    };
    using Racer = std::function<void(const std::string&)>;
    for (const auto& [racer, kept] :
         std::vector<std::pair<Racer, std::string>>{{removeEmpty, "mine"}, {write, "theirs"}}) {
        int lost = 0;
        for (int run = 0; run < (GetParam() ? 100 : 300) && !(GetParam() && kept == "theirs"); ++run) {
            std::filesystem::remove_all(m_tree.Path("x/work"));
            m_tree.File("x/work/VICTIM.TXT", "mine");
            std::thread other([&] {
                std::this_thread::sleep_for(std::chrono::microseconds(run * 7919 % 3000));
                for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(15);
                     std::chrono::steady_clock::now() < end;) {
                    racer(m_tree.Path("x/work"));
                }
            });
            RunProgram({"versalo-cli", run % 2 == 0 ? "-l" : "-t", m_tree.Path("x/work/VICTIM.TXT")});
            other.join();
            lost += std::ranges::none_of(m_tree.Names("x/work"), [&](const auto& name) {
                return Content(m_tree.Path("x/work/" + name)) == kept;
            });
        }
        EXPECT_EQ(lost, 0) << kept << " lost";
    }
}

// The new name taken while the last step before the rename is held: on bindfs the first link(),
// which refuses a taken name as the flag would; on exFAT the look right before the plain rename
// (STRASSE is another name than straße there). The other file is never replaced.
TEST_P(NoFlag, ANameTakenWhileTheLastStepIsHeldIsNeverReplaced) {
    const Strings names = GetParam() ? Strings{"straße", "STRASSE"} : Strings{"FILE.TXT", "file.txt"};
    for (const char* method : {"-v", "-t"}) {  // direct, two moves
        std::filesystem::remove_all(m_tree.Path("x/work"));
        m_tree.File("x/work/" + names[0], "mine");
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            m_tree.File("x/work/" + names[1], "theirs");
        });
        const RunResult run =
            Strace(GetParam() ? "renameat2:delay_enter=1500000:when=2" : "linkat:delay_enter=1500000:when=1",
                   {method, GetParam() ? "-u" : "-l", names[0]}, m_tree.Path("x/work"));
        other.join();
        EXPECT_NE(run.err.find("bereits vergeben"), std::string::npos) << run.err;
        EXPECT_EQ(Content(m_tree.Path("x/work/" + names[0])) + Content(m_tree.Path("x/work/" + names[1])),
                  "minetheirs");
    }
}

// exFAT: exfat-fuse loses a file renamed while it is open under its new spelling (a plain rename
// by mv: ENOENT, and the file is gone when closed); two moves meet that at the second move, and
// the file goes back to its old name: the user is told to close it. bindfs: killed between link()
// and unlink(), the file has two names; the undo of the run's journal drops the extra one, and a
// later run leaves a user's own pair of links (two names of one file) alone.
TEST_P(NoFlag, AFileOpenOrAMoveKilledHalfWay) {
    for (const std::string kill : {"unlinkat:signal=SIGKILL:when=1", "unlinkat:signal=SIGKILL:when=2"}) {
        for (const char* method : {"-l", "-t"}) {
            std::filesystem::remove_all(m_tree.Path("x/T"));
            m_tree.File("x/T/FILE.TXT", "0123456789");
            if (GetParam()) {
                for (int again = 0; again < 5; ++again) {  // 20 runs in all, each in a fresh folder
                    const std::string open = "x/open" + std::to_string(again) + method + kill.back();
                    m_tree.File(open + "/FILE.TXT", "0123456789");
                    const int fd =
                        ::open(m_tree.Path(open + "/file.txt").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                    const RunResult cli =
                        RunProgram({"versalo-cli", method, "FILE.TXT"}, {.folder = m_tree.Path(open)});
                    EXPECT_EQ(::write(fd, "APPEND", 6), 6);
                    ::close(fd);
                    EXPECT_EQ(m_tree.Names(open), Strings{"FILE.TXT"});
                    // Read under a spelling not looked up before: FUSE keeps the size per spelling.
                    EXPECT_EQ(Content(m_tree.Path(open + "/File.Txt")), "0123456789APPEND");
                    EXPECT_NE(cli.err.find("bitte die Datei schließen"), std::string::npos) << cli.err;
                }
                continue;
            }
            m_tree.File("x/T/user.txt", "linked");
            ::link(m_tree.Path("x/T/user.txt").c_str(),
                   m_tree.Path("x/T/USER.TXT").c_str());  // the user's pair
            const std::string journal = m_tree.Path("journal");
            std::filesystem::remove(journal);
            Strace(kill, {method, "--journal", journal, "T/FILE.TXT"}, m_tree.Path("x"));
            const bool twoNames = kill.ends_with('1') || method[1] == 't';  // -l: when=2 is after the move
            EXPECT_EQ(m_tree.Names("x/T").size(), twoNames ? 4U : 3U) << kill << method;
            // The undo has the journal's word for the extra name; a run without it keeps every name.
            EXPECT_EQ(RunProgram({"versalo-cli", "--undo", journal}).status, 0) << kill << method;
            EXPECT_EQ(m_tree.Names("x/T"), (Strings{"FILE.TXT", "USER.TXT", "user.txt"})) << kill << method;
            RunProgram({"versalo-cli", "T"}, {.folder = m_tree.Path("x")});
            EXPECT_EQ(m_tree.Names("x/t"), (Strings{"USER.TXT", "file.txt", "user.txt"})) << kill << method;
            EXPECT_EQ(Content(m_tree.Path("x/t/file.txt")), "0123456789");
            std::filesystem::rename(m_tree.Path("x/t"), m_tree.Path("x/T"));
        }
    }
    if (!GetParam()) {
        // Neither name can be removed after the link (EPERM for every unlink): the file keeps both,
        // and the summary names them.
        m_tree.File("x/two/FILE.TXT", "0123456789");
        const RunResult both = Strace("unlinkat:error=EPERM", {"-l", "FILE.TXT"}, m_tree.Path("x/two"));
        EXPECT_EQ(m_tree.Names("x/two"), (Strings{"FILE.TXT", "file.txt"}));
        EXPECT_NE(both.err.find("1 Datei hat jetzt zwei Namen:\n'FILE.TXT': die Datei heißt jetzt sowohl "
                                "'FILE.TXT' als auch 'file.txt'"),
                  std::string::npos)
            << both.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Mounts, NoFlag, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Exfat" : "Bindfs"; });

}  // namespace
}  // namespace versalo::test
