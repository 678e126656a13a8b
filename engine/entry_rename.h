#pragma once

#include <string>

#include "engine/batch_context.h"
#include "engine/folder_listing.h"
#include "engine/folder_rename.h"

namespace versalo {

// The names of an entry after RenameEntry: the one it can be reached by now, and the one to show.
// They differ only in a dry run, where nothing is renamed but messages show the names the entries
// would have, as a real run would.
struct EntryNames {
    std::string existing;
    std::string shown;
    // The entry was gone when its turn came (or, in a dry run, was dealt with before as a
    // dropped item): nothing to enter.
    bool vanished = false;
};

// Gives one entry of an open folder its new name under the batch's case rule and records the
// outcome in the batch. folderPath is only for messages.
//
// names holds the folder's names as they were read and is kept up to date. A new name that is in
// it (and still there) belongs to another entry: that is a collision, told without touching
// either entry. (A file system that ignores case never lists both spellings, so there the rename
// is tried and the file system decides; and a file that has both names as hard links keeps both.)
// In a dry run nothing is renamed: the outcome is worked out from names alone. folder: the entry is a folder
// (it decides the new name where ctx.kindMatters). notes carries what was learnt of the file systems from one
// entry to the next.
EntryNames RenameEntry(int dirfd, const std::string& folderPath, const std::string& name, bool twoMove,
                       BatchContext& ctx, FolderListing& names, bool folder = false,
                       FileSystemNotes* notes = nullptr);

// Counts a rename's outcome and tells the listener, or puts the entry in the skip report with its
// reason; collisionReason is the reason given when the target name was taken.
void RecordOutcome(BatchContext& ctx, const std::string& folderPath, const std::string& from,
                   const std::string& to, const FolderRenameResult& result,
                   const std::string& collisionReason);

}  // namespace versalo
