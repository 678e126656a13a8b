#pragma once

#include <string>
#include <unordered_set>

#include "engine/batch_context.h"

namespace versalo {

// The names of an entry after RenameEntry: the one it can be reached by now, and the one to show.
// They differ only in a dry run, where nothing is renamed but messages show the names the entries
// would have, as a real run would.
struct EntryNames {
    std::string existing;
    std::string shown;
};

// Gives one entry of an open folder its new name under the case type in force and records the
// outcome in the batch: counts, the listener, and the skip report with a German reason.
// folderPath is only for messages.
//
// In a dry run nothing is renamed: the outcome is worked out from the folder's names, which the
// walk passes in (and which are updated as if the rename had been made); without them the folder
// is read.
EntryNames RenameEntry(int dirfd, const std::string& folderPath, const std::string& name, bool twoMove,
                       BatchContext& ctx, std::unordered_set<std::string>* dryRunNames = nullptr);

}  // namespace versalo
