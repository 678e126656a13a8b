#include "tests/fault/fault_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "engine/case_rules.h"

extern char** environ;

namespace versalo::fault {

namespace {

// The expected spellings are computed in this process with ICU's default locale, which ICU reads
// from the environment on first use; pin it to what the command line gets (see ChildEnvironment),
// whatever locale the machine running the tests has.
const bool kLocalePinned = [] {
    ::setenv("LANG", "C.UTF-8", 1);
    ::setenv("LC_ALL", "C.UTF-8", 1);
    return true;
}();

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

std::vector<std::string> Components(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t slash = relative.find('/', start);
        const std::size_t end = slash == std::string::npos ? relative.size() : slash;
        if (end > start) {
            parts.push_back(relative.substr(start, end - start));
        }
        if (slash == std::string::npos) {
            break;
        }
        start = slash + 1;
    }
    return parts;
}

std::string Leaf(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string Parent(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

// Opens the folder holding relative (creating the folders on the way) below root.
int OpenParentOf(const std::string& root, const std::string& relative, std::string& leaf) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        throw SystemError("open " + root);
    }
    std::vector<std::string> parts = Components(relative);
    if (parts.empty()) {
        throw std::runtime_error("empty relative path");
    }
    leaf = parts.back();
    parts.pop_back();
    for (const std::string& part : parts) {
        const int child = MakeAndOpenFolder(fd, part);
        ::close(fd);
        fd = child;
    }
    return fd;
}

// FNV-1a over the content, with its length: enough to tell the files of a test tree apart.
struct Hasher {
    std::uint64_t hash = 1469598103934665603ULL;
    std::size_t length = 0;
    void Add(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
        }
        length += size;
    }
    std::string Text() const {
        char text[64];
        std::snprintf(text, sizeof text, "%zu:%016llx", length, static_cast<unsigned long long>(hash));
        return text;
    }
};

// Kept out of line, like LinkTarget: WalkManifest recurses once per level of trees hundreds of
// levels deep, and an optimising build would otherwise fold these buffers into every level's frame.
[[gnu::noinline]] std::string Digest(int dirfd, const std::string& name) {
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return "unreadable";
    }
    Hasher hasher;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        hasher.Add(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return hasher.Text();
}

std::vector<std::string> ListNames(int dirfd) {
    std::vector<std::string> names;
    const int listing = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return names;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

[[gnu::noinline]] std::string LinkTarget(int dirfd, const std::string& name) {
    char target[4096];
    const ssize_t length = ::readlinkat(dirfd, name.c_str(), target, sizeof target);
    return std::string(target, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void WalkManifest(int dirfd, const std::string& prefix, Manifest& out) {
    for (const std::string& name : ListNames(dirfd)) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        struct stat status {};
        if (::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISLNK(status.st_mode)) {
            out[relative] = {'l', LinkTarget(dirfd, name)};
        } else if (S_ISDIR(status.st_mode)) {
            out[relative] = {'d', ""};
            const int child = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                WalkManifest(child, relative, out);
                ::close(child);
            }
        } else if (S_ISREG(status.st_mode)) {
            out[relative] = {'f', Digest(dirfd, name)};
        } else {
            out[relative] = {'o', ""};
        }
    }
}

void RemoveContents(int dirfd, dev_t device) {
    ::fchmod(dirfd, 0700);
    for (const std::string& name : ListNames(dirfd)) {
        struct stat status {};
        if (::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (status.st_dev != device) {
                continue;  // a mount point that is still mounted: never delete into it
            }
            const int child = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0) {
                RemoveContents(child, device);
                ::close(child);
            }
            ::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(dirfd, name.c_str(), 0);
        }
    }
}

