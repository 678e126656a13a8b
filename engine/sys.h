#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace versalo {

// How the engine fails. A function that gives nothing else back returns a std::error_code (empty:
// done); one that gives a value returns a Result, the value beside the error that kept it from
// being made. A system call's errno becomes an error code right at the failing call (LastError),
// in the generic category, so that it compares with std::errc. Messages for the user (German,
// with the names) are made from it only where the outcome is reported.
inline std::error_code LastError() {
    return {errno, std::generic_category()};
}

// The error of a system call that returns 0 when done and -1 with errno set when not.
inline std::error_code ErrorOf(int returned) {
    return returned == 0 ? std::error_code() : LastError();
}

template <typename T>
struct Result {
    T value{};
    std::error_code error;
    explicit operator bool() const { return !error; }
};

// An open descriptor, closed when it goes.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Hands the descriptor over to the caller, who closes it.
    int Release() { return std::exchange(m_fd, -1); }

private:
    void Reset() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    int m_fd = -1;
};

// openat(2) with O_CLOEXEC added.
inline Result<Fd> OpenAt(int dirfd, const char* name, int flags) {
    Fd fd(::openat(dirfd, name, flags | O_CLOEXEC));
    if (!fd) {
        return {{}, LastError()};
    }
    return {std::move(fd), {}};
}

// lstat of an entry of an open folder.
inline Result<struct stat> StatNoFollow(int dirfd, const char* name) {
    Result<struct stat> status;
    if (::fstatat(dirfd, name, &status.value, AT_SYMLINK_NOFOLLOW) != 0) {
        status.error = LastError();
    }
    return status;
}

// Reads the listing of the folder open for reading as fd (O_RDONLY | O_DIRECTORY, not read yet)
// with getdents64, a block at a time, and hands every entry to take ("." and ".." too); take
// returns false to stop. The error of the reading, if any.
template <typename Take>
std::error_code ListEntries(int fd, Take&& take) {
    alignas(dirent64) char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return got < 0 ? LastError() : std::error_code();
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (!take(*entry)) {
                return {};
            }
        }
    }
}

// Opens folders by path one component at a time, so that a path longer than the system's
// path-length limit works too; with noFollow never through a symbolic link (O_NOFOLLOW on every
// component). With keep it keeps the folders of the last path open: consecutive opens mostly lie
// in the same folder or close to it, and the part of the path they share is not walked again.
// Without it no more than two descriptors are open at any time.
class FolderChain {
public:
    FolderChain(bool noFollow, bool keep) : m_noFollow(noFollow), m_keep(keep) {}
    // The folder's descriptor (O_PATH; owned by the chain, valid until the next Open), or why not.
    // A relative path starts at the working folder.
    Result<int> Open(std::string_view path);

private:
    struct Level {
        std::string name;  // "/" or "." for the start
        Fd fd;
    };
    bool m_noFollow;
    bool m_keep;
    std::vector<Level> m_levels;  // the start, then each component of the last path
};

// Opens a path like open(2) (O_CLOEXEC added), also when it is longer than the system's
// path-length limit, by going through it one folder at a time.
Result<Fd> OpenPath(const std::string& path, int flags);

}  // namespace versalo
