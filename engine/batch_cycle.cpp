#include "engine/batch_cycle.h"

#include "engine/engine_state.h"

namespace versalo {

bool EnterBusyState(BatchHost& host, BatchResult& result) {
    if (BatchRunning != 0) {
        return false;
    }
    result.started = true;
    BatchRunning = kTrue;
    host.SetMainWindowEnabled(kFalse);
    host.SetDropZoneBorder(1);
    host.SetProgress(0.0F);
    return true;
}

void FinishBatch(BatchHost& host, BatchContext& ctx, BatchResult& result) {
    result.renamed = ctx.renamed;
    result.unchanged = ctx.unchanged;
    result.skipped = std::move(ctx.skipped);
    result.otherFileSystems = std::move(ctx.otherFileSystems);
    if (host.QuitRequested()) {
        BatchRunning = kFalse;
        return;
    }
    result.finished = true;
    host.Beep();
    BatchRunning = kFalse;
    host.SetMainWindowEnabled(kTrue);
    host.SetDropZoneBorder(0);
    host.SetProgress(0.0F);
    if (!result.skipped.Empty()) {
        host.ShowSkipped(result.skipped);
    }
}

}  // namespace versalo
