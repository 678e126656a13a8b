#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace versalo {

// The prefix of every temporary name the program makes.
inline constexpr std::string_view kTempPrefix = "ZX";

// path without the slashes it ends with; "/" (or "//") stays "/". "a/" names the same entry as
// "a", but "link/" would make the system follow a link that must only be renamed.
std::string_view WithoutTrailingSlashes(std::string_view path);

// A random ending for a temporary name, to follow the prefix: eight characters and ".tmp".
std::string TemporarySuffix();

// True when name is one of the program's own temporary names: the prefix, eight characters of
// TemporarySuffix's alphabet, ".tmp", exactly.
bool IsTemporaryName(std::string_view name);

// Splits a path into the folder part and its last component, ignoring trailing slashes:
// "/a/b/" gives {"/a", "b"}, "/b" gives {"/", "b"}, "b" gives {".", "b"}, "/" gives {"/", ""}.
struct SplitPath {
    std::string parent;
    std::string leaf;
};
SplitPath SplitLastComponent(std::string_view path);

// The names a path is made of, in order, without the slashes between them: "/a//b/" gives
// {"a", "b"}. They point into path.
std::vector<std::string_view> PathComponents(std::string_view path);

// parent + "/" + name, without doubling a slash that parent already ends with. An empty parent
// stands for the working folder: the result is name alone.
std::string JoinPath(std::string_view parent, std::string_view name);

}  // namespace versalo
