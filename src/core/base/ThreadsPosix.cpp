#include "base/Threads.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

namespace quillmark {

void MarkBackgroundThread() {
#if defined(__linux__) && defined(SCHED_BATCH)
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
#endif
}

double ProcessorSeconds() {
    timespec time{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time) != 0) return 0;
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

}  // namespace quillmark
