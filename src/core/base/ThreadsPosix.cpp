#include "base/Threads.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace quillmark {

void MarkBackgroundThread() {
#if defined(__linux__) && defined(SCHED_BATCH)
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
#endif
}

namespace {

unsigned CountCores() {
    const unsigned threads = std::thread::hardware_concurrency();
#if defined(__linux__)
    // The distinct (package, core) pairs of the processors numbered from 0
    // on, as far as they are numbered without a gap.
    std::set<std::pair<long, long>> cores;
    for (unsigned cpu = 0; cpu < 4096; ++cpu) {
        const std::string topology = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
        long package = -1, core = -1;
        std::ifstream(topology + "physical_package_id") >> package;
        std::ifstream(topology + "core_id") >> core;
        if (package < 0 || core < 0) break;
        cores.insert({package, core});
    }
    if (!cores.empty() && threads > 0) return std::min(threads, static_cast<unsigned>(cores.size()));
#endif
    return threads;
}

}  // namespace

unsigned ProcessorCores() {
    static const unsigned cores = CountCores();
    return cores;
}

}  // namespace quillmark
