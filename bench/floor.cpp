// The floor for versalo-cli's speed: the least a program can do to give every entry of a tree its
// lower-case name. It reads each folder's listing with getdents64, renames the entries relative
// to the folder's descriptor with renameat2(RENAME_NOREPLACE), and walks the subfolders the same
// way (last found first, dot-names skipped), as versalo-cli does. Names are lowered as ASCII only,
// and nothing is reported: the bench's tree holds ASCII names only. With --words it gives every
// name the word rule instead (ASCII: a letter after a letter, digit or apostrophe small, every other
// letter capital, a file's extension small), the floor for versalo-cli -w.
//
// Usage: versalo_bench_floor [--words] FOLDER

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string name;
    bool folder;
};

long g_renamed = 0;
long g_failed = 0;
bool g_words = false;

std::string AsciiLower(const std::string& name, bool folder) {
    std::string lower = name;
    std::size_t end = 0;  // the word rule up to here, lower case from here on
    if (g_words) {
        const std::size_t dot = name.rfind('.');
        end = folder || dot == std::string::npos || dot == 0 || dot + 1 == name.size() ? name.size() : dot;
    }
    bool open = false;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        char& c = lower[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (i < end && letter && !open && c >= 'a') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if ((i >= end || open) && c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        open = letter || (c >= '0' && c <= '9') || c == '\'';
    }
    return lower;
}

void Walk(int dirfd) {
    std::vector<Entry> entries;
    alignas(dirent64) char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::getdents64(dirfd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (entry->d_name[0] != '.') {
                entries.push_back({entry->d_name, entry->d_type == DT_DIR});
            }
        }
    }
    std::vector<std::string> subfolders;
    for (const Entry& entry : entries) {
        std::string current = entry.name;
        std::string lower = AsciiLower(entry.name, entry.folder);
        if (lower != entry.name) {
            if (::renameat2(dirfd, entry.name.c_str(), dirfd, lower.c_str(), RENAME_NOREPLACE) == 0) {
                current = std::move(lower);
                ++g_renamed;
            } else {
                ++g_failed;
            }
        }
        if (entry.folder) {
            subfolders.push_back(std::move(current));
        }
    }
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
        const int child = ::openat(dirfd, it->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) {
            Walk(child);
            ::close(child);
        } else {
            ++g_failed;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    g_words = argc == 3 && std::string(argv[1]) == "--words";
    if (argc != 2 + (g_words ? 1 : 0)) {
        std::fprintf(stderr, "Aufruf: %s [--words] ORDNER\n", argv[0]);
        return 2;
    }
    const char* folder = argv[argc - 1];
    const int root = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        std::perror(folder);
        return 1;
    }
    Walk(root);
    ::close(root);
    std::fprintf(stderr, "%ld umbenannt, %ld fehlgeschlagen\n", g_renamed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
