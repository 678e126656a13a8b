#include "engine/rename_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <vector>

#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_listing.h"
#include "engine/folder_rename.h"
#include "engine/paths.h"
#include "engine/sys.h"

namespace versalo {

namespace {

bool IsFolder(int dirfd, const std::string& name, unsigned char type) {
    if (type != DT_UNKNOWN) {
        return type == DT_DIR;
    }
    const Result<struct stat> status = StatNoFollow(dirfd, name.c_str());
    return status && S_ISDIR(status.value.st_mode);
}

// True when the entry is a folder on which a file system is mounted: another file system, or a
// bind mount of the walked one (which has the same device number). statx tells a mount's root
// itself (Linux 5.8 and later); older kernels give no such attribute, and there only a different
// device number shows a mount point.
bool IsMountPoint(int dirfd, const char* name, dev_t device) {
    struct statx status {};
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &status) != 0 ||
        !S_ISDIR(status.stx_mode)) {
        return false;
    }
    if ((status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    return makedev(status.stx_dev_major, status.stx_dev_minor) != device;
}

struct Frame {
    Fd fd;
    std::size_t pathLength;           // this folder's shown path is path.substr(0, pathLength)
    std::vector<EntryNames> pending;  // subfolders still to walk, taken from the back
    bool firstLevel;                  // a subfolder of the walked folder itself
    int depth;                        // levels below the walked folder (0: the folder itself)
};

// Whether the folder's entries at depth are renamed, and whether its subfolders are entered.
bool Reaches(const BatchContext& ctx, int depth) {
    return ctx.scope.maxDepth < 0 || depth <= ctx.scope.maxDepth;
}

// Lists one folder and renames its entries, which lie depth levels below the walked folder;
// returns its subfolders to enter.
std::vector<EntryNames> RenameListing(int dirfd, const std::string& folderPath, BatchContext& ctx,
                                      dev_t device, int depth, FileSystemNotes& notes) {
    std::vector<EntryNames> subfolders;
    const bool enter = Reaches(ctx, depth + 1);
    // The whole listing is read first: renaming entries while the folder is still being read
    // could make the listing return a renamed entry a second time. It is also the set of the
    // folder's names that tells a collision without moving anything.
    // Every folder the walk reads it has just opened for reading (O_RDONLY | O_DIRECTORY).
    Result<FolderListing> read = ReadFolder(dirfd, /*withDotNames=*/false, /*freshDescriptor=*/true);
    if (!read) {
        ctx.skipped.AddNotEntered(folderPath,
                                  "der Ordner kann nicht gelesen werden: " + ErrorText(read.error));
        return subfolders;
    }
    FolderListing& listing = read.value;
    notes.EnterFolder();
    std::string name;
    for (std::size_t i = 0; i < listing.Count(); ++i) {
        if (ctx.Stopped()) {
            return {};
        }
        // A copy: the rename rewrites the listing's bytes of this name.
        name.assign(listing.Name(i));
        listing.Prefetch(i + 1);
        const unsigned char type = listing.Type(i);
        if (ctx.patterns.Matches(name)) {
            // Neither renamed nor entered; counted for the summary.
            ++ctx.excluded;
            ctx.EntryDone();
            continue;
        }
        if (ctx.oneFileSystem && (type == DT_DIR || type == DT_UNKNOWN) &&
            IsMountPoint(dirfd, name.c_str(), device)) {
            ctx.otherFileSystems.push_back(JoinPath(folderPath, name));
            ctx.EntryDone();
            continue;
        }
        // The kind is asked before the rename only where it decides the new name.
        const bool folder = ctx.kindMatters && IsFolder(dirfd, name, type);
        EntryNames current =
            ctx.scope.Renames(folder)
                ? RenameEntry(dirfd, folderPath, name, /*twoMove=*/false, ctx, listing, folder, &notes)
                : EntryNames{name, name};
        if (enter && !current.vanished &&
            (ctx.kindMatters ? folder : IsFolder(dirfd, current.existing, type))) {
            subfolders.push_back(std::move(current));
        }
        ctx.EntryDone();
    }
    ctx.host.ProcessEvents();
    return subfolders;
}

// Walks a folder that is open for reading (O_RDONLY | O_DIRECTORY) and not read yet. folderPath
// is for messages.
void RenameTreeAt(Fd folder, const std::string& folderPath, BatchContext& ctx) {
    // An explicit stack instead of recursion: the depth of a tree is not bounded by anything the
    // program controls, the call stack is.
    std::string path(WithoutTrailingSlashes(folderPath));
    struct stat status {};
    const dev_t device = ctx.oneFileSystem && ::fstat(folder.Get(), &status) == 0 ? status.st_dev : 0;
    FileSystemNotes notes;  // for the whole walk: the flag is tried once per file system
    std::vector<Frame> stack;
    if (!Reaches(ctx, 1)) {
        return;  // only the dropped items themselves
    }
    std::vector<EntryNames> subfolders = RenameListing(folder.Get(), path, ctx, device, 1, notes);
    stack.push_back({std::move(folder), path.size(), std::move(subfolders), false, 0});
    // Progress within the walk: the share of the walked folder's own subfolders done.
    const std::size_t firstLevelTotal = stack.back().pending.size();
    std::size_t firstLevelDone = 0;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.pending.empty() || ctx.Stopped()) {
            if (top.firstLevel) {
                ctx.WalkProgress(++firstLevelDone, firstLevelTotal);
            }
            stack.pop_back();
            continue;
        }
        const bool firstLevel = stack.size() == 1;
        const EntryNames names = std::move(top.pending.back());
        top.pending.pop_back();
        path.resize(top.pathLength);
        const std::string childPath = JoinPath(path, names.shown);
        Result<Fd> child = OpenAt(top.fd.Get(), names.existing.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (!child) {
            ctx.skipped.AddNotEntered(childPath,
                                      "der Ordner kann nicht geöffnet werden: " + ErrorText(child.error));
            if (firstLevel) {
                ctx.WalkProgress(++firstLevelDone, firstLevelTotal);
            }
            continue;
        }
        path = childPath;
        const int depth = top.depth + 1;
        std::vector<EntryNames> below = RenameListing(child.value.Get(), path, ctx, device, depth + 1, notes);
        stack.push_back({std::move(child.value), path.size(), std::move(below), firstLevel, depth});
    }
}

}  // namespace

bool RenameTree(const std::string& folder, BatchContext& ctx, const std::string& shownPath) {
    // O_NOFOLLOW: a dropped link to a folder is renamed, never walked.
    Result<Fd> fd = OpenPath(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (!fd) {
        // ENOTDIR: a file; ELOOP: a link, which is renamed but never followed.
        if (fd.error != std::errc::not_a_directory && fd.error != std::errc::too_many_symbolic_link_levels) {
            ctx.skipped.AddNotEntered(shownPath.empty() ? folder : shownPath,
                                      "der Ordner kann nicht geöffnet werden: " + ErrorText(fd.error));
        }
        return false;
    }
    RenameTreeAt(std::move(fd.value), shownPath.empty() ? folder : shownPath, ctx);
    return true;
}

}  // namespace versalo
