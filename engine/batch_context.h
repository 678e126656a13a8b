#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>

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

    bool Stopped() const { return host != nullptr && host->QuitRequested(); }
    void EntryDone() {
        ++entries;
        if (host != nullptr) {
            host->EntryDone(entries);
        }
    }
};

}  // namespace versalo
