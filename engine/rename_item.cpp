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

ItemPaths RenameItem(const std::string& path, BatchContext& ctx) {
    // Trailing slashes are dropped from what is returned too: "link/" would make the walk follow
    // a dropped link, which must only be renamed.
    std::string result = path;
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    const SplitPath split = SplitLastComponent(result);
    if (split.leaf.empty() || split.leaf == "." || split.leaf == "..") {
        // The root, or a folder named by "." or "..": not renamed, only its contents change.
        ItemPaths paths{result, result};
        struct stat folder {};
        if (::stat(result.c_str(), &folder) != 0) {
            ctx.skipped.Add(result, ErrorText(errno));
            paths.missing = true;
        }
        return paths;
    }
    const int dirfd = OpenPath(split.parent, O_PATH | O_DIRECTORY);
    if (dirfd < 0) {
        ctx.skipped.Add(result, "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        return {result, result, true};
    }
    // A name given without a folder is shown as it was given, not as "./name".
    const std::string shownParent = result.find('/') == std::string::npos ? std::string() : split.parent;
    ItemPaths paths{result, result};
    struct stat item {};
    if (::fstatat(dirfd, split.leaf.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        ctx.skipped.Add(result, ErrorText(errno));
        paths.missing = true;
    } else {
        const EntryNames names = RenameEntry(dirfd, shownParent, split.leaf, RenameDirect == 0, ctx,
                                             ctx.NamesOf(dirfd, split.parent));
        paths.missing = names.vanished;
        const std::size_t leafStart = result.size() - split.leaf.size();
        paths.existing.replace(leafStart, split.leaf.size(), names.existing);
        paths.shown.replace(leafStart, split.leaf.size(), names.shown);
    }
    ::close(dirfd);
    return paths;
}

}  // namespace versalo
