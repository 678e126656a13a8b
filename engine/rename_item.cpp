#include "engine/rename_item.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "engine/case_rules.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_listing.h"
#include "engine/folder_rename.h"
#include "engine/paths.h"
#include "engine/sys.h"

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
    const FolderListing now = ReadFolder(dirfd, /*withDotNames=*/true).value;
    return !now.contains(given) && now.contains(wanted);
}

// The root, or a folder named by "." or "..": not renamed, only its contents change. Reached like
// the walk reaches folders, so that a path longer than the path-length limit works too.
ItemPaths FolderItself(const std::string& path, BatchContext& ctx) {
    ItemPaths paths{path, path};
    const Result<Fd> folder = OpenPath(path, O_PATH | O_DIRECTORY);
    if (!folder) {
        ctx.skipped.Add(path, ErrorText(folder.error));
        paths.missing = true;
    } else {
        paths.wasFolder = true;
    }
    return paths;
}

// True when the dropped item split.leaf, looked up with the result found (and, if found, item),
// was dealt with earlier in this batch: given twice, or under the name the batch gave it.
bool GivenBefore(int dirfd, const struct stat& folder, const SplitPath& split, const std::string& wanted,
                 bool found, const struct stat& item, const BatchContext& ctx) {
    if (ctx.givenItems.empty()) {
        return false;
    }
    const auto known = [&](const std::string& name, ino_t ino) {
        const auto given = ctx.givenItems.find(BatchContext::Given(folder, name));
        return given != ctx.givenItems.end() && given->second == ino;
    };
    if (found) {
        return known(split.leaf, item.st_ino);
    }
    // Renamed already: the real run finds it under its new name, the dry run knows that name.
    if (ctx.dryRun) {
        return ctx.givenItems.contains(BatchContext::Given(folder, split.leaf));
    }
    const Result<struct stat> now = StatNoFollow(dirfd, wanted.c_str());
    return now && known(wanted, now.value.st_ino);
}

// Renames split.leaf inside its folder, open as dirfd; path ends with that leaf.
ItemPaths RenameLeaf(int dirfd, const std::string& path, const SplitPath& split, BatchContext& ctx) {
    ItemPaths paths{path, path};
    const std::size_t leafStart = path.size() - split.leaf.size();
    struct stat folder {};
    const Result<struct stat> lookedUp = StatNoFollow(dirfd, split.leaf.c_str());
    const bool found = static_cast<bool>(lookedUp);
    const struct stat& item = lookedUp.value;
    const std::string wanted = ctx.Converted(split.leaf, found && S_ISDIR(item.st_mode));
    // Not found under its name: it may have been given before and renamed, as a folder where the
    // kind decides the new name.
    if (::fstat(dirfd, &folder) == 0 &&
        (GivenBefore(dirfd, folder, split, wanted, found, item, ctx) ||
         (!found && ctx.kindMatters &&
          GivenBefore(dirfd, folder, split, ctx.Converted(split.leaf, true), found, item, ctx)))) {
        paths.repeated = true;
        return paths;
    }
    if (!found) {
        ctx.skipped.Add(path, ErrorText(lookedUp.error));
        paths.missing = true;
        return paths;
    }
    paths.wasFolder = S_ISDIR(item.st_mode);
    if (!ctx.scope.Renames(paths.wasFolder)) {
        return paths;  // only files or only folders are renamed; a folder is walked all the same
    }
    FolderListing& names = ctx.NamesOf(dirfd, split.parent, split.leaf, wanted, item);
    if (HasWantedNameAlready(dirfd, split.leaf, wanted, names)) {
        paths.existing.replace(leafStart, split.leaf.size(), wanted);
        paths.shown = paths.existing;
        ctx.givenItems.emplace(BatchContext::Given(folder, split.leaf), item.st_ino);
        return paths;
    }
    // A name given without a folder is shown as it was given, not as "./name".
    const std::string shownParent = path.find('/') == std::string::npos ? std::string() : split.parent;
    FileSystemNotes notes;  // the moves of this one entry try the no-replace flag once
    const EntryNames entry =
        RenameEntry(dirfd, shownParent, split.leaf, ctx.method == RenameMethod::kTwoMoves, ctx, names,
                    paths.wasFolder, &notes);
    paths.missing = entry.vanished;
    if (ctx.dryRun && entry.shown != split.leaf) {
        ctx.dryRunRenamed.insert({item.st_dev, item.st_ino});
    }
    for (const std::string* name : {&split.leaf, &entry.existing, &entry.shown}) {
        ctx.givenItems.emplace(BatchContext::Given(folder, *name), item.st_ino);
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
    const Result<Fd> dirfd = OpenPath(split.parent, O_PATH | O_DIRECTORY);
    if (!dirfd) {
        ctx.skipped.Add(item, "der Ordner ist nicht erreichbar: " + ErrorText(dirfd.error));
        return {item, item, true};
    }
    return RenameLeaf(dirfd.value.Get(), item, split, ctx);
}

}  // namespace versalo
