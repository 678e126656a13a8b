#include "engine/rename_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>
#include <vector>

#include "collection/paths.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"

namespace versalo {

namespace {

bool IsFolder(int dirfd, const std::string& name, unsigned char type) {
    if (type != DT_UNKNOWN) {
        return type == DT_DIR;
    }
    struct stat status {};
    return ::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
}

struct Frame {
    int fd;
    std::size_t pathLength;           // this folder's shown path is path.substr(0, pathLength)
    std::vector<EntryNames> pending;  // subfolders still to walk, taken from the back
};

// Lists one folder and renames its entries; returns its subfolders.
std::vector<EntryNames> RenameListing(int dirfd, const std::string& folderPath, BatchContext& ctx) {
    std::vector<EntryNames> subfolders;
    // The whole listing is read first: renaming entries while the folder is still being read
    // could make the listing return a renamed entry a second time.
    std::vector<ListedEntry> entries;
    int error = 0;
    if (!ReadFolder(dirfd, entries, error)) {
        ctx.skipped.Add(folderPath, "der Ordner kann nicht gelesen werden: " + ErrorText(error));
        return subfolders;
    }
    std::unordered_set<std::string> names;
    names.reserve(entries.size());
    for (const ListedEntry& entry : entries) {
        names.insert(entry.name);
    }
    for (const ListedEntry& entry : entries) {
        if (ctx.Stopped()) {
            return {};
        }
        EntryNames current = RenameEntry(dirfd, folderPath, entry.name, /*twoMove=*/false, ctx, names);
        if (!current.vanished && IsFolder(dirfd, current.existing, entry.type)) {
            subfolders.push_back(std::move(current));
        }
        ctx.EntryDone();
    }
    if (ctx.host != nullptr) {
        ctx.host->ProcessEvents();
    }
    return subfolders;
}

}  // namespace

void RenameTreeAt(int dirfd, const std::string& folderPath, BatchContext& ctx) {
    // An explicit stack instead of recursion: the depth of a tree is not bounded by anything the
    // program controls, the call stack is.
    std::string path = folderPath;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    std::vector<Frame> stack;
    stack.push_back({dirfd, path.size(), RenameListing(dirfd, path, ctx)});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.pending.empty() || ctx.Stopped()) {
            ::close(top.fd);
            stack.pop_back();
            continue;
        }
        const EntryNames names = std::move(top.pending.back());
        top.pending.pop_back();
        path.resize(top.pathLength);
        const std::string childPath = JoinPath(path, names.shown);
        const int child =
            ::openat(top.fd, names.existing.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
            ctx.skipped.Add(childPath, "der Ordner kann nicht geöffnet werden: " + ErrorText(errno));
            continue;
        }
        path = childPath;
        stack.push_back({child, path.size(), RenameListing(child, path, ctx)});
    }
}

bool RenameTree(const std::string& folder, BatchContext& ctx, const std::string& shownPath) {
    // O_NOFOLLOW: a dropped link to a folder is renamed, never walked.
    const int fd = OpenPath(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) {
        // ENOTDIR: a file; ELOOP: a link, which is renamed but never followed.
        if (errno != ENOTDIR && errno != ELOOP) {
            ctx.skipped.Add(shownPath.empty() ? folder : shownPath,
                            "der Ordner kann nicht geöffnet werden: " + ErrorText(errno));
        }
        return false;
    }
    RenameTreeAt(fd, shownPath.empty() ? folder : shownPath, ctx);
    return true;
}

}  // namespace versalo
