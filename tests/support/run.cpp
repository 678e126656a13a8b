#include "tests/support/run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace versalo::test {
namespace {

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR);) {
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    return text;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

Process::Process(std::vector<std::string> argv, const RunOptions& options) : m_group(options.processGroup) {
    const char* cli = std::getenv("VERSALO_CLI");
    if (argv[0] == "versalo-cli") {
        argv[0] = cli != nullptr && *cli != '\0' ? cli : VERSALO_CLI_BUILT;
    }
    std::vector<std::string> env = options.env;  // the first setting of a name counts
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string setting = *entry;
        if (!setting.starts_with("LANG=") && !setting.starts_with("LC_ALL=")) {
            env.push_back(setting);
        }
    }
    env.insert(env.end(), {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    int out[2];
    const int in = ::memfd_create("input", MFD_CLOEXEC);
    m_err = ::memfd_create("error", MFD_CLOEXEC);
    if (::pipe2(out, O_CLOEXEC) != 0 || in < 0 || m_err < 0 ||
        ::write(in, options.input.data(), options.input.size()) !=
            static_cast<ssize_t>(options.input.size())) {
        throw std::runtime_error("cannot set up the pipes of " + argv[0]);
    }
    ::fcntl(out[1], F_SETPIPE_SZ, 4096);  // the smallest the system allows
    ::lseek(in, 0, SEEK_SET);
    m_pid = ::fork();
    if (m_pid < 0) {
        throw std::runtime_error("cannot start " + argv[0]);  // never a kill(-1) or wait(-1) later
    }
    if (m_pid == 0) {  // only async-signal-safe calls from here on
        ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(m_err, STDERR_FILENO);
        if ((options.processGroup && ::setpgid(0, 0) != 0) ||
            (!options.folder.empty() && ::chdir(options.folder.c_str()) != 0)) {
            ::_exit(126);
        }
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    if (options.processGroup) {
        ::setpgid(m_pid, m_pid);  // here too: a signal may follow before the child got to it
    }
    ::close(in);
    ::close(out[1]);
    m_out = out[0];
}

Process::~Process() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    ::close(m_out);
    ::close(m_err);
}

bool Process::WaitUntilBlocked() {
    siginfo_t ended{};
    for (int waited = 0; waited < 60000 && ended.si_pid == 0; ++waited) {
        int available = 0;
        ::ioctl(m_out, FIONREAD, &available);
        if (available >= 4096) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // on to its next write
            return true;
        }
        ::waitid(P_PID, static_cast<id_t>(m_pid), &ended, WEXITED | WNOHANG | WNOWAIT);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void Process::Signal(int signal) {
    ::kill(m_group ? -m_pid : m_pid, signal);
}

RunResult Process::Finish() {
    RunResult result;
    result.out = ReadAll(m_out);
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    ::lseek(m_err, 0, SEEK_SET);
    result.err = ReadAll(m_err);
    return result;
}

bool WaitUntil(const std::function<bool()>& done, int rounds, const std::function<void()>& step) {
    for (int round = 0; round < rounds && !done(); ++round) {
        step ? step() : std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

}  // namespace versalo::test
