#include "base/Threads.h"

#include <pthread.h>
#include <sched.h>

namespace quillmark {

void MarkBackgroundThread() {
#if defined(__linux__) && defined(SCHED_BATCH)
    const sched_param parameters{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameters);
#endif
}

}  // namespace quillmark
