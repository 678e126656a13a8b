#include "tests/support/recording_host.h"

namespace versalo::test {

void RecordingHost::SetProgress(float percent) {
    calls.push_back("progress " + std::to_string(percent));
}

void RecordingHost::ShowSkipped(const SkipReport& report) {
    skipped = report.Entries();
    calls.push_back("skipped");
}

void RecordingHost::BatchFinished() {
    ++beeps;
    calls.push_back("finished");
}

void RecordingHost::ProcessEvents() {
    ++eventRounds;
    if (onEvents) {
        onEvents(*this);
    }
}

}  // namespace versalo::test
