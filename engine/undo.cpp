#include "engine/undo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "collection/paths.h"
#include "engine/batch_cycle.h"
#include "engine/engine_state.h"
#include "engine/error_text.h"
#include "engine/folder_rename.h"
#include "engine/skip_report.h"

namespace versalo {

namespace {

// One folder kept open while consecutive steps stay in it: a batch's steps come folder by folder.
class FolderCache {
public:
    ~FolderCache() { Close(); }
    int Open(const std::string& folder) {
        if (m_fd >= 0 && folder == m_folder) {
            return m_fd;
        }
        Close();
        m_fd = OpenPath(folder.empty() ? "." : folder, O_PATH | O_DIRECTORY);
        m_folder = folder;
        return m_fd;
    }

private:
    void Close() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = -1;
    }
    int m_fd = -1;
    std::string m_folder;
};

// A dry run works on the folders' names as read once, updated as if each undo had been made.
class DryRunNames {
public:
    std::unordered_set<std::string>& Of(int dirfd, const std::string& folder) {
        auto found = m_names.find(folder);
        if (found != m_names.end()) {
            return found->second;
        }
        std::unordered_set<std::string>& names = m_names[folder];
        const int listing = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (listing >= 0) {
            alignas(dirent64) char buffer[32 * 1024];
            ssize_t got = 0;
            while ((got = ::getdents64(listing, buffer, sizeof buffer)) > 0) {
                for (ssize_t offset = 0; offset < got;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                    offset += entry->d_reclen;
                    names.insert(entry->d_name);
                }
            }
            ::close(listing);
        }
        return names;
    }

private:
    std::unordered_map<std::string, std::unordered_set<std::string>> m_names;
};

}  // namespace

BatchResult UndoRenames(const std::vector<RenameStep>& steps, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    if (BatchRunning != 0) {
        return result;
    }
    result.started = true;
    EnterBusyState(host);

    FolderCache folders;
    DryRunNames dryRunNames;
    const std::size_t count = steps.size();
    int shownPercent = 0;
    bool quit = false;
    for (std::size_t done = 1; done <= count && !quit; ++done) {
        const RenameStep& step = steps[count - done];
        const std::string path = JoinPath(step.folder, step.newName);
        const int dirfd = folders.Open(step.folder);
        struct stat status {};
        if (dirfd < 0) {
            result.skipped.Add(path, "der Ordner ist nicht erreichbar: " + ErrorText(errno));
        } else if (options.dryRun) {
            auto& names = dryRunNames.Of(dirfd, step.folder);
            if (!names.contains(step.newName)) {
                result.skipped.Add(path, "nicht mehr vorhanden");
            } else if (names.contains(step.oldName)) {
                result.skipped.Add(
                    path, "der alte Name '" + PrintablePath(step.oldName) + "' ist inzwischen vergeben");
            } else {
                names.erase(step.newName);
                names.insert(step.oldName);
                ++result.renamed;
                if (options.listener != nullptr) {
                    options.listener->Renamed({step.folder, step.newName, step.oldName});
                }
            }
        } else if (::fstatat(dirfd, step.newName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            // Gone under its new name but there under its old one: taken back already (by an
            // undo that was stopped half-way, say). Nothing to do, and nothing to complain of.
            if (error == ENOENT &&
                ::fstatat(dirfd, step.oldName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
                ++result.unchanged;
            } else {
                result.skipped.Add(path, ErrorText(error));
            }
        } else {
            const FolderRenameResult renamed = RenameInFolder(dirfd, step.newName, step.oldName, false);
            switch (renamed.status) {
                case RenameStatus::kRenamed:
                    ++result.renamed;
                    if (options.listener != nullptr) {
                        options.listener->Renamed({step.folder, step.newName, step.oldName});
                    }
                    break;
                case RenameStatus::kUnchanged:
                    ++result.unchanged;
                    break;
                case RenameStatus::kCollision:
                    result.skipped.Add(
                        path, "der alte Name '" + PrintablePath(step.oldName) + "' ist inzwischen vergeben");
                    break;
                case RenameStatus::kFailed:
                    result.skipped.Add(path, ErrorText(renamed.error));
                    break;
                case RenameStatus::kStranded:
                    result.skipped.Add(path, StrandedReason(renamed.currentName));
                    break;
            }
        }
        host.EntryDone(done);
        // Undo goes entry by entry, not item by item: show each whole percent and let the window
        // breathe every few dozen entries, so that a large undo stays fast and can be stopped.
        const int percent = static_cast<int>(static_cast<double>(done) / static_cast<double>(count) * 100.0);
        if (percent != shownPercent || done == count) {
            shownPercent = percent;
            host.SetProgress(
                static_cast<float>(static_cast<double>(done) / static_cast<double>(count) * 100.0));
        }
        if (done % 64 == 0 || done == count) {
            host.ProcessEvents();
        }
        quit = host.QuitRequested();
    }

    if (quit || host.QuitRequested()) {
        BatchRunning = kFalse;
        return result;
    }
    FinishBatch(host, result);
    return result;
}

}  // namespace versalo
