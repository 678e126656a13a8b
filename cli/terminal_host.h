#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/batch_host.h"

namespace versalo::cli {

// The batch's window, for a terminal: messages and the summary of skipped entries go to standard
// error, a progress line too when standard error is a terminal. There is nothing to disable or
// to beep; a quit request is Ctrl+C (see interrupt.h).
class TerminalHost : public BatchHost {
public:
    // showProgress: draw the progress line (only sensible on a terminal). listAllSkipped: name
    // every skipped entry in the summary, not only the first few dozen.
    TerminalHost(std::FILE* err, bool showProgress, bool listAllSkipped);

    void SetProgress(float percent) override;
    void ShowInformation(const std::string& text) override;
    void ShowSkipped(const SkipReport& report) override;
    bool QuitRequested() override;
    void EntryDone(std::size_t entriesSoFar) override;

    // Writes a line of the program's own to standard error (below the progress line, if any).
    void Note(const std::string& text);
    // Lists the folders -x passed over, after the run (nothing when there are none).
    void ShowOtherFileSystems(const std::vector<std::string>& folders);
    // Removes the progress line, so that the terminal is left clean.
    void ClearProgress();
    // A further reason to stop the run after the current entry, besides Ctrl+C.
    void StopWhen(std::function<bool()> condition) { m_stopWhen = std::move(condition); }

private:
    void DrawProgress();

    std::FILE* m_err;
    bool m_showProgress;
    bool m_listAllSkipped;
    bool m_lineShown = false;
    float m_percent = 0.0F;
    std::size_t m_entries = 0;
    std::chrono::steady_clock::time_point m_lastDrawn;
    std::function<bool()> m_stopWhen;
};

}  // namespace versalo::cli
