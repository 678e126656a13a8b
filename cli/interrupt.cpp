#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>
#include <initializer_list>

namespace versalo::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;  // the first signal that arrived, or 0

extern "C" void OnInterrupt(int signal) {
    if (g_interrupted == 0) {
        g_interrupted = signal;
    }
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
    // A reader that goes away (versalo-cli -v ... | head) must not end the run in the middle of a
    // rename: the failed write is noticed, the run stops before the next rename, and the program
    // ends by SIGPIPE after its summary (EndBySignal).
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void EndBySignal(int signal) {
    if (g_interrupted == 0) {
        g_interrupted = signal;
    }
}

void EndByInterruptSignal() {
    const int signal = g_interrupted;
    if (signal == 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
}

}  // namespace versalo::cli
