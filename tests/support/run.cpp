#include "tests/support/run.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace versalo::test {
namespace {

int AnonymousFile(const std::string& content = "") {
    char pattern[] = "/tmp/versalo-run-XXXXXX";
    const int fd = ::mkostemp(pattern, O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("mkostemp failed");
    }
    ::unlink(pattern);
    if (::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size())) {
        throw std::runtime_error("cannot write standard input");
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (got < 0 && errno != EINTR) {
            break;
        }
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
    if (argv[0] == "versalo-cli") {
        const char* cli = std::getenv("VERSALO_CLI");
        argv[0] = cli != nullptr && *cli != '\0' ? cli : VERSALO_CLI_BUILT;
    }
    std::map<std::string, std::string> variables;  // name -> "name=value"; the last setting wins
    std::vector<std::string> settings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        settings.emplace_back(*entry);
    }
    settings.insert(settings.end(), {"LANG=C.UTF-8", "LC_ALL=C.UTF-8"});
    settings.insert(settings.end(), options.env.begin(), options.env.end());
    for (const std::string& setting : settings) {
        variables[setting.substr(0, setting.find('='))] = setting;
    }
    std::vector<std::string> env;
    for (const auto& [name, setting] : variables) {
        env.push_back(setting);
    }
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    ::fcntl(out[1], F_SETPIPE_SZ, 4096);  // the smallest the system allows
    const int in = AnonymousFile(options.input);
    m_err = AnonymousFile();
    m_pid = ::fork();
    if (m_pid == 0) {  // only async-signal-safe calls from here on
        ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(m_err, STDERR_FILENO);
        if (options.closedOutput) {
            ::close(out[0]);
        }
        if (options.processGroup) {
            ::setpgid(0, 0);
        }
        if ((!options.folder.empty() && ::chdir(options.folder.c_str()) != 0) ||
            (options.unprivileged &&
             (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))) {
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
    if (options.closedOutput) {
        ::close(m_out);
        m_out = -1;
    }
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
    for (int waited = 0; waited < 60000; ++waited) {
        int available = 0;
        ::ioctl(m_out, FIONREAD, &available);
        if (available >= 4096) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));  // on to its next write
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

void Process::Signal(int signal) {
    ::kill(m_group ? -m_pid : m_pid, signal);
}

RunResult Process::Finish() {
    RunResult result;
    result.out = m_out >= 0 ? ReadAll(m_out) : "";
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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

}  // namespace versalo::test
