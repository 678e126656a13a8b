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
    const SplitPath split = SplitLastComponent(path);
    if (split.leaf.empty() || split.leaf == "." || split.leaf == "..") {
        return path;  // the root, or a folder named by "." or "..": only its contents change
    }
    const int dirfd = OpenPath(split.parent, O_PATH | O_DIRECTORY);
    if (dirfd < 0) {
        ctx.skipped.Add(path, "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        return path;
    }
    std::string result = path;
    struct stat item {};
    if (::fstatat(dirfd, split.leaf.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        ctx.skipped.Add(path, ErrorText(errno));
    } else {
        const std::string name = RenameEntry(dirfd, split.parent, split.leaf, RenameDirect == 0, ctx);
        if (name != split.leaf) {
            result = JoinPath(split.parent, name);
        }
    }
    ::close(dirfd);
    return result;
}

}  // namespace versalo
