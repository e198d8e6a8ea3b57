// POSIX side of the interrupt seam: SIGINT, SIGTERM and SIGHUP set a flag.
#include <pthread.h>
#include <signal.h>

#include <atomic>

#include "base/Exception.h"
#include "base/Interrupt.h"

namespace quillmark {
namespace {

std::atomic<int> GSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "read and written from a signal handler");

// The threads in a TInterruptibleWait, a slot each, and how many of the
// requests sent on to them have not arrived yet.
struct TWaiter {
    std::atomic<bool> Taken{false};  // the slot belongs to a thread
    std::atomic<bool> Used{false};   // and Thread says which
    std::atomic<pthread_t> Thread{};
};
TWaiter GWaiters[8];
std::atomic<int> GUnderway{0};
static_assert(std::atomic<pthread_t>::is_always_lock_free, "read from a signal handler");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A request repeated after the first takes the signal's own way: nothing
// is in place yet that it could harm.
void RestoreDefault(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void OnSignal(int signal) {
    int none = 0;
    if (GSignal.compare_exchange_strong(none, signal)) {
        // The work stops at its next safe point. Threads waiting in a read
        // or write that may not end get the signal too, which ends their
        // wait; the default comes back once they all have.
        int sent = 0;
        for (TWaiter& waiter : GWaiters) {
            if (!waiter.Used.load()) continue;
            const pthread_t thread = waiter.Thread.load();
            if (pthread_equal(thread, pthread_self())) continue;
            GUnderway.fetch_add(1);
            if (pthread_kill(thread, signal) == 0) {
                ++sent;
            } else {
                GUnderway.fetch_sub(1);
            }
        }
        if (sent == 0) RestoreDefault(signal);
    } else if (GUnderway.load() > 0 && GUnderway.fetch_sub(1) == 1) {
        RestoreDefault(GSignal.load());
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

TInterruptibleWait::TInterruptibleWait(void*) {
    for (TWaiter& waiter : GWaiters) {
        bool free = false;
        if (waiter.Taken.compare_exchange_strong(free, true)) {
            waiter.Thread.store(pthread_self());
            waiter.Used.store(true);
            return;
        }
    }
}

TInterruptibleWait::~TInterruptibleWait() {
    const pthread_t self = pthread_self();
    for (TWaiter& waiter : GWaiters)
        if (waiter.Used.load() && pthread_equal(waiter.Thread.load(), self)) {
            waiter.Used.store(false);
            waiter.Taken.store(false);
            return;
        }
}

}  // namespace quillmark
