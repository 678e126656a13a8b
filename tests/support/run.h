#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace versalo::test {

// How to start a program: LANG and LC_ALL are C.UTF-8 unless env sets them ("NAME=value").
struct RunOptions {
    std::string folder{};            // the working folder; empty for the test's own
    std::vector<std::string> env{};  // added to the test's environment
    std::string input{};             // standard input
    bool processGroup = false;       // in a process group of its own, as a shell runs a job
};

struct RunResult {
    int status = -1;  // the exit status; -1 when a signal ended the program
    int signal = 0;   // that signal
    std::string out;
    std::string err;
};

// A program started with its standard output on a one-page pipe that is read only by Finish:
// with -v, versalo-cli is held up in the middle of its run as soon as the pipe is full. argv[0]
// "versalo-cli" means the program under test (VERSALO_CLI); other names are looked up in PATH.
class Process {
public:
    Process(std::vector<std::string> argv, const RunOptions& options = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Waits until the program is blocked writing to its full output; false when it ended first.
    bool WaitUntilBlocked();
    // To the program, or to its whole process group when it has one (as Ctrl+C in a terminal).
    void Signal(int signal);
    RunResult Finish();

private:
    pid_t m_pid = -1;
    bool m_group = false;
    int m_out = -1;
    int m_err = -1;
};

// Calls step (by default a sleep of a millisecond) until done() holds, at most rounds times;
// returns done().
bool WaitUntil(const std::function<bool()>& done, int rounds = 5000, const std::function<void()>& step = {});

inline RunResult RunProgram(std::vector<std::string> argv, const RunOptions& options = {}) {
    return Process(std::move(argv), options).Finish();
}

}  // namespace versalo::test
