#pragma once

#include <string>

#include "engine/batch_context.h"

namespace versalo {

// Where a dropped item is after RenameItem: the path it can be reached by, the path to show (in a
// dry run the one it would have), and whether the path led nowhere (then it has been reported).
struct ItemPaths {
    std::string existing;
    std::string shown;
    bool missing = false;
    bool wasFolder = false;  // the item was a folder (not a link to one) when it was renamed
    bool repeated = false;   // dealt with before in this batch (given twice): nothing left to do
};

// Gives one dropped file, folder or link its new name: the last component of path is passed
// through ConvertName and the item is renamed in its own folder, directly or in two moves as
// the batch's method says. The file-system root and paths ending in "." or ".." are not renamed;
// trailing slashes are ignored. On a file system that respects case the old spelling no longer
// reaches a renamed item, so the caller goes on with the path returned.
ItemPaths RenameItem(const std::string& path, BatchContext& ctx);

}  // namespace versalo
