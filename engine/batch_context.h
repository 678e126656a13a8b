#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
#include "engine/drop_batch.h"
#include "engine/folder_listing.h"
#include "engine/folder_rename.h"
#include "engine/name_scope.h"
#include "engine/skip_report.h"
#include "engine/sys.h"

namespace versalo {

// What one batch carries through item renaming and the folder walk.
struct BatchContext {
    BatchContext(BatchHost& batchHost, const BatchOptions& options)
        : host(batchHost),
          listener(options.listener),
          caseRule(options.caseRule),
          converter(options.caseRule),
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
    NameConverter converter;  // caseRule in the user's locale, looked up once for the batch
    RenameMethod method;
    NameQuoting quoting;
    bool dryRun;
    // Neither rename nor enter a folder that is a mount point (another file system, or a bind
    // mount of the walked one); such folders are collected in otherFileSystems (their paths as
    // messages show them).
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
            host.SetProgress(progressBefore +
                             (progressAfter - progressBefore) * Percent(done, total) / 100.0F);
        }
    }

    // The new spelling of an entry's name; folder matters only where kindMatters says so.
    std::string Converted(std::string_view name, bool folder = false) const {
        return plainNames && caseRule != CaseRule::kEachWord ? converter(name)
                                                             : ConvertName(name, caseRule, scope, folder);
    }
    std::string Quoted(std::string_view name) const { return QuotedName(name, quoting); }

    SkipReport skipped;
    std::size_t renamed = 0;  // entries that got a new name
    std::size_t entries = 0;  // entries dealt with

    // The names of the folders that dropped items (or undone entries) lie in, each read once when
    // first needed and kept up to date by the renames; keyed by the folder's path.
    std::unordered_map<std::string, FolderListing> folderNames;
    FolderListing& NamesOf(int dirfd, const std::string& folder) {
        auto found = folderNames.find(folder);
        if (found == folderNames.end()) {
            Result<FolderListing> listing = ReadFolder(dirfd, /*withDotNames=*/true);
            if (!listing) {
                unlisted.insert(folder);
            }
            found = folderNames.emplace(folder, std::move(listing.value)).first;
        }
        return found->second;
    }
    // As NamesOf, for a dropped item named leaf (whose status is item) that is to be called wanted.
    // A folder that may be searched but not listed (mode -wx) reads as empty; the names that
    // matter here are looked up one by one instead, so that a collision is told there as well,
    // and a dry run tells what the real run will meet. A wanted name that leads to the item
    // itself is the file system ignoring case, not another entry.
    FolderListing& NamesOf(int dirfd, const std::string& folder, const std::string& leaf,
                           const std::string& wanted, const struct stat& item) {
        FolderListing& names = NamesOf(dirfd, folder);
        if (unlisted.contains(folder)) {
            names.insert(leaf);
            if (wanted != leaf) {
                const Result<struct stat> other = StatNoFollow(dirfd, wanted.c_str());
                if (other && (other.value.st_dev != item.st_dev || other.value.st_ino != item.st_ino)) {
                    names.insert(wanted);
                }
            }
        }
        return names;
    }
    std::set<std::string> unlisted;  // folders of folderNames that could not be read

    // The dropped items dealt with so far, by the folder they lie in (device, inode) and a name
    // they had or have (in a dry run: would have), with their inode number. A path given twice,
    // or a second path to the same entry, is recognised by it under its old name or its new one
    // and left alone: nothing is left to change. The folder is part of the key, so that two hard
    // links of one file in two folders stay two items.
    using GivenName = std::tuple<dev_t, ino_t, std::string>;
    std::map<GivenName, ino_t> givenItems;
    static GivenName Given(const struct stat& folder, std::string name) {
        return {folder.st_dev, folder.st_ino, std::move(name)};
    }

    // In a dry run: the dropped items it has "renamed" (device, inode), which the real run would
    // meet again under their new names (overlapping paths such as "A/B A").
    std::set<std::pair<dev_t, ino_t>> dryRunRenamed;
    bool DryRunRenamed(int dirfd, const std::string& name) const {
        if (dryRunRenamed.empty()) {
            return false;
        }
        const Result<struct stat> status = StatNoFollow(dirfd, name.c_str());
        return status && dryRunRenamed.contains({status.value.st_dev, status.value.st_ino});
    }

    bool Stopped() const { return host.QuitRequested(); }
    void EntryDone() {
        ++entries;
        host.EntryDone(entries);
    }
};

}  // namespace versalo
