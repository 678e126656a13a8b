#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace versalo {

// The prefix of every temporary name the program makes.
inline constexpr std::string_view kTempPrefix = "ZX";

// The part of text before its first NUL character; the whole text when it holds none.
std::string TrimAtNul(std::string_view text);

// path followed by one "/" unless its last character already is "/". An empty path gives "/".
std::string WithTrailingSlash(std::string_view path);

// The folder for temporary files ($TMPDIR, else /tmp), ending with "/".
std::string TempDirectory();

// A random ending for a temporary name, to follow the prefix: eight characters and ".tmp".
std::string TemporarySuffix();

// Creates a new, empty file in directory under a name that begins with prefix and that no entry
// of the folder had before, and returns its full path. An empty directory means TempDirectory(),
// an empty prefix means "ZX". Only unique number 0 is supported. On failure the result is empty
// and errno tells why.
std::string TempFileName(std::string_view directory, std::string_view prefix, std::int32_t unique);

// The same inside an open folder: creates the file relative to dirfd and returns its name only.
// On failure the result is empty and errno tells why.
std::string TempFileNameAt(int dirfd, std::string_view prefix);

// The folder that holds the running program, ending with "/".
std::string AppDirectory();

// Splits a path into the folder part and its last component, ignoring trailing slashes:
// "/a/b/" gives {"/a", "b"}, "/b" gives {"/", "b"}, "b" gives {".", "b"}, "/" gives {"/", ""}.
struct SplitPath {
    std::string parent;
    std::string leaf;
};
SplitPath SplitLastComponent(std::string_view path);

// parent + "/" + name, without doubling a slash that parent already ends with. An empty parent
// stands for the working folder: the result is name alone.
std::string JoinPath(std::string_view parent, std::string_view name);

}  // namespace versalo
