#include "base/Threads.h"

#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace quillmark {

// Windows has no scheduling class that only gives up the processor to the
// thread that woke it: a lower priority would starve the reading and writing
// behind a busy main thread, and background mode would slow its disk access
// too. The threads keep the normal priority.
void MarkBackgroundThread() {}

namespace {

unsigned CountCores() {
    const unsigned threads = std::thread::hardware_concurrency();
    DWORD size = 0;
    if (::GetLogicalProcessorInformationEx(RelationProcessorCore, nullptr, &size) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return threads;
    std::vector<char> buffer(size);
    if (!::GetLogicalProcessorInformationEx(
            RelationProcessorCore, reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data()),
            &size))
        return threads;
    // One entry of varying size per core.
    unsigned cores = 0;
    for (DWORD at = 0; at < size;
         at += reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + at)->Size)
        ++cores;
    return cores > 0 && threads > 0 ? std::min(threads, cores) : threads;
}

}  // namespace

unsigned ProcessorCores() {
    static const unsigned cores = CountCores();
    return cores;
}

}  // namespace quillmark
