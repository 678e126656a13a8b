#include "cli/terminal_host.h"

#include "cli/interrupt.h"
#include "engine/drop_batch.h"
#include "engine/skip_report.h"

namespace versalo::cli {

namespace {

// About ten redraws a second: enough to see that it moves, cheap even for a terminal over a
// slow connection. The clock is read only every few entries, which keeps it off the hot path.
constexpr auto kDrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kEntriesBetweenClockReads = 64;

}  // namespace

TerminalHost::TerminalHost(std::FILE* err, bool showProgress, bool listAllSkipped)
    : m_err(err),
      m_showProgress(showProgress),
      m_listAllSkipped(listAllSkipped),
      // The first line appears only after one interval, so that a quick run leaves no trace.
      m_lastDrawn(std::chrono::steady_clock::now()) {}

void TerminalHost::SetProgress(float percent) {
    m_percent = percent;
    if (percent <= 0.0F) {
        ClearProgress();  // the batch has ended (or not begun)
    }
}

void TerminalHost::ShowInformation(const std::string& text) {
    Note("versalo-cli: " + text);
}

void TerminalHost::ShowSkipped(const SkipReport& report) {
    ClearProgress();
    const std::string summary = m_listAllSkipped ? report.Summary(NameQuoting::kShell, report.Count())
                                                 : report.Summary(NameQuoting::kShell);
    std::fputs(summary.c_str(), m_err);
    std::fflush(m_err);
}

bool TerminalHost::QuitRequested() {
    return Interrupted() || (m_stopWhen && m_stopWhen());
}

void TerminalHost::EntryDone(std::size_t entriesSoFar) {
    if (!m_showProgress) {
        return;
    }
    m_entries = entriesSoFar;
    if (entriesSoFar % kEntriesBetweenClockReads != 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastDrawn >= kDrawInterval) {
        m_lastDrawn = now;
        DrawProgress();
    }
}

void TerminalHost::Note(const std::string& text) {
    ClearProgress();
    std::fputs(text.c_str(), m_err);
    std::fputc('\n', m_err);
    std::fflush(m_err);
}

void TerminalHost::ShowOtherFileSystems(const std::vector<std::string>& folders) {
    if (folders.empty()) {
        return;
    }
    std::string text = Counted(folders.size(), "Ordner, auf dem etwas eingehängt ist, wurde",
                               "Ordner, auf denen etwas eingehängt ist, wurden") +
                       " weder umbenannt noch betreten:\n";
    for (const std::string& folder : folders) {
        text += ShellQuoted(folder);
        text += '\n';
    }
    ClearProgress();
    std::fputs(text.c_str(), m_err);
    std::fflush(m_err);
}

void TerminalHost::ClearProgress() {
    if (m_lineShown) {
        // Back to the start of the line and erase it.
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
        m_lineShown = false;
    }
}

void TerminalHost::DrawProgress() {
    std::string line =
        "\r\033[Kversalo-cli: " + Counted(m_entries, "Eintrag bearbeitet", "Einträge bearbeitet");
    if (m_percent > 0.0F) {
        // The share done: of the given paths, and within a given folder of its own subfolders.
        line += ", " + std::to_string(static_cast<int>(m_percent)) + " % fertig";
    }
    std::fputs(line.c_str(), m_err);
    std::fflush(m_err);
    m_lineShown = true;
}

}  // namespace versalo::cli
