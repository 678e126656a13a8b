#include "engine/undo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "collection/paths.h"
#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/entry_rename.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"
#include "engine/skip_report.h"

namespace versalo {

namespace {

// Keeps one folder open while consecutive steps stay in it. A batch's steps come folder by
// folder, and taken back newest first they mostly climb from a folder to its parent: that one is
// reached from the open folder by "..", so that even trees deeper than the path-length limit are
// not looked up from the root again and again.
class FolderCache {
public:
    ~FolderCache() { Close(); }
    int Open(const std::string& folder) {
        if (m_fd >= 0 && folder == m_folder) {
            return m_fd;
        }
        int fd = -1;
        if (m_fd >= 0 && IsParentOf(folder, m_folder)) {
            fd = ClimbTo(m_fd, m_folder.substr(folder.size() + 1));
        } else if (m_fd >= 0 && IsParentOf(m_folder, folder)) {
            fd = ::openat(m_fd, folder.c_str() + m_folder.size() + 1,
                          O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            fd = OpenPath(folder.empty() ? "." : folder, O_PATH | O_DIRECTORY);
        }
        const int error = errno;
        Close();
        m_fd = fd;
        m_folder = folder;
        errno = error;
        return m_fd;
    }

private:
    // True when child is parent + "/" + one more name, and that name is a real one.
    static bool IsParentOf(const std::string& parent, const std::string& child) {
        if (child.size() <= parent.size() + 1 || !child.starts_with(parent) || child[parent.size()] != '/' ||
            child.find('/', parent.size() + 1) != std::string::npos) {
            return false;
        }
        const std::string_view name = std::string_view(child).substr(parent.size() + 1);
        return name != "." && name != "..";
    }

    // The folder above the open folder childFd, when it is the one the path names: ".." leads to
    // the folder the child really lies in, which is another one when the path reached the child
    // through a symbolic link. So the child must be found in it under its name. Else -1.
    static int ClimbTo(int childFd, const std::string& childName) {
        const int parent = ::openat(childFd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0) {
            return -1;
        }
        struct stat child {};
        struct stat named {};
        if (::fstat(childFd, &child) == 0 &&
            ::fstatat(parent, childName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            child.st_dev == named.st_dev && child.st_ino == named.st_ino) {
            return parent;
        }
        ::close(parent);
        return -1;
    }
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
    }
    int m_fd = -1;
    std::string m_folder;
};

// Takes back one step; the outcome goes into ctx.
void UndoStep(const RenameStep& step, int dirfd, BatchContext& ctx) {
    const std::string path = JoinPath(step.folder, step.newName);
    const std::string taken = "der alte Name " + QuotedName(step.oldName) + " ist inzwischen vergeben";
    if (ctx.dryRun) {
        auto& names = ctx.NamesOf(dirfd, step.folder);
        if (!names.contains(step.newName)) {
            if (!names.contains(step.oldName)) {
                ctx.skipped.Add(path, ErrorText(ENOENT));
            } else {
                ++ctx.unchanged;
            }
            return;
        }
        FolderRenameResult result{RenameStatus::kRenamed, 0, step.oldName, {}};
        if (names.contains(step.oldName)) {
            result = {RenameStatus::kCollision, EEXIST, step.newName, {}};
        } else {
            names.erase(step.newName);
            names.insert(step.oldName);
        }
        RecordOutcome(ctx, step.folder, step.newName, step.oldName, result, taken);
        return;
    }
    struct stat status {};
    if (::fstatat(dirfd, step.newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        const int error = errno;
        // Gone under its new name but there under its old one: taken back already (by an undo
        // that was stopped half-way, say). Nothing to do, and nothing to complain of.
        if (error == ENOENT && ::fstatat(dirfd, step.oldName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            ++ctx.unchanged;
        } else {
            ctx.skipped.Add(path, ErrorText(error));
        }
        return;
    }
    RecordOutcome(ctx, step.folder, step.newName, step.oldName,
                  RenameInFolder(dirfd, step.newName, step.oldName, /*twoMove=*/false), taken);
}

}  // namespace

BatchResult UndoRenames(const std::vector<RenameStep>& steps, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    if (!EnterBusyState(host, result)) {
        return result;
    }

    BatchContext ctx;
    ctx.host = &host;
    ctx.listener = options.listener;
    ctx.dryRun = options.dryRun;
    FolderCache folders;
    const std::size_t count = steps.size();
    int shownPercent = 0;
    for (std::size_t done = 1; done <= count && !ctx.Stopped(); ++done) {
        const RenameStep& step = steps[count - done];
        const int dirfd = folders.Open(step.folder);
        if (dirfd < 0) {
            ctx.skipped.Add(JoinPath(step.folder, step.newName),
                            "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        } else {
            UndoStep(step, dirfd, ctx);
        }
        ctx.EntryDone();
        // Undo goes entry by entry, not item by item: show each whole percent and let the window
        // breathe every few dozen entries, so that a large undo stays fast and can be stopped.
        const double share = static_cast<double>(done) / static_cast<double>(count) * 100.0;
        if (static_cast<int>(share) != shownPercent || done == count) {
            shownPercent = static_cast<int>(share);
            host.SetProgress(static_cast<float>(share));
        }
        if (done % 64 == 0 || done == count) {
            host.ProcessEvents();
        }
    }

    FinishBatch(host, ctx, result);
    return result;
}

}  // namespace versalo
