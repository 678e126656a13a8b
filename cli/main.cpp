// versalo-cli: the renaming engine of the window program, for terminals and scripts. Each PATH is
// handled exactly as if those paths had been dropped on the window together, in their order.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
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
#include "engine/sys.h"
#include "engine/undo.h"
#include "version/version.h"

namespace {

using namespace versalo;

constexpr int kExitDone = 0;
constexpr int kExitIncomplete = 1;
constexpr int kExitUsage = 2;

// Writes text to standard output; on failure (a closed pipe, a full disk) says so as GNU tools do
// and returns false.
bool PrintOut(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
        return true;
    }
    std::fprintf(stderr, "versalo-cli: Schreibfehler: %s\n", ErrorText(LastError()).c_str());
    return false;
}

// Why FILE must not be appended to as a journal: it exists and is something else (its first line
// is no journal header, or it is no regular file). Empty when it may be used: it does not exist
// yet, is empty, or is a journal of ours. Errors in opening are left to the journal itself.
std::string NotAJournal(const std::string& file) {
    // O_NONBLOCK: a FIFO given as the journal must not hold the program up here. A file that is
    // no regular one is refused by the journal's own opening, as for an undo.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat status {};
    std::string head(4096, '\0');
    ssize_t got = 0;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        got = ::read(fd, head.data(), head.size());
    }
    ::close(fd);
    if (got <= 0) {
        return {};  // empty (or unreadable: the journal's own opening will say why)
    }
    head.resize(static_cast<std::size_t>(got));
    const nlohmann::json header = nlohmann::json::parse(head.substr(0, head.find('\n')), nullptr, false);
    const bool ours = header.is_object() && header.contains("journal") && header["journal"] == "versalo";
    return ours ? std::string() : "ist kein Journal von Versalo; es wird nichts angehängt";
}

// One run of the batch (renaming or undoing) with its listeners, and what is said after it.
class CliRun {
public:
    explicit CliRun(const cli::Options& options)
        : m_options(options),
          m_listing(options.dryRun || options.verbose),
          m_host(stderr, ShowsProgress(m_listing), /*listAllSkipped=*/options.verbose),
          m_renameListing(STDOUT_FILENO) {}

    int Run() {
        // Also in a dry run, which must end as the real run would.
        if (const std::string reason = m_options.journal.empty() ? "" : NotAJournal(m_options.journal);
            !reason.empty()) {
            m_host.Note("versalo-cli: " + ShellQuoted(m_options.journal) + " " + reason + ".");
            return kExitUsage;
        }
        if (!OpenJournals()) {
            return kExitIncomplete;
        }
        // Written to (and broken, or its reader gone): the run stops before the next rename, as
        // for Ctrl+C. A journal that can no longer be written stops it too.
        m_host.StopWhen(
            [this] { return (m_listing && m_renameListing.Broken()) || (m_journal && !m_journal->Ok()); });
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
        const bool listingWritten = !m_listing || m_renameListing.Flush();
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
        const bool readerGone = !listingWritten && m_renameListing.Error() == std::errc::broken_pipe;
        if (!listingWritten && !readerGone) {
            m_host.Note("versalo-cli: Schreibfehler: " + ErrorText(m_renameListing.Error()) +
                        "; die Liste der Umbenennungen ist unvollständig");
            status = kExitIncomplete;
        }
        if (!result.finished) {
            // An interrupted batch skips its normal end, the summary included; give it here.
            if (!result.skipped.Empty()) {
                m_host.ShowSkipped(result.skipped);
            }
            m_host.Note("versalo-cli: abgebrochen nach " +
                        Counted(result.renamed, m_options.dryRun ? "vorgesehenen Umbenennung" : "Umbenennung",
                                m_options.dryRun ? "vorgesehenen Umbenennungen" : "Umbenennungen") +
                        (readerGone ? ", da die Ausgabe nicht mehr gelesen wird" : "") +
                        "; jeder Eintrag hat seinen alten oder seinen neuen Namen.");
            status = kExitIncomplete;
        }
        if (readerGone) {
            // As for Ctrl+C: the program ends by the signal a write to a closed pipe gives.
            cli::EndBySignal(SIGPIPE);
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
