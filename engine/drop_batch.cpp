#include "engine/drop_batch.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <unordered_map>

#include "engine/case_rules.h"
#include "engine/paths.h"

#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/rename_item.h"
#include "engine/rename_tree.h"

namespace versalo {

void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

namespace {

// The dropped folders walked so far in a batch: their path as dropped, and the path they have now.
using WalkedFolders = std::unordered_map<std::string, std::string>;

// Where a dropped path lies below a folder dropped (and walked) earlier in the same batch, as in
// the lists the command line gets from "**/*".
enum class Below { kNothing, kWalked, kDotName };

// Finds the nearest walked folder above path. kWalked: the walk dealt with the path already.
// kDotName: the walk did not, since on the way down there is a dot-name it never enters (or an
// excluded name, or a level deeper than the walk goes); then
// following is the path under the names the walk gave the folders above it.
Below BelowWalkedFolder(const std::string& path, const WalkedFolders& walked, const BatchContext& ctx,
                        std::string& following) {
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        const auto found = walked.find(path.substr(0, slash));
        if (found == walked.end()) {
            continue;
        }
        std::string result = found->second;
        bool dotName = false;
        int depth = 0;
        for (const std::string_view component : PathComponents(std::string_view(path).substr(slash + 1))) {
            // Like a dot-name, an excluded name or one deeper than the walk goes ends the walk's part.
            ++depth;
            dotName = dotName || component.starts_with('.') || ctx.patterns.Matches(component) ||
                      (ctx.scope.maxDepth >= 0 && depth > ctx.scope.maxDepth);
            // From a dot-name on nothing was renamed; above it, each folder has its new name.
            std::string candidate = JoinPath(result, component);
            struct stat status {};
            // The name the walk gave it, as a folder or else as a file.
            for (const bool folder : {true, false}) {
                if (!dotName && ::lstat(candidate.c_str(), &status) != 0) {
                    const std::string converted = JoinPath(result, ctx.Converted(component, folder));
                    if (::lstat(converted.c_str(), &status) == 0) {
                        candidate = converted;
                    }
                }
            }
            result = std::move(candidate);
        }
        following = std::move(result);
        return dotName ? Below::kDotName : Below::kWalked;
    }
    return Below::kNothing;
}

// A dropped folder that the walk did not enter because it is a link or a file now: another
// program swapped it right after its rename. The walk follows no link, so nothing else was
// touched, but the folder's contents kept their names: say so.
void ReportSwappedFolder(const ItemPaths& item, BatchContext& ctx) {
    struct stat status {};
    if (::lstat(item.existing.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) {
        ctx.skipped.Add(item.shown,
                        "war ein Ordner und wurde gleich nach dem Umbenennen durch " +
                            std::string(S_ISLNK(status.st_mode) ? "eine Verknüpfung" : "eine Datei") +
                            " ersetzt; sein Inhalt bleibt, wie er ist");
    }
}

// Renames one dropped path and walks it when it is a folder, unless the walk of an earlier
// dropped folder renamed it already: nothing is renamed (nor walked, nor listed) a second time.
void DropOne(const std::string& path, WalkedFolders& walkedFolders, BatchContext& ctx) {
    // A "?" is an ordinary character of a Linux name: dropped and given paths arrive byte for
    // byte, so it is the user's own and the path is renamed like any other.
    const std::string dropped(WithoutTrailingSlashes(path));
    std::string following;
    const Below below = BelowWalkedFolder(dropped, walkedFolders, ctx, following);
    if (below == Below::kWalked) {
        return;
    }
    const ItemPaths item = RenameItem(below == Below::kDotName ? following : dropped, ctx);
    ctx.EntryDone();
    if (item.missing || ctx.Stopped()) {
        return;
    }
    if (RenameTree(item.existing, ctx, item.shown)) {
        walkedFolders[dropped] = item.existing;
    } else if (item.wasFolder) {
        ReportSwappedFolder(item, ctx);
    }
}

float Percent(std::size_t done, std::size_t count) {
    return static_cast<float>(static_cast<double>(done) / static_cast<double>(count) * 100.0);
}

}  // namespace

BatchResult ProcessDrop(const DropData& data, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    if (!data.hasFileList) {
        host.ShowInformation("Bitte nur Datei- und Verzeichnisnamen in die Liste ziehen.");
        return result;
    }
    EnterBusyState(host, result);
    BatchContext ctx(host, options);
    WalkedFolders walkedFolders;
    const std::size_t count = data.paths.size();
    for (std::size_t i = 0; i < count && !ctx.Stopped(); ++i) {
        ctx.progressBefore = Percent(i, count);
        ctx.progressAfter = Percent(i + 1, count);
        DropOne(data.paths[i], walkedFolders, ctx);
        host.SetProgress(ctx.progressAfter);
        host.ProcessEvents();
    }
    FinishBatch(host, ctx, result);
    return result;
}

}  // namespace versalo
