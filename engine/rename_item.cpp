#include "engine/rename_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "collection/paths.h"
#include "engine/engine_state.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"

namespace versalo {

std::string RenameItem(const std::string& path, BatchContext& ctx) {
    // Trailing slashes are dropped from what is returned too: "link/" would make the walk follow
    // a dropped link, which must only be renamed.
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    const SplitPath split = SplitLastComponent(result);
    if (split.leaf.empty() || split.leaf == "." || split.leaf == "..") {
        return result;  // the root, or a folder named by "." or "..": only its contents change
    }
    const int dirfd = OpenPath(split.parent, O_PATH | O_DIRECTORY);
    if (dirfd < 0) {
        ctx.skipped.Add(result, "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        return result;
    }
    struct stat item {};
    if (::fstatat(dirfd, split.leaf.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        ctx.skipped.Add(result, ErrorText(errno));
    } else {
        const std::string name = RenameEntry(dirfd, split.parent, split.leaf, RenameDirect == 0, ctx);
        if (name != split.leaf) {
            result.replace(result.size() - split.leaf.size(), split.leaf.size(), name);
        }
    }
    ::close(dirfd);
    return result;
}

}  // namespace versalo
