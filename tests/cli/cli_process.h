#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace versalo::test {

// What one run of versalo-cli gave.
struct CliRun {
    int status = -1;  // exit status, or 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

// The versalo-cli under test: the environment variable VERSALO_CLI, else the one of this build.
std::string CliPath();

// A running versalo-cli with its standard output and standard error on pipes (standard input
// is /dev/null). The test decides when to read, so it can hold the program up on a full pipe.
class CliProcess {
public:
    // workingFolder: where the program runs; empty for the test's own.
    // closeOutput: standard output is a pipe whose reading end is already closed.
    explicit CliProcess(const std::vector<std::string>& arguments, const std::string& workingFolder = "",
                        bool closeOutput = false);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    int OutputFd() const { return m_out; }
    // True while the program has not ended (it is not reaped here).
    bool Running() const;
    // Waits (at most timeoutMs) until the output pipe is full, so that the program is held up
    // writing its next block. False when the program ended or the time ran out first.
    bool WaitForFullOutputPipe(int timeoutMs);
    // Reads both pipes to their end and waits for the program.
    CliRun Finish();

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// Runs versalo-cli to its end.
CliRun RunCli(const std::vector<std::string>& arguments, const std::string& workingFolder = "");

}  // namespace versalo::test
