#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace versalo::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int /*signal*/) {
    g_interrupted = 1;
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // SA_RESTART: a signal must not make a listing or a write fail half-way with EINTR; the
    // flag is read before the next entry anyway.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    // A reader that goes away (versalo-cli -v ... | head) must not end the run in the middle;
    // the failed write is noticed and reported instead.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}

}  // namespace versalo::cli
