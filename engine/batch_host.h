#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace versalo {

class SkipReport;

// Message box codes as the batch uses them: an OK button alone, or with the information icon.
inline constexpr int kMessageOk = 0;
inline constexpr int kMessageInformation = 64;

// What a drop batch needs of the window it runs in. The main window implements it with widgets,
// the command line for a terminal, and the tests with a recorder.
class BatchHost {
public:
    virtual ~BatchHost() = default;

    // Progress bar value, 0 to 100.
    virtual void SetProgress(float value) = 0;
    // Border round the drop zone: 1 a single line (busy), 0 none (idle).
    virtual void SetDropZoneBorder(int style) = 0;
    // Enables (-1) or disables (0) the main window.
    virtual void SetMainWindowEnabled(std::int16_t flag) = 0;
    // A message box with the prompt, a button-and-icon code and a title. A carriage return in
    // the prompt starts a new line.
    virtual void ShowMessage(const std::string& prompt, int code, const std::string& title) = 0;
    // The summary of the entries that kept their names, once at the end of a batch that has any.
    virtual void ShowSkipped(const SkipReport& report) = 0;
    virtual void Beep() = 0;
    // Lets queued window events run (repainting, a close request).
    virtual void ProcessEvents() = 0;
    // True once the user chose to quit; the batch then makes no further rename.
    virtual bool QuitRequested() = 0;
    // Called after each entry the batch has dealt with, for progress on long work.
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
    // After the rename was made (in a dry run: would be made).
    virtual void Renamed(const RenameStep& step) = 0;
};

}  // namespace versalo
