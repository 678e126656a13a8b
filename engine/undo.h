#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/drop_batch.h"
#include "engine/folder_identity.h"
#include "engine/skip_report.h"

namespace versalo {

// One rename to take back: in the folder with this canonical path, the entry now called newName
// was called oldName.
struct UndoStep {
    std::string folder;
    std::string oldName;
    std::string newName;
    // Whether the folder's and the entry's device and inode numbers were recorded (an earlier
    // journal format had none). The entry lies on the folder's device.
    bool identified = false;
    dev_t folderDev = 0;
    ino_t folderIno = 0;
    ino_t ino = 0;
};

// The steps to take back, newest first.
class UndoSource {
public:
    enum class Next { kStep, kProblem, kEnd };
    virtual ~UndoSource() = default;
    // kStep fills step; kProblem fills problem (a record that cannot be used: it is listed and
    // passed over); kEnd when nothing is left.
    virtual Next Read(UndoStep& step, SkippedEntry& problem) = 0;
    // How much has been read, 0 to 100.
    virtual double Percent() const = 0;
};

// Keeps, in order, every rename one batch made, with what identifies the folder and the entry:
// what undo needs to take it back.
class UndoRecord : public RenameListener {
public:
    BeforeRename Renaming(const RenameStep& step) override;
    void Renamed(const RenameStep& step) override;
    void Clear() { m_steps.clear(); }
    const std::vector<UndoStep>& Steps() const { return m_steps; }
    std::size_t Count() const { return m_steps.size(); }
    bool Empty() const { return m_steps.empty(); }

private:
    CanonicalFolders m_folders;
    FolderIdentity m_folder;  // of the last rename
    bool m_haveFolder = false;
    UndoStep m_pending;
    bool m_havePending = false;
    std::vector<UndoStep> m_steps;
};

// Takes back the given renames, newest first, each only when it is still what the batch did: the
// folder is reached from the root without following any symbolic link and, where recorded, has
// the recorded device and inode; the entry under the new name is the recorded one (its inode);
// old and new name are case spellings of one name. Otherwise the step is skipped and listed. A
// step whose entry is still (or again) under its old name is passed over quietly: it was written
// down but never made, or has been taken back already. Nothing is overwritten (no-replace rules
// as in a batch, two moves where the file system ignores case). Runs like a drop batch: busy
// state, progress, events, the user may quit, finished, then the summary. The listener is told of
// every rename the undo makes (from the step's new name back to its old one). The options' case
// rule and method play no part: the old names are given back as they were, directly.
BatchResult UndoRenames(UndoSource& source, BatchHost& host, const BatchOptions& options);
// The same for steps kept in memory (the window's last drop), the last one taken back first.
BatchResult UndoRenames(const std::vector<UndoStep>& steps, BatchHost& host, const BatchOptions& options);

}  // namespace versalo
