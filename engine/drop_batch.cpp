#include "engine/drop_batch.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <unordered_map>

#include "collection/paths.h"
#include "engine/case_rules.h"

#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/engine_state.h"
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

// A dropped path below a folder dropped earlier in the same batch: that folder and everything in
// it may have new names by now (the command line gets such lists from "**/*"). Looks the path up
// under the names the batch gave: the folder's new path, then each further component as it is or,
// failing that, as the case rule spells it.
std::string FollowEarlierRenames(const std::string& path,
                                 const std::unordered_map<std::string, std::string>& walkedFolders) {
    if (walkedFolders.empty()) {
        return path;
    }
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
         slash = path.rfind('/', slash - 1)) {
        const auto found = walkedFolders.find(path.substr(0, slash));
        if (found == walkedFolders.end()) {
            continue;
        }
        std::string result = found->second;
        std::size_t start = slash + 1;
        while (start < path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string::npos) {
                end = path.size();
            }
            const std::string component = path.substr(start, end - start);
            start = end + 1;
            if (component.empty()) {
                continue;
            }
            std::string candidate = JoinPath(result, component);
            struct stat status {};
            if (::lstat(candidate.c_str(), &status) != 0) {
                const std::string converted = JoinPath(result, ConvertName(component));
                if (::lstat(converted.c_str(), &status) == 0) {
                    candidate = converted;
                }
            }
            result = std::move(candidate);
        }
        return result;
    }
    return path;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string InvalidPathMessage(const std::string& path) {
    return "Der Verzeichnisname '" + path +
           "'\renthält ungültige Zeichen und wird daher nicht berücksichtigt.";
}

BatchResult ProcessDrop(const DropData& data, BatchHost& host, const BatchOptions& options) {
    BatchResult result;
    if (!data.hasFileList) {
        host.ShowMessage(kNoFileListMessage, kMessageInformation, kProgramTitle);
        return result;
    }
    if (!EnterBusyState(host, result)) {
        return result;
    }
    const std::size_t count = data.paths.size();

    BatchContext ctx;
    ctx.host = &host;
    ctx.listener = options.listener;
    ctx.dryRun = options.dryRun;
    // Dropped folders walked so far: their path as dropped, and the path they have now.
    std::unordered_map<std::string, std::string> walkedFolders;

    for (std::size_t i = 1; i <= count; ++i) {
        const std::string& path = data.paths[i - 1];
        if (path.find('?') != std::string::npos) {
            host.ShowMessage(InvalidPathMessage(path), kMessageOk, kProgramTitle);
            ++result.invalidPaths;
        } else {
            const std::string dropped = WithoutTrailingSlashes(path);
            const ItemPaths item = RenameItem(FollowEarlierRenames(dropped, walkedFolders), ctx);
            ctx.EntryDone();
            if (!item.missing && !ctx.Stopped() && RenameTree(item.existing, ctx, item.shown)) {
                walkedFolders[dropped] = item.existing;
            }
        }
        host.SetProgress(static_cast<float>(static_cast<double>(i) / static_cast<double>(count) * 100.0));
        host.ProcessEvents();
        if (ctx.Stopped()) {
            break;
        }
    }

    result.renamed = ctx.renamed;
    result.unchanged = ctx.unchanged;
    result.skipped = std::move(ctx.skipped);
    FinishBatch(host, result);
    return result;
}

}  // namespace versalo
