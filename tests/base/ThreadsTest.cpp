#include "base/Threads.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <string>
#include <thread>

#include "base/BackgroundWriter.h"
#include "base/ReadAhead.h"

namespace quillmark {
namespace {

int SchedulingPolicy() {
    int policy = -1;
    sched_param parameters{};
    pthread_getschedparam(pthread_self(), &policy, &parameters);
    return policy;
}

class TPolicySink final : public IByteSink {
  public:
    void Write(std::string_view) override { Policy = SchedulingPolicy(); }
    int Policy = -1;
};

// The threads that read ahead and write behind give way to the thread they
// work for when they wake up; that thread is left as it was.
TEST(ThreadsTest, ReadingAheadAndWritingBehindAreBackgroundThreads) {
#if defined(__linux__)
    const int callers = SchedulingPolicy();
    int reading = -1;
    {
        TReadAhead ahead([&reading](std::string& piece, std::uint64_t&) {
            reading = SchedulingPolicy();
            piece = "x";
            return false;
        });
        std::string piece;
        std::uint64_t count = 0;
        EXPECT_FALSE(ahead.Next(piece, count));
    }
    EXPECT_EQ(reading, SCHED_BATCH);

    TPolicySink sink;
    TBackgroundWriter writer(sink);
    writer.Write(std::string(2 << 20, 'x'));  // enough to start the thread
    writer.Finish();
    EXPECT_EQ(sink.Policy, SCHED_BATCH);
    EXPECT_EQ(SchedulingPolicy(), callers);
#else
    GTEST_SKIP() << "only Linux has a batch scheduling class";
#endif
}

// The cores are told by the system (Wine answers the Windows call too): at
// least one, at most the hardware threads.
TEST(ThreadsTest, CoresAreAtMostTheHardwareThreads) {
    const unsigned cores = ProcessorCores();
    EXPECT_GE(cores, 1u);
    EXPECT_LE(cores, std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace
}  // namespace quillmark
