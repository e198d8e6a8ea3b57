// Windows side of the interrupt seam: the console's control events.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <atomic>
#include <csignal>

#include "base/Exception.h"
#include "base/Interrupt.h"

namespace quillmark {

namespace {

std::atomic<int> gSignal{0};

BOOL WINAPI OnConsoleControl(DWORD event) {
    int signal;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            signal = SIGINT;
            break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            signal = SIGTERM;
            break;
        default:
            return FALSE;
    }
    int none = 0;
    gSignal.compare_exchange_strong(none, signal);
    if (signal == SIGTERM) {
        // The system ends the process as soon as this returns: wait here
        // while the main thread cleans up and leaves (it ends this thread
        // with the process), or until the system's own time runs out.
        ::Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
    // A process started with Ctrl+C ignored (CREATE_NEW_PROCESS_GROUP) takes it again.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

int InterruptSignal() noexcept {
    return gSignal.load(std::memory_order_relaxed);
}

void CheckInterrupt() {
    if (InterruptSignal() != 0) throw EAbort();
}

}  // namespace quillmark
