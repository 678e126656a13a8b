#include "tests/support/recording_host.h"

namespace versalo::test {

void RecordingHost::SetProgress(float value) {
    progress.push_back(value);
    calls.push_back("progress " + std::to_string(value));
}

void RecordingHost::SetDropZoneBorder(int style) {
    calls.push_back("border " + std::to_string(style));
}

void RecordingHost::SetMainWindowEnabled(std::int16_t flag) {
    calls.push_back("enabled " + std::to_string(flag));
}

void RecordingHost::ShowMessage(const std::string& prompt, int code, const std::string& title) {
    messages.push_back({prompt, code, title});
    calls.push_back("message");
}

void RecordingHost::ShowSkipped(const SkipReport& report) {
    skipped = report.Entries();
    calls.push_back("skipped");
}

void RecordingHost::Beep() {
    ++beeps;
    calls.push_back("beep");
}

void RecordingHost::ProcessEvents() {
    ++eventRounds;
    if (onEvents) {
        onEvents(*this);
    }
}

}  // namespace versalo::test
