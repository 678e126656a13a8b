#include "engine/batch_cycle.h"

namespace versalo {

void EnterBusyState(BatchHost& host, BatchResult& result) {
    result.started = true;
    host.SetBusy(true);
    host.SetProgress(0.0F);
}

void FinishBatch(BatchHost& host, BatchContext& ctx, BatchResult& result) {
    result.renamed = ctx.renamed;
    result.unchanged = ctx.unchanged;
    result.skipped = std::move(ctx.skipped);
    result.otherFileSystems = std::move(ctx.otherFileSystems);
    result.excluded = ctx.excluded;
    if (host.QuitRequested()) {
        return;
    }
    result.finished = true;
    host.BatchFinished();
    host.SetBusy(false);
    host.SetProgress(0.0F);
    if (!result.skipped.Empty()) {
        host.ShowSkipped(result.skipped);
    }
}

}  // namespace versalo
