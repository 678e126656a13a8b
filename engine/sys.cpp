#include "engine/sys.h"

#include <algorithm>

#include "engine/paths.h"

namespace versalo {

Result<int> FolderChain::Open(std::string_view path) {
    const std::string_view start = path.starts_with('/') ? "/" : ".";
    std::vector<std::string_view> parts = PathComponents(path);
    std::erase(parts, ".");
    if (!m_keep || m_levels.empty() || m_levels.front().name != start) {
        m_levels.clear();
        Result<Fd> fd = OpenAt(AT_FDCWD, start.data(), O_PATH | O_DIRECTORY);
        if (!fd) {
            return {-1, fd.error};
        }
        m_levels.push_back({std::string(start), std::move(fd.value)});
    }
    std::size_t common = 0;
    while (common < parts.size() && common + 1 < m_levels.size() &&
           m_levels[common + 1].name == parts[common]) {
        ++common;
    }
    m_levels.resize(std::min(m_levels.size(), common + 1));
    const int noFollow = m_noFollow ? O_NOFOLLOW : 0;
    for (std::size_t i = common; i < parts.size(); ++i) {
        std::string name(parts[i]);
        Result<Fd> fd = OpenAt(m_levels.back().fd.Get(), name.c_str(), O_PATH | O_DIRECTORY | noFollow);
        if (!fd) {
            return {-1, fd.error};
        }
        if (!m_keep) {
            m_levels.pop_back();
        }
        m_levels.push_back({std::move(name), std::move(fd.value)});
    }
    return {m_levels.back().fd.Get(), {}};
}

Result<Fd> OpenPath(const std::string& path, int flags) {
    Result<Fd> fd = OpenAt(AT_FDCWD, path.c_str(), flags);
    if (fd || fd.error != std::errc::filename_too_long) {
        return fd;
    }
    // Too long for one call: walk it a folder at a time.
    const SplitPath split = SplitLastComponent(path);
    FolderChain chain(/*noFollow=*/false, /*keep=*/false);
    const Result<int> parent = chain.Open(split.parent);
    if (!parent) {
        return {{}, parent.error};
    }
    return OpenAt(parent.value, split.leaf.c_str(), flags);
}

}  // namespace versalo
