#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/skip_report.h"

namespace versalo::test {

// Stands in for the window: records what the batch tells it, and quits when told to.
class RecordingHost : public BatchHost {
public:
    std::vector<std::string> calls;  // in order: "busy 1", "progress 50.000000", "finished", ...
    std::vector<std::string> information;
    std::vector<SkippedEntry> skipped;
    int beeps = 0;  // BatchFinished, which the window answers with a beep
    int eventRounds = 0;
    bool quit = false;
    // Runs at each event-processing point, like a queued window event would.
    std::function<void(RecordingHost&)> onEvents;

    void SetBusy(bool busy) override { calls.push_back(busy ? "busy 1" : "busy 0"); }
    void SetProgress(float percent) override;
    void ShowInformation(const std::string& text) override { information.push_back(text); }
    void ShowSkipped(const SkipReport& report) override;
    void BatchFinished() override;
    void ProcessEvents() override;
    bool QuitRequested() override { return quit; }
};

}  // namespace versalo::test
