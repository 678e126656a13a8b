#pragma once

#include <cstddef>
#include <string>

namespace versalo {

class SkipReport;

// The share done of a batch's work, 0 to 100, as SetProgress takes it (100 when there is nothing
// to do).
inline float Percent(std::size_t done, std::size_t total) {
    return total == 0 ? 100.0F
                      : static_cast<float>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
}

// What a batch needs of the window it runs in, in the window's own terms. Every function does
// nothing by default, so that a front end overrides only what it shows: the main window all of
// them, the command line a few.
class BatchHost {
public:
    virtual ~BatchHost() = default;

    // The window is disabled and its drop zone framed while a batch runs.
    virtual void SetBusy(bool /*busy*/) {}
    // The share done, 0 to 100.
    virtual void SetProgress(float /*percent*/) {}
    // An information for the user; '\n' breaks lines.
    virtual void ShowInformation(const std::string& /*text*/) {}
    // The entries that kept their names, once at the end of a batch that has any.
    virtual void ShowSkipped(const SkipReport& /*report*/) {}
    // The batch ran to its end (the window beeps).
    virtual void BatchFinished() {}
    // Lets queued window events run (repainting, a close request).
    virtual void ProcessEvents() {}
    // True once the user chose to quit; the batch then makes no further rename.
    virtual bool QuitRequested() { return false; }
    // After each entry the batch has dealt with, for progress on long work.
    virtual void EntryDone(std::size_t /*entriesSoFar*/) {}
};

// One rename the batch made (or, in a dry run, would make), in the folder it was made in.
// A two-move rename is one step.
struct RenameStep {
    std::string folder;  // as shown in messages
    std::string oldName;
    std::string newName;
    // The open folder the rename is made in, for a listener that must identify it (device, inode,
    // canonical path). Only valid during Renaming(); -1 in Renamed() and in a dry run.
    int dirfd = -1;
};

// What a listener says right before a rename.
enum class BeforeRename {
    kGo,        // make the rename
    kLeaveOut,  // leave this entry as it is (the journal file itself); not an error
    kStop,      // make no rename any more (the journal could not be written)
};

// Told of every rename: for the command line's listing and journal and for undo.
class RenameListener {
public:
    virtual ~RenameListener() = default;
    // Right before a rename is made (never in a dry run): a journal writes its line here, so that
    // a run killed between this call and the rename, or right after it, still has the line.
    virtual BeforeRename Renaming(const RenameStep& /*step*/) { return BeforeRename::kGo; }
    // Right before the rename of step goes through a temporary name, before that name is created
    // or used (step.dirfd is valid as in Renaming): a journal writes the name down here, so that
    // undo and a later run know it exactly as Versalo's own. kStop: the temporary name must not be
    // used, and the entry keeps its name.
    virtual BeforeRename Temporary(const RenameStep& /*step*/, const std::string& /*temporaryName*/) {
        return BeforeRename::kGo;
    }
    // After the rename was made (in a dry run: would be made).
    virtual void Renamed(const RenameStep& step) = 0;
};

}  // namespace versalo
