#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/batch_host.h"
#include "engine/folder_rename.h"
#include "engine/skip_report.h"

namespace versalo {

// What one batch carries through item renaming and the folder walk.
struct BatchContext {
    BatchHost* host = nullptr;
    RenameListener* listener = nullptr;
    bool dryRun = false;

    SkipReport skipped;
    std::size_t renamed = 0;    // entries that got a new name
    std::size_t unchanged = 0;  // entries that already had it
    std::size_t entries = 0;    // entries dealt with

    // The names of the folders that dropped items (or undone entries) lie in, each read once when
    // first needed and kept up to date by the renames; keyed by the folder's path.
    std::unordered_map<std::string, std::unordered_set<std::string>> folderNames;
    std::unordered_set<std::string>& NamesOf(int dirfd, const std::string& folder) {
        auto found = folderNames.find(folder);
        if (found == folderNames.end()) {
            found = folderNames.emplace(folder, FolderNames(dirfd)).first;
        }
        return found->second;
    }

    // In a dry run: the dropped items it has "renamed" (device, inode), which the real run would
    // meet again under their new names (overlapping paths such as "A/B A").
    std::set<std::pair<dev_t, ino_t>> dryRunRenamed;
    bool DryRunRenamed(int dirfd, const std::string& name) const {
        struct stat status {};
        return !dryRunRenamed.empty() && ::fstatat(dirfd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
               dryRunRenamed.contains({status.st_dev, status.st_ino});
    }

    bool Stopped() const { return host != nullptr && host->QuitRequested(); }
    void EntryDone() {
        ++entries;
        if (host != nullptr) {
            host->EntryDone(entries);
        }
    }
};

}  // namespace versalo
