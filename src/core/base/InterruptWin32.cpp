// Windows side of the interrupt seam: the console's control events.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>

#include "base/Exception.h"
#include "base/Interrupt.h"

namespace quillmark {

namespace {

std::atomic<int> gSignal{0};

// The thread in a TInterruptibleWait, if any (a handle of its own), and the
// file it waits on.
std::mutex gWaiterLock;
HANDLE gWaiter = nullptr;
HANDLE gWaiterFile = nullptr;

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
    if (gSignal.compare_exchange_strong(none, signal)) {
        // A thread waiting in a write that may not end (on a pipe nobody
        // reads) is woken: its call fails, and it looks at the flag.
        const std::lock_guard lock(gWaiterLock);
        if (gWaiter) ::CancelSynchronousIo(gWaiter);
        if (gWaiterFile) ::CancelIoEx(gWaiterFile, nullptr);
    }
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

TInterruptibleWait::TInterruptibleWait(void* file) {
    HANDLE thread = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread, 0,
                           FALSE, DUPLICATE_SAME_ACCESS))
        return;
    const std::lock_guard lock(gWaiterLock);
    if (gWaiter) ::CloseHandle(gWaiter);
    gWaiter = thread;
    gWaiterFile = file;
}

TInterruptibleWait::~TInterruptibleWait() {
    const std::lock_guard lock(gWaiterLock);
    if (gWaiter) ::CloseHandle(gWaiter);
    gWaiter = nullptr;
    gWaiterFile = nullptr;
}

}  // namespace quillmark
