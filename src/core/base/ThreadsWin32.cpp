#include "base/Threads.h"

#include <windows.h>

namespace quillmark {

// Windows has no scheduling class that only gives up the processor to the
// thread that woke it: a lower priority would starve the reading and writing
// behind a busy main thread, and background mode would slow its disk access
// too. The threads keep the normal priority.
void MarkBackgroundThread() {}

double ProcessorSeconds() {
    FILETIME creation, exit, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user)) return 0;
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    // In units of 100 ns.
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

}  // namespace quillmark
