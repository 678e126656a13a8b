#include "engine/paths.h"

#include <algorithm>
#include <random>

namespace versalo {

std::string_view WithoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

namespace {

// Characters that every file system takes. Lower case only, so that two suffixes never differ in
// case alone (which a file system that ignores case would mix up).
constexpr std::string_view kAlphabet = "0123456789abcdefghjkmnpqrstvwxyz";
constexpr std::string_view kEnd = ".tmp";

}  // namespace

std::string TemporarySuffix() {
    thread_local std::minstd_rand generator{std::random_device{}()};
    std::string suffix(8, '0');
    for (char& c : suffix) {
        c = kAlphabet[generator() % kAlphabet.size()];
    }
    return suffix + std::string(kEnd);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTempPrefix.size() + 8 + kEnd.size() || !name.starts_with(kTempPrefix) ||
        !name.ends_with(kEnd)) {
        return false;
    }
    return name.substr(kTempPrefix.size(), 8).find_first_not_of(kAlphabet) == std::string_view::npos;
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
