#include "engine/rename_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/case_rules.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"
#include "engine/paths.h"

namespace versalo {

namespace {

// A file system that ignores case finds an entry under any spelling. When the given spelling is
// not in the folder's listing but the wanted one is, the file system has led the given spelling to
// the entry that has the wanted name already: nothing to do. (Inode numbers cannot tell this on
// exFAT through FUSE: a lookup under another spelling answers another number.) The listing is read
// afresh for this: the batch's copy may be older than the entry.
bool HasWantedNameAlready(int dirfd, const std::string& given, const std::string& wanted,
                          const FolderListing& names) {
    if (wanted == given || names.contains(given)) {
        return false;
    }
    const FolderListing now = FolderNames(dirfd);
    return !now.contains(given) && now.contains(wanted);
}

}  // namespace

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
        // Reached like the walk reaches folders, so that a path longer than the path-length limit
        // works too.
        ItemPaths paths{result, result};
        const int folder = OpenPath(result, O_PATH | O_DIRECTORY);
        if (folder < 0) {
            ctx.skipped.Add(result, ErrorText(errno));
            paths.missing = true;
        } else {
            ::close(folder);
            paths.wasFolder = true;
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
    } else if (ctx.dryRun && ctx.dryRunRenamed.contains({item.st_dev, item.st_ino})) {
        // Given twice (or below a folder given before): the dry run renamed it already, and the
        // real run would not find it under this spelling any more.
        ctx.skipped.Add(result, ErrorText(ENOENT));
        paths.missing = true;
    } else if (HasWantedNameAlready(dirfd, split.leaf, ctx.Converted(split.leaf),
                                    ctx.NamesOf(dirfd, split.parent))) {
        ++ctx.unchanged;
        paths.wasFolder = S_ISDIR(item.st_mode);
        const std::size_t leafStart = result.size() - split.leaf.size();
        paths.existing.replace(leafStart, split.leaf.size(), ctx.Converted(split.leaf));
        paths.shown = paths.existing;
    } else {
        const EntryNames names =
            RenameEntry(dirfd, shownParent, split.leaf, ctx.method == RenameMethod::kTwoMoves, ctx,
                        ctx.NamesOf(dirfd, split.parent));
        paths.missing = names.vanished;
        paths.wasFolder = S_ISDIR(item.st_mode);
        if (ctx.dryRun && names.shown != split.leaf) {
            ctx.dryRunRenamed.insert({item.st_dev, item.st_ino});
        }
        const std::size_t leafStart = result.size() - split.leaf.size();
        paths.existing.replace(leafStart, split.leaf.size(), names.existing);
        paths.shown.replace(leafStart, split.leaf.size(), names.shown);
    }
    ::close(dirfd);
    return paths;
}

}  // namespace versalo
