// POSIX side of the interrupt seam: SIGINT, SIGTERM and SIGHUP set a flag.
#include <signal.h>

#include <atomic>

#include "base/Exception.h"
#include "base/Interrupt.h"

namespace quillmark {
namespace {

std::atomic<int> GSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written from a signal handler");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signal) {
    int none = 0;
    if (GSignal.compare_exchange_strong(none, signal)) {
        // The work stops at its next safe point. A request repeated before
        // then (a write blocked on a pipe nobody reads, say) takes the
        // signal's own way: nothing is in place yet that it could harm.
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    // No SA_RESTART: a read or write waiting on a pipe returns EINTR and
    // the caller looks at the flag.
    action.sa_flags = 0;
    for (const int signal : kSignals) {
        struct sigaction old {};
        // A signal the starting process ignored (nohup, a background job's
        // SIGINT) stays ignored.
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

int InterruptSignal() noexcept {
    return GSignal.load();
}

void CheckInterrupt() {
    if (GSignal.load() != 0) throw EAbort();
}

}  // namespace quillmark
