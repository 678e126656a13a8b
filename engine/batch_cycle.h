#pragma once

#include "engine/batch_context.h"
#include "engine/batch_host.h"
#include "engine/drop_batch.h"

namespace versalo {

// The busy cycle every batch (a drop, an undo) goes through in the window.

// Sets BatchRunning, disables the window, draws the busy border, puts the progress at 0, and
// marks the result started. False, changing nothing, when a batch runs already: the window is
// disabled then, and no second batch may start inside the first.
bool EnterBusyState(BatchHost& host, BatchResult& result);

// Takes the batch's counts and skip report from ctx into result, then the normal end: beep, BatchRunning
// cleared, window enabled, border removed, progress back to 0, then the summary of skipped entries, if any;
// the result is marked finished. When the user chose to quit, only BatchRunning is cleared: the program ends
// now, without the batch's normal end.
void FinishBatch(BatchHost& host, BatchContext& ctx, BatchResult& result);

}  // namespace versalo
