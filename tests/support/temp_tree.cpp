#include "tests/support/temp_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace versalo::test {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void MakeParents(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::filesystem::create_directories(path.substr(0, slash));
    }
}

// Out of line: Walk recurses once per level, and the buffer must not sit in every level's frame.
[[gnu::noinline]] std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    return std::string(target, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void Walk(const std::string& root, const std::string& relative, std::map<std::string, std::string>& out) {
    const std::string path = relative.empty() ? root : root + "/" + relative;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        const std::string full = root + "/" + rel;
        struct stat status {};
        if (::lstat(full.c_str(), &status) != 0) {
            continue;
        }
        if (S_ISLNK(status.st_mode)) {
            out[rel] = "-> " + LinkTarget(full);
        } else if (S_ISDIR(status.st_mode)) {
            out[rel] = "<dir>";
            Walk(root, rel, out);
        } else {
            out[rel] = ReadFile(full);
        }
    }
}

}  // namespace

TempTree::TempTree() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/versalo-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_root = pattern;
}

TempTree::~TempTree() {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_root, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    ::chmod(m_root.c_str(), 0700);
    std::filesystem::remove_all(m_root, ignored);
}

std::string TempTree::Path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void TempTree::File(const std::string& relative, const std::string& content) {
    const std::string path = Path(relative);
    MakeParents(path);
    std::ofstream out(path, std::ios::binary);
    out << (content.empty() ? relative : content);
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void TempTree::Folder(const std::string& relative) {
    std::filesystem::create_directories(Path(relative));
}

void TempTree::Link(const std::string& relative, const std::string& target) {
    const std::string path = Path(relative);
    MakeParents(path);
    if (::symlink(target.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("cannot link " + path);
    }
}

std::map<std::string, std::string> TempTree::Snapshot() const {
    std::map<std::string, std::string> out;
    Walk(m_root, "", out);
    return out;
}

std::vector<std::string> TempTree::Names(const std::string& relative) const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(Path(relative).c_str());
    if (dir == nullptr) {
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

std::vector<std::string> TemporaryNamesBelow(const std::string& root) {
    std::vector<std::string> found;
    std::map<std::string, std::string> all;
    Walk(root, "", all);
    for (const auto& [relative, content] : all) {
        const auto slash = relative.rfind('/');
        const std::string leaf = slash == std::string::npos ? relative : relative.substr(slash + 1);
        if (leaf.starts_with("ZX")) {
            found.push_back(relative);
        }
    }
    return found;
}

}  // namespace versalo::test
