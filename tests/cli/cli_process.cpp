#include "tests/cli/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace versalo::test {

std::string CliPath() {
    const char* path = std::getenv("VERSALO_CLI");
    return path != nullptr && *path != '\0' ? path : VERSALO_CLI_BUILT;
}

CliProcess::CliProcess(const std::vector<std::string>& arguments, const std::string& workingFolder,
                       bool closeOutput) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::string program = CliPath();
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (m_pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int null = ::open("/dev/null", O_RDONLY);
        if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
            ::_exit(126);
        }
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0) {
            ::_exit(126);
        }
        // The test runner may have left signals blocked or ignored; the program must see them.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
    if (closeOutput) {
        ::close(m_out);
        m_out = -1;
    }
}

CliProcess::~CliProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) {
        ::close(m_out);
    }
    if (m_err >= 0) {
        ::close(m_err);
    }
}

bool CliProcess::Running() const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

bool CliProcess::WaitForFullOutputPipe(int timeoutMs) {
    const int capacity = ::fcntl(m_out, F_GETPIPE_SZ);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int buffered = 0;
        if (::ioctl(m_out, FIONREAD, &buffered) == 0 && buffered >= capacity) {
            return true;
        }
        if (!Running()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

CliRun CliProcess::Finish() {
    CliRun run;
    struct Stream {
        int fd;
        std::string* text;
    };
    std::vector<Stream> open;
    if (m_out >= 0) {
        open.push_back({m_out, &run.out});
    }
    open.push_back({m_err, &run.err});
    char buffer[65536];
    while (!open.empty()) {
        std::vector<pollfd> fds;
        for (const Stream& stream : open) {
            fds.push_back({stream.fd, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                open[i].text->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(open[i].fd);
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    m_out = -1;
    m_err = -1;
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

CliRun RunCli(const std::vector<std::string>& arguments, const std::string& workingFolder) {
    CliProcess process(arguments, workingFolder);
    return process.Finish();
}

}  // namespace versalo::test
