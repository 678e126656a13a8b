#pragma once

#include <cstddef>

#include "engine/batch_host.h"
#include "engine/skip_report.h"

namespace versalo {

// What one batch carries through item renaming and the folder walk.
struct BatchContext {
    BatchHost* host = nullptr;
    RenameListener* listener = nullptr;
    bool dryRun = false;

    SkipReport skipped;
    std::size_t renamed = 0;    // entries that got a new name
    std::size_t unchanged = 0;  // entries that already had it
    std::size_t entries = 0;    // entries dealt with

    bool Stopped() const { return host != nullptr && host->QuitRequested(); }
    void EntryDone() {
        ++entries;
        if (host != nullptr) {
            host->EntryDone(entries);
        }
    }
};

}  // namespace versalo
