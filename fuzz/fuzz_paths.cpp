// Any bytes into the routines that split dropped paths and put them back together. The engine
// renames exactly the leaf SplitLastComponent finds, inside the folder it finds, so the split must
// name the same entry as the path it came from, whatever the slashes.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/paths.h"
#include "fuzz/fuzz_check.h"

using fuzz::Check;

namespace {

// Runs of slashes made one and trailing slashes dropped: paths that normalise alike name one entry.
std::string Normalised(std::string_view path) {
    std::string result;
    for (const char c : path) {
        if (c != '/' || result.empty() || result.back() != '/') {
            result += c;
        }
    }
    return std::string(versalo::WithoutTrailingSlashes(result));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The system names no file with a NUL in it.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view path = text.substr(0, text.find('\0'));
    const versalo::SplitPath split = versalo::SplitLastComponent(path);
    Check(!split.parent.empty() && split.leaf.find('/') == std::string::npos,
          "parent empty or leaf with a slash");
    if (path.find_first_not_of('/') == std::string_view::npos) {
        Check(path.empty() ? split.parent == "." : split.parent == "/" && split.leaf.empty(), "the root");
        return 0;
    }
    const std::string joined = versalo::JoinPath(split.parent, split.leaf);
    const bool bare = Normalised(path).find('/') == std::string::npos;
    Check(
        bare ? split.parent == "." && split.leaf == Normalised(path) : Normalised(joined) == Normalised(path),
        "JoinPath(SplitLastComponent(path)) names another entry");
    Check(path.front() != '/' || split.parent.front() == '/', "an absolute path got a relative parent");
    return 0;
}
