#include "base/Threads.h"

namespace quillmark {

// Windows has no scheduling class that only gives up the processor to the
// thread that woke it: a lower priority would starve the reading and writing
// behind a busy main thread, and background mode would slow its disk access
// too. The threads keep the normal priority.
void MarkBackgroundThread() {}

}  // namespace quillmark
