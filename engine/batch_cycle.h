#pragma once

#include "engine/batch_host.h"
#include "engine/drop_batch.h"

namespace versalo {

// The busy cycle every batch (a drop, an undo) goes through in the window.

// Sets BatchRunning, disables the window, draws the busy border, puts the progress at 0.
void EnterBusyState(BatchHost& host);

// The normal end: beep, BatchRunning cleared, window enabled, border removed, progress back to 0,
// then the summary of skipped entries, if any. Marks the result finished.
void FinishBatch(BatchHost& host, BatchResult& result);

}  // namespace versalo
