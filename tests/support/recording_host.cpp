#include "tests/support/recording_host.h"

namespace versalo::test {

void RecordingHost::ProcessEvents() {
    ++eventRounds;
    if (onEvents) {
        onEvents(*this);
    }
}

}  // namespace versalo::test