// The environment for a child: ours with the given changes.
std::vector<std::string> ChildEnvironment(const RunOptions& options) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    // The expected names are worked out in this process under C.UTF-8; the program must map
    // under the same locale unless a test asks for another.
    std::vector<std::pair<std::string, std::optional<std::string>>> changes{{"LANG", "C.UTF-8"},
                                                                            {"LC_ALL", "C.UTF-8"}};
    changes.insert(changes.end(), options.env.begin(), options.env.end());
    for (const auto& [name, value] : changes) {
        std::erase_if(env, [&](const std::string& item) { return item.starts_with(name + "="); });
        if (value) {
            env.push_back(name + "=" + *value);
        }
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

int AnonymousFile() {
    char pattern[] = "/tmp/versalo-fault-out-XXXXXX";
    const int fd = ::mkostemp(pattern, O_CLOEXEC);
    if (fd < 0) {
        throw SystemError("mkostemp");
    }
    ::unlink(pattern);
    return fd;
}

std::string ReadAll(int fd) {
    std::string text;
    ::lseek(fd, 0, SEEK_SET);
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

// Starts argv with standard output and error on the given descriptors. Only async-signal-safe
// calls happen between fork and exec.
pid_t Spawn(const std::vector<std::string>& argv, const RunOptions& options, int outFd, int errFd) {
    std::vector<std::string> args = argv;
    std::vector<char*> argPointers = Pointers(args);
    std::vector<std::string> env = ChildEnvironment(options);
    std::vector<char*> envPointers = Pointers(env);
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw SystemError("fork");
    }
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(errFd, STDERR_FILENO);
        if (options.processGroup) {
            ::setpgid(0, 0);
        }
        // Like setpriv --reuid --regid --clear-groups.
        if (options.unprivileged && (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
                                     ::setuid(kUnprivilegedId) != 0)) {
            ::_exit(126);
        }
        ::execve(argPointers[0], argPointers.data(), envPointers.data());
        ::_exit(127);
    }
    return pid;
}

RunResult Wait(pid_t pid) {
    RunResult result;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

std::string ProgramPath(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    for (const char* folder : {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}) {
        const std::string path = std::string(folder) + "/" + name;
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return name;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string Described(const RunResult& run) {
    return "exit " + std::to_string(run.exitCode) + ": " + Trimmed(run.err + run.out);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

int MakeAndOpenFolder(int dirfd, const std::string& name) {
    if (::mkdirat(dirfd, name.c_str(), 0755) != 0 && errno != EEXIST) {
        throw SystemError("mkdir " + name);
    }
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        throw SystemError("open " + name);
    }
    return fd;
}

void MakeFileAt(int dirfd, const std::string& name, const std::string& content) {
    const int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        throw SystemError("create " + name);
    }
    const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(fd);
    if (!written) {
        throw SystemError("write " + name);
    }
}

Scratch::Scratch(bool inMemory) {
    RaiseOpenFileLimit();
    std::string pattern = std::filesystem::temp_directory_path().string() + "/versalo-fault-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw SystemError("mkdtemp");
    }
    m_root = pattern;
    if (inMemory && ::geteuid() == 0) {
        m_inMemory =
            ::mount("tmpfs", m_root.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755,size=4g") == 0;
    }
    // The unprivileged user must reach what the tests give it.
    ::chmod(m_root.c_str(), 0755);
}

Scratch::~Scratch() {
    if (m_inMemory) {
        Unmount(m_root);
        ::rmdir(m_root.c_str());
        return;
    }
    RemoveTree(m_root);
}

std::string Scratch::Path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void Scratch::File(const std::string& relative, std::optional<std::string> content) {
    std::string leaf;
    const int dirfd = OpenParentOf(m_root, relative, leaf);
    MakeFileAt(dirfd, leaf, content ? *content : relative);
    ::close(dirfd);
}

void Scratch::Folder(const std::string& relative) {
    std::string leaf;
    const int dirfd = OpenParentOf(m_root, relative, leaf);
    ::close(MakeAndOpenFolder(dirfd, leaf));
    ::close(dirfd);
}

void Scratch::Link(const std::string& relative, const std::string& target) {
    std::string leaf;
    const int dirfd = OpenParentOf(m_root, relative, leaf);
    const int result = ::symlinkat(target.c_str(), dirfd, leaf.c_str());
    ::close(dirfd);
    if (result != 0) {
        throw SystemError("symlink " + relative);
    }
}

std::vector<std::string> NamesIn(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::vector<std::string> names = ListNames(fd);
    ::close(fd);
    return names;
}

void RemoveTree(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(path.c_str());
        return;
    }
    struct stat status {};
    ::fstat(fd, &status);
    RemoveContents(fd, status.st_dev);
    ::close(fd);
    ::rmdir(path.c_str());
}

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

Item FileItem(const std::string& content) {
    Hasher hasher;
    hasher.Add(content.data(), content.size());
    return {'f', hasher.Text()};
}

Manifest TakeManifest(const std::string& root) {
    RaiseOpenFileLimit();
    Manifest manifest;
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return manifest;
    }
    WalkManifest(fd, "", manifest);
    ::close(fd);
    return manifest;
}

void EraseBelow(Manifest& manifest, const std::string& relative) {
    const std::string below = relative + "/";
    std::erase_if(manifest, [&](const auto& entry) {
        return entry.first == relative || entry.first.starts_with(below);
    });
}

