#pragma once

#include <string>

#include "engine/batch_context.h"

namespace versalo {

// Gives one dropped file, folder or link its new name: the last component of path is passed
// through ConvertName and the item is renamed in its own folder, directly or in two moves as
// RenameDirect says. The file-system root and paths ending in "." or ".." are not renamed;
// trailing slashes are ignored. Returns the path under which the item exists afterwards: on a
// file system that respects case the old spelling no longer reaches a renamed item.
std::string RenameItem(const std::string& path, BatchContext& ctx);

// The same, also telling the path to show for the item: in a dry run the path it would have.
struct ItemPaths {
    std::string existing;
    std::string shown;
    bool missing = false;  // the path leads nowhere; already reported
};
ItemPaths RenameDroppedItem(const std::string& path, BatchContext& ctx);

}  // namespace versalo
