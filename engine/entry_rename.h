#pragma once

#include <string>
#include <unordered_set>

#include "engine/batch_context.h"

namespace versalo {

// Gives one entry of an open folder its new name under the case type in force and records the
// outcome in the batch: counts, the listener, and the skip report with a German reason.
// folderPath is only for messages. Returns the name the entry has afterwards.
//
// In a dry run nothing is renamed: the outcome is worked out from the folder's names, which the
// walk passes in (and which are updated as if the rename had been made); without them the folder
// is read.
std::string RenameEntry(int dirfd, const std::string& folderPath, const std::string& name, bool twoMove,
                        BatchContext& ctx, std::unordered_set<std::string>* dryRunNames = nullptr);

}  // namespace versalo
