// versalo-cli: the renaming engine of the window program, for terminals and scripts. Each PATH is
// handled exactly as if those paths had been dropped on the window together, in their order.

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/rename_listing.h"
#include "cli/terminal_host.h"
#include "engine/drop_batch.h"
#include "engine/error_text.h"
#include "engine/journal.h"
#include "engine/skip_report.h"
#include "engine/undo.h"
#include "version/version.h"

namespace {

using namespace versalo;

constexpr int kExitDone = 0;
constexpr int kExitIncomplete = 1;
constexpr int kExitUsage = 2;

// Writes text to standard output; false when that failed (a closed pipe, a full disk).
bool PrintOut(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// One run of the batch (renaming or undoing) with its listeners, and what is said after it.
class CliRun {
public:
    explicit CliRun(const cli::Options& options)
        : m_options(options),
          m_listing(options.dryRun || options.verbose),
          m_host(stderr, ShowsProgress(m_listing), /*listAllSkipped=*/options.verbose),
          m_renameListing(stdout) {}

    int Run() {
        if (m_listing && ::isatty(STDOUT_FILENO) != 1) {
            // Lines for a file or a pipe go out in large blocks; one write per rename would cost
            // more than the rename itself.
            static char buffer[64 * 1024];
            std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
        }
        if (!OpenJournals()) {
            return kExitIncomplete;
        }
        if (m_listing) {
            // After the journal: the listing may block on a slow reader, and a run killed while
            // it waits must already have the rename in its journal.
            m_listeners.Add(&m_renameListing);
        }
        cli::InstallInterruptHandlers();
        BatchResult result;
        if (!cli::Interrupted()) {
            const BatchOptions options = BatchOptionsFor();
            result = m_options.undo.empty() ? ProcessDrop(DropData{true, m_options.paths}, m_host, options)
                                            : UndoRenames(m_undoJournal, m_host, options);
        }
        return Report(result);
    }

private:
    // The listing on a terminal shows the progress itself; a progress line would tear it apart.
    static bool ShowsProgress(bool listing) {
        return ::isatty(STDERR_FILENO) == 1 && !(listing && ::isatty(STDOUT_FILENO) == 1);
    }

    BatchOptions BatchOptionsFor() {
        BatchOptions options;
        options.caseRule = m_options.caseRule;
        options.method = m_options.method;
        options.dryRun = m_options.dryRun;
        options.oneFileSystem = m_options.oneFileSystem;
        options.scope = m_options.scope;
        options.quoting = NameQuoting::kShell;
        options.listener = m_listeners.Empty() ? nullptr : &m_listeners;
        return options;
    }

    // The journal to write is opened before the first rename: a run whose renames could not be
    // taken back must not start at all. The journal to undo must be one of ours.
    bool OpenJournals() {
        if (!m_options.journal.empty() && !m_options.dryRun) {
            m_journal =
                std::make_unique<JournalWriter>(m_options.journal, m_options.caseRule, m_options.scope);
            if (!m_journal->Ok()) {
                m_host.Note("versalo-cli: " + m_journal->Problem() + ".");
                return false;
            }
            m_listeners.Add(m_journal.get());
            m_host.StopWhen([this] { return !m_journal->Ok(); });
        }
        std::string error;
        if (!m_options.undo.empty() && !m_undoJournal.Open(m_options.undo, error)) {
            m_host.Note("versalo-cli: " + error);
            return false;
        }
        return true;
    }

    void ReportJournal() {
        if (m_journal && !m_journal->Ok()) {
            m_host.Note("versalo-cli: das Journal " + ShellQuoted(m_options.journal) +
                        " konnte nicht weitergeschrieben werden: " + m_journal->Problem() +
                        "; der Lauf wurde vor der nächsten Umbenennung angehalten.");
        }
        if (m_journal && m_journal->LeftItselfOut()) {
            m_host.Note("versalo-cli: das Journal " + ShellQuoted(m_options.journal) +
                        " liegt selbst unter den umzubenennenden Einträgen und behält seinen Namen.");
        }
    }

    int Report(const BatchResult& result) {
        ReportJournal();
        const bool listingWritten = m_renameListing.Flush();
        m_host.ClearProgress();
        m_host.ShowOtherFileSystems(result.otherFileSystems);
        if (result.excluded > 0) {
            m_host.Note("versalo-cli: " +
                        (result.excluded == 1 ? std::string("1 Eintrag passte")
                                              : std::to_string(result.excluded) + " Einträge passten") +
                        " zu --exclude und wurde" + (result.excluded == 1 ? "" : "n") +
                        " weder umbenannt noch betreten.");
        }
        int status = result.AllDone() ? kExitDone : kExitIncomplete;
        if (!listingWritten) {
            m_host.Note(
                "versalo-cli: die Liste der Umbenennungen konnte nicht vollständig geschrieben werden");
            status = kExitIncomplete;
        }
        if (!result.finished) {
            // An interrupted batch skips its normal end, the summary included; give it here.
            if (!result.skipped.Empty()) {
                m_host.ShowSkipped(result.skipped);
            }
            m_host.Note("versalo-cli: abgebrochen nach " + std::to_string(result.renamed) +
                        (m_options.dryRun ? " vorgesehenen" : "") +
                        " Umbenennungen; jeder Eintrag hat seinen alten oder seinen neuen Namen.");
            status = kExitIncomplete;
        }
        return status;
    }

    const cli::Options& m_options;
    const bool m_listing;  // every rename is listed on standard output
    cli::TerminalHost m_host;
    cli::RenameListing m_renameListing;
    cli::RenameFanOut m_listeners;
    std::unique_ptr<JournalWriter> m_journal;
    JournalReader m_undoJournal;
};

}  // namespace

int main(int argc, char** argv) {
    RaiseOpenFileLimit();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cli::ParseResult parsed = cli::ParseArguments(arguments);
    if (!parsed.Ok()) {
        std::fprintf(stderr, "versalo-cli: %s\nWeitere Informationen mit 'versalo-cli --help'.\n",
                     parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.options.help) {
        return PrintOut(cli::HelpText()) ? kExitDone : kExitIncomplete;
    }
    if (parsed.options.version) {
        return PrintOut(VersionLine() + "\n") ? kExitDone : kExitIncomplete;
    }
    const int status = CliRun(parsed.options).Run();
    // Stopped by Ctrl+C or SIGTERM: the summary is out; now end by the signal itself, so that the
    // shell (and a loop running the program) knows the run was interrupted.
    std::fflush(nullptr);
    cli::EndByInterruptSignal();
    return status;
}
