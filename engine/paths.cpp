#include "engine/paths.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>

namespace versalo {

std::string_view WithoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

std::string TemporarySuffix() {
    // Eight characters that every file system takes, then ".tmp". Lower case only, so that two
    // suffixes never differ in case alone (which a file system that ignores case would mix up).
    static constexpr std::string_view kAlphabet = "0123456789abcdefghjkmnpqrstvwxyz";
    thread_local std::minstd_rand generator{std::random_device{}()};
    std::string suffix(8, '0');
    for (char& c : suffix) {
        c = kAlphabet[generator() % kAlphabet.size()];
    }
    return suffix + ".tmp";
}

std::string TempFileNameAt(int dirfd, std::string_view prefix) {
    // O_EXCL makes the creation atomic: a name that exists already is never taken over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = std::string(prefix) + TemporarySuffix();
        int fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

SplitPath SplitLastComponent(std::string_view path) {
    path = WithoutTrailingSlashes(path);
    if (path == "/") {
        return {"/", ""};
    }
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {".", std::string(path)};
    }
    const std::string_view parent = WithoutTrailingSlashes(path.substr(0, slash));
    return {parent.empty() ? std::string("/") : std::string(parent), std::string(path.substr(slash + 1))};
}

std::vector<std::string_view> PathComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find('/'), path.size());
        if (slash > 0) {
            parts.push_back(path.substr(0, slash));
        }
        path.remove_prefix(std::min(slash + 1, path.size()));
    }
    return parts;
}

std::string JoinPath(std::string_view parent, std::string_view name) {
    if (parent.empty()) {
        return std::string(name);
    }
    std::string result(parent);
    if (result.back() != '/') {
        result += '/';
    }
    result += name;
    return result;
}

}  // namespace versalo
