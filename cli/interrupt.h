#pragma once

namespace versalo::cli {

// Ctrl+C (SIGINT), SIGTERM and a closed terminal (SIGHUP) do not end the program at once: they
// only set a flag that the batch reads before each entry, so that the run stops between two
// renames and every entry keeps either its old or its new name. A second signal does the same
// (the handler stays installed); a rename in progress is never cut off.
void InstallInterruptHandlers();

// True once one of those signals arrived.
bool Interrupted();

// Makes the program end by signal at EndByInterruptSignal, as if it had arrived (unless one of
// those signals came first): a reader of the listing that went away ends it by SIGPIPE, as it
// ends any other tool.
void EndBySignal(int signal);

// When one of those signals arrived (or EndBySignal was called): puts back its default action and sends it to
// the program again, so that the program ends by that signal (a shell sees 130 for SIGINT, 143 for SIGTERM
// and stops a loop, as with any other tool). Call it after everything that is to be written was written.
// Returns only when no such signal arrived.
void EndByInterruptSignal();

}  // namespace versalo::cli
