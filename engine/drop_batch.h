#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/skip_report.h"

namespace versalo {

// What was dropped: whether the data carried a list of files, and the paths in their order.
// Paths are bytes, exactly as the file system knows them.
struct DropData {
    bool hasFileList = false;
    std::vector<std::string> paths;
};

struct BatchOptions {
    bool dryRun = false;                 // work everything out, rename nothing
    RenameListener* listener = nullptr;  // told of every rename made
    bool oneFileSystem = false;          // leave folders on other file systems alone
};

struct BatchResult {
    bool started = false;   // the data carried a file list and the batch ran
    bool finished = false;  // false when the user quit in the middle
    std::size_t renamed = 0;
    std::size_t unchanged = 0;
    SkipReport skipped;
    std::vector<std::string> otherFileSystems;  // folders passed over for oneFileSystem

    bool AllDone() const { return started && finished && skipped.Empty(); }
};

// The response to a drop: renames each dropped item, walks a folder's contents, and drives the
// window through host (busy state; progress after each dropped item and, within a dropped
// folder, per subfolder of its own done; events after each item; beep at the end, then the
// summary of entries that kept their names).
BatchResult ProcessDrop(const DropData& data, BatchHost& host, const BatchOptions& options = {});

// The walk keeps one folder open per level of depth: lets the program open as many as the system
// allows it. Programs call this once at their start.
void RaiseOpenFileLimit();

// The message for a drop without a file list.
inline constexpr const char* kProgramTitle = "Versalo";
inline constexpr const char* kNoFileListMessage =
    "Bitte nur Datei- und Verzeichnisnamen in die Liste ziehen.";

}  // namespace versalo
