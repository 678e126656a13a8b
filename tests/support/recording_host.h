#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/batch_host.h"
#include "engine/skip_report.h"

namespace versalo::test {

// Stands in for the window: records every call the batch makes.
class RecordingHost : public BatchHost {
public:
    struct Message {
        std::string prompt;
        int code;
        std::string title;
    };

    std::vector<std::string> calls;  // in order: "enabled 0", "border 1", "progress 50", ...
    std::vector<float> progress;
    std::vector<Message> messages;
    std::vector<SkippedEntry> skipped;
    int beeps = 0;
    int eventRounds = 0;
    bool quit = false;
    // Runs at each event-processing point, like a queued window event would.
    std::function<void(RecordingHost&)> onEvents;

    void SetProgress(float value) override;
    void SetDropZoneBorder(int style) override;
    void SetMainWindowEnabled(std::int16_t flag) override;
    void ShowMessage(const std::string& prompt, int code, const std::string& title) override;
    void ShowSkipped(const SkipReport& report) override;
    void Beep() override;
    void ProcessEvents() override;
    bool QuitRequested() override { return quit; }
};

}  // namespace versalo::test
