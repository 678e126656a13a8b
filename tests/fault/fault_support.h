#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace versalo::fault {

// The user the command line runs as when a test needs it unprivileged ("nobody").
inline constexpr uid_t kUnprivilegedId = 65534;

// A scratch folder for one test, reachable by the unprivileged user, removed with everything in
// it when the test ends. Unlike the engine tests' TempTree it reaches every entry relative to an
// open folder, so it can build and remove trees deeper than the path-length limit, and it never
// removes anything on another file system (a mount that could not be undone is left alone).
class Scratch {
public:
    // inMemory: on a tmpfs of its own where mounting works (large trees build, rename and go
    // away many times faster there than on a disk); otherwise in the temporary folder.
    explicit Scratch(bool inMemory = false);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& relative) const;
    bool InMemory() const { return m_inMemory; }

    // A file (and the folders above it); its content is its relative path unless given, so that
    // every file of a tree can be told apart by content alone.
    void File(const std::string& relative, std::optional<std::string> content = std::nullopt);
    void Folder(const std::string& relative);
    void Link(const std::string& relative, const std::string& target);

private:
    std::string m_root;
    bool m_inMemory = false;
};

// Creates folder inside dirfd if needed and opens it. Throws on failure.
int MakeAndOpenFolder(int dirfd, const std::string& name);
// Creates a file inside dirfd holding content. Throws on failure.
void MakeFileAt(int dirfd, const std::string& name, const std::string& content);

// The names inside a folder, sorted by bytes.
std::vector<std::string> NamesIn(const std::string& folder);

// Removes path and everything below it, at any depth, restoring permissions first. Entries on
// another file system than path itself are left alone.
void RemoveTree(const std::string& path);

// Lets this process hold one open folder per level of a very deep tree.
void RaiseOpenFileLimit();

// What is in a tree: relative path (bytes) -> kind and content. Files are kept by a digest of
// their content, links by their target, folders by kind alone.
struct Item {
    char kind;  // 'f' file, 'd' folder, 'l' link, 'o' anything else
    std::string digest;
    bool operator==(const Item&) const = default;
};
using Manifest = std::map<std::string, Item>;

// The manifest item of a file holding content.
Item FileItem(const std::string& content);

// Reads the whole tree below root, relative to open folders (any depth), names sorted by bytes.
Manifest TakeManifest(const std::string& root);

// Removes every entry at or below relative from a manifest (a subtree another process removed).
void EraseBelow(Manifest& manifest, const std::string& relative);

// The spelling a name may have after a run: the case rule the command line used.
using NameRule = std::function<std::string(const std::string&)>;
// ConvertNameAs in this process (C.UTF-8, as the command line runs in the tests).
NameRule RuleFor(std::int16_t caseType);

// True when after holds exactly the entries of before, each once, with its content, under a path
// whose every component is either its old spelling or rule(old spelling). Says what was lost,
// duplicated or unexpected otherwise. renamed, when given, receives how many entries were found
// under a new spelling of their own name (how far an interrupted run got).
::testing::AssertionResult NothingLost(const Manifest& before, const Manifest& after, const NameRule& rule,
                                       std::size_t* renamed = nullptr);

// Relative paths of entries whose own name begins with the temporary prefix "ZX".
std::vector<std::string> TemporaryNames(const Manifest& manifest);

// Running versalo-cli (or another program).
struct RunOptions {
    // Environment changes on top of the test's own and LANG=LC_ALL=C.UTF-8: a value sets, nullopt
    // removes the variable.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    bool unprivileged = false;  // run as kUnprivilegedId, without supplementary groups
    bool processGroup = false;  // in a process group of its own, as a shell runs a job
};

struct RunResult {
    int exitCode = -1;  // -1 when killed by a signal
    int signal = 0;     // the signal that ended it, if any
    std::string out;
    std::string err;
};

// The path of versalo-cli: VERSALO_CLI, else the one built with the tests.
std::string CliPath();
RunResult RunCli(const std::vector<std::string>& args, const RunOptions& options = {});
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// versalo-cli started in the background with its standard output on a one-page pipe that is not
// read until Finish(): with --verbose it blocks in the middle of a run as soon as the pipe is
// full, which lets a test act "while the walk runs" at a point that is sure to be mid-run.
class BackgroundCli {
public:
    BackgroundCli(const std::vector<std::string>& args, const RunOptions& options = {});
    // Any program, argv[0] its path (a shell running versalo-cli, say).
    BackgroundCli(const RunOptions& options, const std::vector<std::string>& argv);
    ~BackgroundCli();
    BackgroundCli(const BackgroundCli&) = delete;
    BackgroundCli& operator=(const BackgroundCli&) = delete;

    // Waits until the program is blocked on its full output pipe; false when it ended first.
    bool WaitUntilBlocked(int timeoutMs = 60000);
    void Signal(int signal);
    // To its whole process group (with processGroup), as a terminal sends Ctrl+C.
    void SignalGroup(int signal);
    // Reads all output until the program ends, and its status.
    RunResult Finish();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_errFile = -1;
    std::size_t m_capacity = 0;
};

// For looking at the command line's report.
bool Contains(const std::string& text, const std::string& part);
std::size_t CountOf(const std::string& text, const std::string& part);

}  // namespace versalo::fault

namespace versalo::fault {

// An exFAT image in workDir, attached to a loop device and mounted with exfat-fuse. When any step
// is impossible here (not root, no loop devices, no FUSE, tools missing) Ok() is false and
// Reason() says which step failed, for the test's skip message. Everything set up is undone in
// the destructor, also when the test failed.
class ExfatMount {
public:
    explicit ExfatMount(const std::string& workDir);
    ~ExfatMount();
    ExfatMount(const ExfatMount&) = delete;
    ExfatMount& operator=(const ExfatMount&) = delete;

    bool Ok() const { return m_mounted; }
    const std::string& Reason() const { return m_reason; }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_image;
    std::string m_dir;
    std::string m_loop;
    bool m_mounted = false;
    std::string m_reason;
};

// source bound read-only at a new folder in workDir.
class ReadOnlyBind {
public:
    ReadOnlyBind(const std::string& source, const std::string& workDir);
    ~ReadOnlyBind();
    ReadOnlyBind(const ReadOnlyBind&) = delete;
    ReadOnlyBind& operator=(const ReadOnlyBind&) = delete;

    bool Ok() const { return m_mounted; }
    const std::string& Reason() const { return m_reason; }
    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
    bool m_mounted = false;
    std::string m_reason;
};

// Unmounts dir, retrying while it is busy and finally detaching it lazily.
void Unmount(const std::string& dir);

}  // namespace versalo::fault
