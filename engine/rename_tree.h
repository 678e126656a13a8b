#pragma once

#include <string>

#include "engine/batch_context.h"

namespace versalo {

// Renames everything inside a folder, at every depth, under the batch's case rule.
//
// Each folder is read completely, then its entries are renamed in listing order, then its
// subfolders are walked, the last one found first, depth first. Names beginning with "." are
// neither renamed nor entered. Symbolic links are renamed like files and never followed. Inside
// the walk every entry is renamed directly (with the no-replace rules of RenameInFolder).
// Entries are reached relative to open folders, so trees deeper than the path-length limit work.
// Pending window events are processed once per folder read; the walk stops when the host says
// the user quit. A path that is not a folder (a file, or a link) is left alone; a folder that
// cannot be opened is reported.
// shownPath, when given, is the folder's path in messages (a dry run shows the names entries
// would have).
// Returns false when folder was no folder (or could not be opened) and nothing was walked.
bool RenameTree(const std::string& folder, BatchContext& ctx, const std::string& shownPath = {});

}  // namespace versalo