NameRule RuleFor(std::int16_t caseType) {
    return [caseType](const std::string& name) { return ConvertNameAs(name, caseType); };
}

namespace {

struct MatchResult {
    std::vector<std::string> problems;
    std::size_t renamed = 0;  // entries found under a new spelling
};

MatchResult Match(const Manifest& before, const Manifest& after, const NameRule& rule) {
    MatchResult result;
    std::vector<std::string>& problems = result.problems;
    // The children of every folder of before, by old spelling and by new spelling.
    struct Children {
        std::unordered_map<std::string, std::string> byName;                  // leaf -> relative
        std::unordered_map<std::string, std::vector<std::string>> byNewName;  // rule(leaf) -> relatives
    };
    std::unordered_map<std::string, Children> folders;
    for (const auto& [relative, item] : before) {
        Children& children = folders[Parent(relative)];
        const std::string leaf = Leaf(relative);
        children.byName[leaf] = relative;
        children.byNewName[rule(leaf)].push_back(relative);
    }

    std::unordered_set<std::string> claimed;
    std::unordered_map<std::string, std::string> origin;  // after path -> before path
    origin[""] = "";
    for (const auto& [relative, item] : after) {
        const auto parent = origin.find(Parent(relative));
        if (parent == origin.end()) {
            continue;  // below an entry that is already reported
        }
        const Children& children = folders[parent->second];
        const std::string leaf = Leaf(relative);
        std::vector<std::string> candidates;
        if (const auto exact = children.byName.find(leaf); exact != children.byName.end()) {
            candidates.push_back(exact->second);
        }
        if (const auto renamed = children.byNewName.find(leaf); renamed != children.byNewName.end()) {
            candidates.insert(candidates.end(), renamed->second.begin(), renamed->second.end());
        }
        bool matched = false;
        for (const std::string& candidate : candidates) {
            if (!claimed.contains(candidate) && before.at(candidate) == item) {
                claimed.insert(candidate);
                origin[relative] = candidate;
                if (Leaf(candidate) != leaf) {
                    ++result.renamed;
                }
                matched = true;
                break;
            }
        }
        if (!matched) {
            problems.push_back("unexpected entry '" + relative + "' (" + item.kind + " " + item.digest + ")");
        }
    }
    for (const auto& [relative, item] : before) {
        if (!claimed.contains(relative)) {
            problems.push_back("lost '" + relative + "' (" + item.kind + " " + item.digest + ")");
        }
    }
    return result;
}

}  // namespace

::testing::AssertionResult NothingLost(const Manifest& before, const Manifest& after, const NameRule& rule,
                                       std::size_t* renamed) {
    const MatchResult match = Match(before, after, rule);
    if (renamed != nullptr) {
        *renamed = match.renamed;
    }
    const std::vector<std::string>& problems = match.problems;
    if (problems.empty()) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure();
    failure << problems.size() << " problems:";
    for (std::size_t i = 0; i < problems.size() && i < 20; ++i) {
        failure << "\n  " << problems[i];
    }
    return failure;
}

std::vector<std::string> TemporaryNames(const Manifest& manifest) {
    std::vector<std::string> found;
    for (const auto& [relative, item] : manifest) {
        if (Leaf(relative).starts_with("ZX")) {
            found.push_back(relative);
        }
    }
    return found;
}

// ---------------------------------------------------------------------------------------------

std::string CliPath() {
    const char* path = std::getenv("VERSALO_CLI");
    return path != nullptr && path[0] != '\0' ? path : VERSALO_CLI_BUILT;
}

RunResult RunCli(const std::vector<std::string>& args, const RunOptions& options) {
    std::vector<std::string> argv{CliPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, options);
}

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
    std::vector<std::string> resolved = argv;
    resolved[0] = ProgramPath(resolved[0]);
    const int outFd = AnonymousFile();
    const int errFd = AnonymousFile();
    const pid_t pid = Spawn(resolved, options, outFd, errFd);
    RunResult result = Wait(pid);
    result.out = ReadAll(outFd);
    result.err = ReadAll(errFd);
    ::close(outFd);
    ::close(errFd);
    return result;
}

BackgroundCli::BackgroundCli(const std::vector<std::string>& args, const RunOptions& options)
    : BackgroundCli(options, [&args] {
          std::vector<std::string> argv{CliPath()};
          argv.insert(argv.end(), args.begin(), args.end());
          return argv;
      }()) {}

