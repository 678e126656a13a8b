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

// The root, or a folder named by "." or "..": not renamed, only its contents change. Reached like
// the walk reaches folders, so that a path longer than the path-length limit works too.
ItemPaths FolderItself(const std::string& path, BatchContext& ctx) {
    ItemPaths paths{path, path};
    const int folder = OpenPath(path, O_PATH | O_DIRECTORY);
    if (folder < 0) {
        ctx.skipped.Add(path, ErrorText(errno));
        paths.missing = true;
    } else {
        ::close(folder);
        paths.wasFolder = true;
    }
    return paths;
}

// Renames split.leaf inside its folder, open as dirfd; path ends with that leaf.
ItemPaths RenameLeaf(int dirfd, const std::string& path, const SplitPath& split, BatchContext& ctx) {
    ItemPaths paths{path, path};
    const std::size_t leafStart = path.size() - split.leaf.size();
    struct stat item {};
    if (::fstatat(dirfd, split.leaf.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) {
        ctx.skipped.Add(path, ErrorText(errno));
        paths.missing = true;
        return paths;
    }
    if (ctx.dryRun && ctx.dryRunRenamed.contains({item.st_dev, item.st_ino})) {
        // Given twice (or below a folder given before): the dry run renamed it already, and the
        // real run would not find it under this spelling any more.
        ctx.skipped.Add(path, ErrorText(ENOENT));
        paths.missing = true;
        return paths;
    }
    paths.wasFolder = S_ISDIR(item.st_mode);
    if (!ctx.scope.Renames(paths.wasFolder)) {
        return paths;  // only files or only folders are renamed; a folder is walked all the same
    }
    FolderListing& names = ctx.NamesOf(dirfd, split.parent);
    const std::string wanted = ctx.Converted(split.leaf, paths.wasFolder);
    if (HasWantedNameAlready(dirfd, split.leaf, wanted, names)) {
        ++ctx.unchanged;
        paths.existing.replace(leafStart, split.leaf.size(), wanted);
        paths.shown = paths.existing;
        return paths;
    }
    // A name given without a folder is shown as it was given, not as "./name".
    const std::string shownParent = path.find('/') == std::string::npos ? std::string() : split.parent;
    const EntryNames entry = RenameEntry(dirfd, shownParent, split.leaf,
                                         ctx.method == RenameMethod::kTwoMoves, ctx, names, paths.wasFolder);
    paths.missing = entry.vanished;
    if (ctx.dryRun && entry.shown != split.leaf) {
        ctx.dryRunRenamed.insert({item.st_dev, item.st_ino});
    }
    paths.existing.replace(leafStart, split.leaf.size(), entry.existing);
    paths.shown.replace(leafStart, split.leaf.size(), entry.shown);
    return paths;
}

}  // namespace

ItemPaths RenameItem(const std::string& path, BatchContext& ctx) {
    // Trailing slashes are dropped from what is returned too: "link/" would make the walk follow
    // a dropped link, which must only be renamed.
    const std::string item(WithoutTrailingSlashes(path));
    const SplitPath split = SplitLastComponent(item);
    if (split.leaf.empty() || split.leaf == "." || split.leaf == "..") {
        return FolderItself(item, ctx);
    }
    const int dirfd = OpenPath(split.parent, O_PATH | O_DIRECTORY);
    if (dirfd < 0) {
        ctx.skipped.Add(item, "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        return {item, item, true};
    }
    ItemPaths paths = RenameLeaf(dirfd, item, split, ctx);
    ::close(dirfd);
    return paths;
}

}  // namespace versalo
