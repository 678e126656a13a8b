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

namespace {

constexpr int kExitDone = 0;
constexpr int kExitIncomplete = 1;
constexpr int kExitUsage = 2;

// Writes text to standard output; false when that failed (a closed pipe, a full disk).
bool PrintOut(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int Run(const versalo::cli::Options& options) {
    using namespace versalo;

    const bool listing = options.dryRun || options.verbose;
    const bool stdoutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    // The listing on a terminal shows the progress itself; a progress line would tear it apart.
    const bool showProgress = ::isatty(STDERR_FILENO) == 1 && !(listing && stdoutIsTerminal);
    if (listing && !stdoutIsTerminal) {
        // Lines for a file or a pipe go out in large blocks; one write per rename would cost
        // more than the rename itself.
        static char buffer[64 * 1024];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }

    cli::TerminalHost host(stderr, showProgress, /*listAllSkipped=*/options.verbose);
    cli::RenameListing renameListing(stdout);
    cli::RenameFanOut listeners;

    BatchOptions batchOptions;
    batchOptions.caseRule = options.caseRule;
    batchOptions.method = options.method;
    batchOptions.dryRun = options.dryRun;
    batchOptions.oneFileSystem = options.oneFileSystem;
    batchOptions.quoting = NameQuoting::kShell;

    // The journal is opened before the first rename: a run whose renames could not be taken
    // back must not start at all.
    std::unique_ptr<JournalWriter> journal;
    if (!options.journal.empty() && !options.dryRun) {
        journal = std::make_unique<JournalWriter>(options.journal);
        if (!journal->Ok()) {
            host.Note("versalo-cli: das Journal '" + options.journal +
                      "' kann nicht geschrieben werden: " + ErrorText(journal->Error()));
            return kExitIncomplete;
        }
        listeners.Add(journal.get());
        host.StopWhen([&journal] { return !journal->Ok(); });
    }
    // After the journal: the listing may block on a slow reader, and a run killed while it waits
    // must already have the rename in its journal.
    if (listing) {
        listeners.Add(&renameListing);
    }
    batchOptions.listener = listeners.Empty() ? nullptr : &listeners;

    JournalReader undoJournal;
    if (!options.undo.empty()) {
        std::string error;
        if (!undoJournal.Open(options.undo, error)) {
            host.Note("versalo-cli: " + error);
            return kExitIncomplete;
        }
    }

    cli::InstallInterruptHandlers();
    BatchResult result;
    if (!cli::Interrupted()) {
        result = options.undo.empty() ? ProcessDrop(DropData{true, options.paths}, host, batchOptions)
                                      : UndoRenames(undoJournal, host, batchOptions);
    }
    if (journal && !journal->Ok()) {
        host.Note("versalo-cli: das Journal '" + options.journal +
                  "' konnte nicht weitergeschrieben werden: " + ErrorText(journal->Error()) +
                  "; der Lauf wurde vor der nächsten Umbenennung angehalten.");
    }
    if (journal && journal->LeftItselfOut()) {
        host.Note("versalo-cli: das Journal '" + options.journal +
                  "' liegt selbst unter den umzubenennenden Einträgen und behält seinen Namen.");
    }
    const bool listingWritten = renameListing.Flush();
    host.ClearProgress();
    host.ShowOtherFileSystems(result.otherFileSystems);

    int status = result.AllDone() ? kExitDone : kExitIncomplete;
    if (!listingWritten) {
        host.Note("versalo-cli: die Liste der Umbenennungen konnte nicht vollständig geschrieben werden");
        status = kExitIncomplete;
    }
    if (!result.finished) {
        // An interrupted batch skips its normal end, the summary included; give it here.
        if (!result.skipped.Empty()) {
            host.ShowSkipped(result.skipped);
        }
        host.Note("versalo-cli: abgebrochen nach " + std::to_string(result.renamed) +
                  (options.dryRun ? " vorgesehenen" : "") +
                  " Umbenennungen; jeder Eintrag hat seinen alten oder seinen neuen Namen.");
        status = kExitIncomplete;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    versalo::RaiseOpenFileLimit();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const versalo::cli::ParseResult parsed = versalo::cli::ParseArguments(arguments);
    if (!parsed.Ok()) {
        std::fprintf(stderr, "versalo-cli: %s\nWeitere Informationen mit 'versalo-cli --help'.\n",
                     parsed.error.c_str());
        return kExitUsage;
    }
    if (parsed.options.help) {
        return PrintOut(versalo::cli::HelpText()) ? kExitDone : kExitIncomplete;
    }
    if (parsed.options.version) {
        return PrintOut(versalo::cli::VersionLine() + "\n") ? kExitDone : kExitIncomplete;
    }
    const int status = Run(parsed.options);
    // Stopped by Ctrl+C or SIGTERM: the summary is out; now end by the signal itself, so that the
    // shell (and a loop running the program) knows the run was interrupted.
    std::fflush(nullptr);
    versalo::cli::EndByInterruptSignal();
    return status;
}
