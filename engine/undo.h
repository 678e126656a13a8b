#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
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
    // What else tells them apart, where recorded: the file system's identity (0: none), which
    // holds when a disk comes back under another device number, and the entry's birth time.
    std::uint64_t fsid = 0;
    bool hasBirth = false;
    std::int64_t birth = 0;
    // False where inode numbers do not last across a mount (exfat-fuse): a file is then known by
    // its name, size and modification time instead (hasSizeTime), a folder by its name.
    bool inodesLast = true;
    bool hasSizeTime = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    // The temporary names the rename went through, as recorded before each was used; only these
    // are Versalo's own. An earlier journal recorded none (temporariesRecorded false).
    bool temporariesRecorded = false;
    std::vector<std::string> temporaries;
    // The run's case rule (none: an earlier journal) and locale (empty: not recorded); a step is
    // taken back only when the rule makes newName of oldName.
    std::optional<CaseRule> rule;
    std::string locale;
    // The run's name part and kept spellings, which change what the rule makes of a name.
    NameScope scope;
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
    BeforeRename Temporary(const RenameStep& step, const std::string& temporaryName) override;
    void Renamed(const RenameStep& step) override;
    // The batch's rule and scope, kept with each step for undo's check of the rule.
    void SetRule(CaseRule rule, const NameScope& scope) {
        m_rule = rule;
        m_scope = scope;
    }
    void Clear() { m_steps.clear(); }
    const std::vector<UndoStep>& Steps() const { return m_steps; }
    std::size_t Count() const { return m_steps.size(); }
    bool Empty() const { return m_steps.empty(); }

private:
    CanonicalFolders m_folders;
    InodeLifetime m_lifetime;
    FolderIdentity m_folder;  // of the last rename
    std::uint64_t m_fsid = 0;
    bool m_inodesLast = true;
    bool m_haveFolder = false;
    UndoStep m_pending;
    bool m_havePending = false;
    std::optional<CaseRule> m_rule;
    NameScope m_scope;
    std::vector<UndoStep> m_steps;
};

// Takes back the given renames, newest first, each only when it is still what the batch did: the
// folder is reached from the root without following any symbolic link and, where recorded, has
// the recorded inode and file system (its identity, or the device number where it has none); the
// entry under the new name is the recorded one (inode and birth time, or name, size and time where
// inode numbers do not last); the new name is what the run's case rule makes of the old one. An
// entry found under a recorded temporary name, or under both names (a move by link and unlink
// stopped half-way), is finished; an empty temporary file a stopped run left is removed. Otherwise the step
// is skipped and listed. A step whose entry is still (or again) under its old name is passed over quietly: it
// was written down but never made, or has been taken back already. Nothing is overwritten (no-replace rules
// as in a batch, two moves where the file system ignores case). Runs like a drop batch: busy
// state, progress, events, the user may quit, finished, then the summary. The listener is told of
// every rename the undo makes (from the step's new name back to its old one). The options' case
// rule and method play no part: the old names are given back as they were, directly.
BatchResult UndoRenames(UndoSource& source, BatchHost& host, const BatchOptions& options);
// The same for steps kept in memory (the window's last drop), the last one taken back first.
BatchResult UndoRenames(const std::vector<UndoStep>& steps, BatchHost& host, const BatchOptions& options);

}  // namespace versalo
