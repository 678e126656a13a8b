#include "cli/rename_listing.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/paths.h"
#include "engine/skip_report.h"
#include "engine/sys.h"

namespace versalo::cli {

BeforeRename RenameFanOut::Renaming(const RenameStep& step) {
    for (RenameListener* listener : m_listeners) {
        if (const BeforeRename answer = listener->Renaming(step); answer != BeforeRename::kGo) {
            return answer;
        }
    }
    return BeforeRename::kGo;
}

BeforeRename RenameFanOut::Temporary(const RenameStep& step, const std::string& temporaryName) {
    for (RenameListener* listener : m_listeners) {
        if (const BeforeRename answer = listener->Temporary(step, temporaryName);
            answer != BeforeRename::kGo) {
            return answer;
        }
    }
    return BeforeRename::kGo;
}

void RenameFanOut::Renamed(const RenameStep& step) {
    for (RenameListener* listener : m_listeners) {
        listener->Renamed(step);
    }
}

namespace {

constexpr std::size_t kBlock = 64 * 1024;
// How often Broken() asks whether the reader of a pipe is still there: a system call every few
// dozen entries costs nothing against their renames.
constexpr std::size_t kCallsBetweenPolls = 64;

}  // namespace

RenameListing::RenameListing(int fd) : m_fd(fd), m_lineByLine(::isatty(fd) == 1) {
    struct stat status {};
    m_pipe = ::fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

void RenameListing::Renamed(const RenameStep& step) {
    if (m_error) {
        return;
    }
    m_buffer += ShellQuoted(JoinPath(step.folder, step.oldName));
    m_buffer += " -> ";
    m_buffer += ShellQuoted(JoinPath(step.folder, step.newName));
    m_buffer += '\n';
    if (m_lineByLine || m_buffer.size() >= kBlock) {
        Flush();
    }
}

bool RenameListing::Write(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            m_error = written < 0 ? LastError() : std::make_error_code(std::errc::io_error);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool RenameListing::Flush() {
    if (!m_error && !m_buffer.empty() && Write(m_buffer.data(), m_buffer.size())) {
        m_buffer.clear();
    }
    return !m_error;
}

bool RenameListing::Broken() {
    // Asked first as soon as a line waits for the reader, then every few dozen entries.
    const bool ask = m_pipe && !m_buffer.empty() && (m_calls++ == 0 || m_calls % kCallsBetweenPolls == 0);
    if (!m_error && ask) {
        // The write end of a pipe whose reader is gone reports POLLERR (a socket POLLHUP).
        pollfd out{m_fd, 0, 0};
        if (::poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0) {
            m_error = std::make_error_code(std::errc::broken_pipe);
        }
    }
    return static_cast<bool>(m_error);
}

}  // namespace versalo::cli
