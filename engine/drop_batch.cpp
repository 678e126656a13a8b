#include "engine/drop_batch.h"

#include <sys/resource.h>

#include "engine/batch_context.h"
#include "engine/batch_cycle.h"
#include "engine/engine_state.h"
#include "engine/rename_item.h"
#include "engine/rename_tree.h"

namespace versalo {

namespace {

// The walk keeps one folder open per level of depth; let it go as deep as the system allows.
void RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
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
    if (BatchRunning != 0) {
        return result;  // the window is disabled while a batch runs; never start a second one inside it
    }
    RaiseOpenFileLimit();
    result.started = true;
    EnterBusyState(host);
    const std::size_t count = data.paths.size();

    BatchContext ctx;
    ctx.host = &host;
    ctx.listener = options.listener;
    ctx.dryRun = options.dryRun;

    for (std::size_t i = 1; i <= count; ++i) {
        const std::string& path = data.paths[i - 1];
        if (path.find('?') != std::string::npos) {
            host.ShowMessage(InvalidPathMessage(path), kMessageOk, kProgramTitle);
            ++result.invalidPaths;
        } else {
            const ItemPaths item = RenameDroppedItem(path, ctx);
            ctx.EntryDone();
            if (!item.missing && !ctx.Stopped()) {
                RenameTree(item.existing, ctx, item.shown);
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
    if (host.QuitRequested()) {
        // The user chose to quit: the program ends now, without the batch's normal end.
        BatchRunning = kFalse;
        return result;
    }
    FinishBatch(host, result);
    return result;
}

}  // namespace versalo
