#pragma once

#include "engine/batch_context.h"
#include "engine/batch_host.h"
#include "engine/drop_batch.h"

namespace versalo {

// The busy cycle every batch (a drop, an undo) goes through in the window.

// The window turns busy, the progress goes to 0, and the result is marked started.
void EnterBusyState(BatchHost& host, BatchResult& result);

// Takes the batch's counts and skip report from ctx into result, then the normal end: finished,
// the window no longer busy, progress back to 0, then the summary of skipped entries, if any.
// When the user chose to quit, none of that: the program ends now.
void FinishBatch(BatchHost& host, BatchContext& ctx, BatchResult& result);

}  // namespace versalo