BackgroundCli::BackgroundCli(const RunOptions& options, const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw SystemError("pipe");
    }
    // The smallest pipe the system allows: it is full after a few dozen lines.
    const int capacity = ::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
    m_capacity = capacity > 0 ? static_cast<std::size_t>(capacity) : 65536;
    m_errFile = AnonymousFile();
    m_pid = Spawn(argv, options, pipeFds[1], m_errFile);
    if (options.processGroup) {
        ::setpgid(m_pid, m_pid);  // also here: the signal may follow before the child ran
    }
    ::close(pipeFds[1]);
    m_out = pipeFds[0];
}

BackgroundCli::~BackgroundCli() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait(m_pid);
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
    if (m_errFile >= 0) {
        ::close(m_errFile);
    }
}

bool BackgroundCli::WaitUntilBlocked(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int available = 0;
        ::ioctl(m_out, FIONREAD, &available);
        if (static_cast<std::size_t>(available) >= m_capacity) {
            // Full: the program's next write waits. Give it a moment to get there.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return true;
        }
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == m_pid) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void BackgroundCli::Signal(int signal) {
    ::kill(m_pid, signal);
}

void BackgroundCli::SignalGroup(int signal) {
    ::kill(-m_pid, signal);
}

RunResult BackgroundCli::Finish() {
    std::string out;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(m_out, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    RunResult result = Wait(m_pid);
    m_pid = -1;
    result.out = std::move(out);
    result.err = ReadAll(m_errFile);
    return result;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

// ---------------------------------------------------------------------------------------------

void Unmount(const std::string& dir) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (::umount2(dir.c_str(), 0) == 0 || errno == EINVAL || errno == ENOENT) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::umount2(dir.c_str(), MNT_DETACH);
}

ExfatMount::ExfatMount(const std::string& workDir)
    : m_image(workDir + "/exfat.img"), m_dir(workDir + "/exfat") {
    if (::geteuid() != 0) {
        m_reason = "mounting needs root, and the tests run as uid " + std::to_string(::geteuid());
        return;
    }
    const int fd = ::open(m_image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::ftruncate(fd, 16 * 1024 * 1024) != 0) {
        m_reason = "cannot create the image file";
        if (fd >= 0) {
            ::close(fd);
        }
        return;
    }
    ::close(fd);
    const RunResult format = RunProgram({"mkfs.exfat", m_image});
    if (format.exitCode != 0) {
        m_reason = "mkfs.exfat (package exfatprogs) failed: " + Described(format);
        return;
    }
    const RunResult loop = RunProgram({"losetup", "--find", "--show", m_image});
    if (loop.exitCode != 0) {
        m_reason = "no loop device: " + Described(loop);
        return;
    }
    m_loop = Trimmed(loop.out);
    ::mkdir(m_dir.c_str(), 0755);
    const RunResult mount = RunProgram({"mount.exfat-fuse", m_loop, m_dir});
    if (mount.exitCode != 0) {
        m_reason = "mount.exfat-fuse (package exfat-fuse) failed: " + Described(mount);
        return;
    }
    struct statfs info {};
    constexpr long kFuseMagic = 0x65735546;
    if (::statfs(m_dir.c_str(), &info) != 0 || info.f_type != kFuseMagic) {
        m_reason = "the exFAT file system did not appear at " + m_dir;
        Unmount(m_dir);
        return;
    }
    m_mounted = true;
}

ExfatMount::~ExfatMount() {
    if (m_mounted) {
        Unmount(m_dir);
    }
    if (!m_loop.empty()) {
        // The FUSE daemon may still hold the device for a moment after the unmount.
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (RunProgram({"losetup", "--detach", m_loop}).exitCode == 0) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ::rmdir(m_dir.c_str());
    ::unlink(m_image.c_str());
}

ReadOnlyBind::ReadOnlyBind(const std::string& source, const std::string& workDir)
    : m_dir(workDir + "/readonly") {
    if (::geteuid() != 0) {
        m_reason = "mounting needs root, and the tests run as uid " + std::to_string(::geteuid());
        return;
    }
    ::mkdir(m_dir.c_str(), 0755);
    if (::mount(source.c_str(), m_dir.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        m_reason = std::string("bind mount refused: ") + std::strerror(errno);
        return;
    }
    m_mounted = true;
    if (::mount(nullptr, m_dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        m_reason = std::string("read-only remount refused: ") + std::strerror(errno);
        Unmount(m_dir);
        m_mounted = false;
    }
}

ReadOnlyBind::~ReadOnlyBind() {
    if (m_mounted) {
        Unmount(m_dir);
    }
    ::rmdir(m_dir.c_str());
}

}  // namespace versalo::fault
