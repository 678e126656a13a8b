#include "engine/batch_cycle.h"

#include "engine/engine_state.h"

namespace versalo {

void EnterBusyState(BatchHost& host) {
    BatchRunning = kTrue;
    host.SetMainWindowEnabled(kFalse);
    host.SetDropZoneBorder(1);
    host.SetProgress(0.0F);
}

void FinishBatch(BatchHost& host, BatchResult& result) {
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
