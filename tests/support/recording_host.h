#pragma once

#include <functional>
#include <vector>

#include "engine/batch_host.h"
#include "engine/skip_report.h"

namespace versalo::test {

// Stands in for the window: records what the batch tells it, and quits when told to.
class RecordingHost : public BatchHost {
public:
    std::vector<SkippedEntry> skipped;
    int beeps = 0;  // BatchFinished, which the window answers with a beep
    int eventRounds = 0;
    bool quit = false;
    // Runs at each event-processing point, like a queued window event would.
    std::function<void(RecordingHost&)> onEvents;

    void ShowSkipped(const SkipReport& report) override { skipped = report.Entries(); }
    void BatchFinished() override { ++beeps; }
    void ProcessEvents() override;
    bool QuitRequested() override { return quit; }
};

}  // namespace versalo::test
