#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/folder_rename.h"
#include "engine/name_scope.h"
#include "engine/skip_report.h"

namespace versalo {

// What one batch carries through item renaming and the folder walk.
struct BatchContext {
    BatchContext(BatchHost& batchHost, const BatchOptions& options)
        : host(batchHost),
          listener(options.listener),
          caseRule(options.caseRule),
          method(options.method),
          quoting(options.quoting),
          dryRun(options.dryRun),
          oneFileSystem(options.oneFileSystem),
          scope(options.scope),
          patterns(options.scope.exclude),
          plainNames(options.scope.part == NamePart::kWhole && options.scope.keep.empty()),
          kindMatters(options.scope.KindMatters(options.caseRule)) {}

    BatchHost& host;
    RenameListener* listener;
    CaseRule caseRule;
    RenameMethod method;
    NameQuoting quoting;
    bool dryRun;
    // Neither rename nor enter a folder on another file system than the walked item's; such
    // folders are collected in otherFileSystems (their paths as messages show them).
    bool oneFileSystem;
    std::vector<std::string> otherFileSystems;
    NameScope scope;
    NamePatterns patterns;     // scope.exclude, folded once
    bool plainNames;           // the whole name, no kept spellings: the rule alone
    bool kindMatters;          // an entry's new name (or whether it gets one) depends on its kind
    std::size_t excluded = 0;  // entries left out by the patterns

    // The progress bar's values before and after the dropped item being walked: the walk moves
    // the bar between them by the share of the item's first-level subfolders done.
    float progressBefore = 0.0F;
    float progressAfter = 0.0F;
    void WalkProgress(std::size_t done, std::size_t total) {
        if (total > 0 && progressAfter > progressBefore) {
            host.SetProgress(progressBefore + (progressAfter - progressBefore) * static_cast<float>(done) /
                                                  static_cast<float>(total));
        }
    }

    // The new spelling of an entry's name; folder matters only where kindMatters says so.
    std::string Converted(std::string_view name, bool folder = false) const {
        return plainNames && caseRule != CaseRule::kEachWord ? ConvertName(name, caseRule)
                                                             : ConvertName(name, caseRule, scope, folder);
    }
    std::string Quoted(std::string_view name) const { return QuotedName(name, quoting); }

    SkipReport skipped;
    std::size_t renamed = 0;    // entries that got a new name
    std::size_t unchanged = 0;  // entries that already had it
    std::size_t entries = 0;    // entries dealt with

    // The names of the folders that dropped items (or undone entries) lie in, each read once when
    // first needed and kept up to date by the renames; keyed by the folder's path.
    std::unordered_map<std::string, FolderListing> folderNames;
    FolderListing& NamesOf(int dirfd, const std::string& folder) {
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

    bool Stopped() const { return host.QuitRequested(); }
    void EntryDone() {
        ++entries;
        host.EntryDone(entries);
    }
};

}  // namespace versalo
