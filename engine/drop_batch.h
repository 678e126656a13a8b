#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/case_rules.h"
#include "engine/name_scope.h"
#include "engine/skip_report.h"

namespace versalo {

// What was dropped: whether the data carried a list of files, and the paths in their order.
// Paths are bytes, exactly as the file system knows them.
struct DropData {
    bool hasFileList = false;
    std::vector<std::string> paths;
};

// How a dropped item is renamed: in one no-replace rename, or in two moves through a temporary
// name. Inside a dropped folder every entry is renamed directly.
enum class RenameMethod { kDirect, kTwoMoves };

// How messages show names: in a window, in single quotes with odd bytes as \xNN (nothing is
// pasted back from there); on a terminal as ShellQuoted, so that every shown path can be pasted
// into a shell and reaches the same entry.
enum class NameQuoting { kWindow, kShell };

struct BatchOptions {
    CaseRule caseRule = CaseRule::kLower;
    RenameMethod method = RenameMethod::kDirect;
    bool dryRun = false;         // work everything out, rename nothing
    bool oneFileSystem = false;  // leave folders on other file systems alone
    NameQuoting quoting = NameQuoting::kWindow;
    NameScope scope{};                   // which part of which entries, how deep, what is left out
    RenameListener* listener = nullptr;  // told of every rename made
};

struct BatchResult {
    bool started = false;   // the data carried a file list and the batch ran
    bool finished = false;  // false when the user quit in the middle
    std::size_t renamed = 0;
    std::size_t unchanged = 0;
    SkipReport skipped;
    std::vector<std::string> otherFileSystems;  // folders passed over for oneFileSystem
    std::size_t excluded = 0;                   // entries left out by the scope's patterns

    bool AllDone() const { return started && finished && skipped.Empty(); }
};

// The response to a drop: renames each dropped item, walks a folder's contents, and drives the
// window through host (busy; progress after each dropped item and, within a dropped folder, per
// subfolder of its own done; events after each item; at the end BatchFinished, then the summary
// of entries that kept their names). A drop without a file list only gets an information.
BatchResult ProcessDrop(const DropData& data, BatchHost& host, const BatchOptions& options);

// The walk keeps one folder open per level of depth: lets the program open as many as the system
// allows it. Programs call this once at their start.
void RaiseOpenFileLimit();

}  // namespace versalo
