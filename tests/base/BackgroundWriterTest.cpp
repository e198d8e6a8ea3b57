#include "base/BackgroundWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <stdexcept>
#include <thread>

namespace quillmark {
namespace {

// Records what it is given, checks it is never entered twice at once, and
// fails when told to.
class TCheckingSink final : public IByteSink {
  public:
    void Write(std::string_view bytes) override {
        EXPECT_FALSE(FInside.exchange(true)) << "entered from two threads at once";
        Threads.push_back(std::this_thread::get_id());
        if (FailAfter <= Bytes.size() + bytes.size()) {
            FInside = false;
            throw std::runtime_error("disk full");
        }
        Bytes.append(bytes);
        FInside = false;
    }

    std::string Bytes;
    std::vector<std::thread::id> Threads;
    std::size_t FailAfter = SIZE_MAX;

  private:
    std::atomic<bool> FInside = false;
};

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

TEST(BackgroundWriterTest, PassesEveryByteInOrder) {
    const std::string bytes = RandomBytes(9 << 20);
    TCheckingSink sink;
    {
        TBackgroundWriter writer(sink);
        std::mt19937 random(3);
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t size = std::min<std::size_t>(bytes.size() - at, random() % (300 << 10));
            writer.Write(std::string_view(bytes).substr(at, size));
            at += size;
        }
        writer.Finish();
    }
    EXPECT_TRUE(sink.Bytes == bytes);
    EXPECT_NE(sink.Threads.front(), std::this_thread::get_id()) << "no second thread";
}

TEST(BackgroundWriterTest, SmallOutputIsWrittenByTheCallerAtFinish) {
    TCheckingSink sink;
    TBackgroundWriter writer(sink);
    writer.Write("a,b\r\n");
    writer.Write("c,d\r\n");
    EXPECT_EQ(sink.Bytes, "");
    writer.Finish();
    EXPECT_EQ(sink.Bytes, "a,b\r\nc,d\r\n");
    EXPECT_EQ(sink.Threads, std::vector{std::this_thread::get_id()});
}

TEST(BackgroundWriterTest, AFailedWriteComesBackAndNothingFollowsIt) {
    const std::string bytes = RandomBytes(12 << 20);
    for (const std::size_t failAfter : {std::size_t{1}, std::size_t{3} << 20, std::size_t{11} << 20}) {
        TCheckingSink sink;
        sink.FailAfter = failAfter;
        TBackgroundWriter writer(sink);
        EXPECT_THROW(
            {
                for (std::size_t at = 0; at < bytes.size(); at += 100000)
                    writer.Write(std::string_view(bytes).substr(at, 100000));
                writer.Finish();
            },
            std::runtime_error)
            << failAfter;
        EXPECT_LT(sink.Bytes.size(), failAfter);
        EXPECT_TRUE(bytes.starts_with(sink.Bytes));
    }
}

TEST(BackgroundWriterTest, DestroyedUnfinishedItStopsWithoutWritingTheRest) {
    const std::string bytes = RandomBytes(1 << 20);
    TCheckingSink sink;
    {
        TBackgroundWriter writer(sink);
        writer.Write(bytes);   // handed over
        writer.Write("tail");  // kept for Finish
    }
    EXPECT_TRUE(bytes.starts_with(sink.Bytes));
}

}  // namespace
}  // namespace quillmark
