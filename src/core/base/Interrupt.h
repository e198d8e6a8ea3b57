#pragma once

namespace quillmark {

// Requests to stop from outside (Ctrl+C, SIGTERM, a closed terminal; on Windows Ctrl+C,
// Ctrl+Break and a closed console) become a flag instead of ending the process at once, so
// that work in progress stops at a safe point and leaves every file as it was.
void InstallInterruptHandlers();

// The signal number of the first request that arrived (SIGINT, SIGTERM, SIGHUP; on Windows
// SIGINT for Ctrl+C and Ctrl+Break, SIGTERM for a closed console), or 0.
int InterruptSignal() noexcept;

// Throws EAbort once a request has arrived.
void CheckInterrupt();

// Marks the calling thread, while it lives, as one that may wait in a read
// or write without end (on a pipe or FIFO nobody serves): the first request
// ends that wait (EINTR; on Windows the call is cancelled), whichever thread
// it reaches, so that the thread can look at the flag. On Windows `file` is
// the handle waited on.
class TInterruptibleWait {
  public:
    explicit TInterruptibleWait(void* file = nullptr);
    ~TInterruptibleWait();
    TInterruptibleWait(const TInterruptibleWait&) = delete;
    TInterruptibleWait& operator=(const TInterruptibleWait&) = delete;
};

}  // namespace quillmark
