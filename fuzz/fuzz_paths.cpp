// Any bytes into the path routines that split dropped paths and put them back together. The
// renaming engine renames exactly the leaf SplitLastComponent finds, inside the folder it finds,
// so the split must name the same entry as the path it came from, whatever the slashes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/paths.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view in, std::string_view out) {
    std::fprintf(stderr, "property violated: %s\n  in:  '%.*s'\n  out: '%.*s'\n", what,
                 static_cast<int>(in.size()), in.data(), static_cast<int>(out.size()), out.data());
    std::abort();
}

// The path with every run of slashes made one and trailing slashes dropped ("/" stays "/"): two
// paths that normalise alike name the same entry.
std::string Normalised(std::string_view path) {
    std::string result;
    for (const char c : path) {
        if (c == '/' && !result.empty() && result.back() == '/') {
            continue;
        }
        result += c;
    }
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

void CheckSplit(std::string_view path) {
    const versalo::SplitPath split = versalo::SplitLastComponent(path);
    if (split.parent.empty()) {
        Fail("empty parent", path, split.parent);
    }
    if (split.leaf.find('/') != std::string::npos) {
        Fail("leaf holds a slash", path, split.leaf);
    }
    if (split.parent.size() > 1 && split.parent.back() == '/') {
        Fail("parent ends with a slash", path, split.parent);
    }
    const bool onlySlashes = !path.empty() && path.find_first_not_of('/') == std::string_view::npos;
    if (onlySlashes) {
        if (split.parent != "/" || !split.leaf.empty()) {
            Fail("the root did not split into \"/\" and nothing", path, split.parent + "|" + split.leaf);
        }
        return;
    }
    if (split.leaf.empty() != path.empty()) {
        Fail("leaf is empty for a path that names an entry", path, split.leaf);
    }
    const std::string bare = Normalised(path);
    if (bare.find('/') == std::string::npos) {
        if (split.parent != "." || split.leaf != bare) {
            Fail("a bare name is not its own leaf in \".\"", path, split.parent + "|" + split.leaf);
        }
        return;
    }
    // Putting the pieces back together names the same entry.
    const std::string joined = versalo::JoinPath(split.parent, split.leaf);
    if (Normalised(joined) != Normalised(path)) {
        Fail("JoinPath(SplitLastComponent(path)) names another entry", path, joined);
    }
    // An absolute path keeps its parent absolute: the item is renamed where it is, not below ".".
    if (path.front() == '/' && split.parent.front() != '/') {
        Fail("an absolute path got a relative parent", path, split.parent);
    }
}

void CheckJoin(std::string_view parent, std::string_view name) {
    const std::string joined = versalo::JoinPath(parent, name);
    if (!joined.starts_with(parent) || !joined.ends_with(name)) {
        Fail("JoinPath lost a piece", std::string(parent) + "|" + std::string(name), joined);
    }
    const bool slashNeeded = !parent.empty() && parent.back() != '/';
    if (joined.size() != parent.size() + name.size() + (slashNeeded ? 1 : 0)) {
        Fail("JoinPath added more than one slash", std::string(parent) + "|" + std::string(name), joined);
    }
}

void CheckTrimAndSlash(std::string_view text) {
    const std::string trimmed = versalo::TrimAtNul(text);
    if (trimmed.find('\0') != std::string::npos || !text.starts_with(trimmed)) {
        Fail("TrimAtNul kept a NUL or changed the text", text, trimmed);
    }
    if (text.find('\0') == std::string_view::npos ? trimmed != text : text[trimmed.size()] != '\0') {
        Fail("TrimAtNul did not stop at the first NUL", text, trimmed);
    }
    const std::string slashed = versalo::WithTrailingSlash(text);
    const bool had = !text.empty() && text.back() == '/';
    if (slashed != (had ? std::string(text) : std::string(text) + "/")) {
        Fail("WithTrailingSlash", text, slashed);
    }
    if (versalo::WithTrailingSlash(slashed) != slashed) {
        Fail("WithTrailingSlash is not idempotent", slashed, versalo::WithTrailingSlash(slashed));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckTrimAndSlash(text);
    // Paths handed to the engine never hold NUL (the system could not name such a file).
    const std::string path = versalo::TrimAtNul(text);
    CheckSplit(path);
    // A split point inside the input gives a parent and a name to join.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    const std::string_view parent = text.substr(0, cut);
    const std::string_view name = text.substr(cut);
    CheckJoin(parent, name);
    return 0;
}
