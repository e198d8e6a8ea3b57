#include "base/ReadAhead.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillmark {
namespace {

// A source of `pieces` numbered pieces that throws instead of giving the
// piece numbered `failAt`.
TReadAhead::TNext Numbers(std::uint64_t pieces, std::uint64_t failAt = UINT64_MAX) {
    return [pieces, failAt, at = std::uint64_t{0}](std::string& piece, std::uint64_t& count) mutable {
        if (at == failAt) throw std::runtime_error("read failed");
        if (at == pieces) return false;
        piece = "piece " + std::to_string(at);
        count = ++at;
        return true;
    };
}

TEST(ReadAheadTest, GivesEveryPieceInOrderWithItsCount) {
    TReadAhead ahead(Numbers(1000));
    std::string piece;
    std::uint64_t count = 0;
    for (std::uint64_t expected = 0; expected < 1000; ++expected) {
        ASSERT_TRUE(ahead.Next(piece, count));
        ASSERT_EQ(piece, "piece " + std::to_string(expected));
        ASSERT_EQ(count, expected + 1);
    }
    EXPECT_FALSE(ahead.Next(piece, count));
    EXPECT_FALSE(ahead.Next(piece, count));
}

TEST(ReadAheadTest, AnErrorComesAfterThePiecesReadBeforeIt) {
    TReadAhead ahead(Numbers(10, 3));
    std::string piece;
    std::uint64_t count = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(ahead.Next(piece, count));
    EXPECT_EQ(piece, "piece 2");
    EXPECT_THROW(ahead.Next(piece, count), std::runtime_error);
}

TEST(ReadAheadTest, LeftEarlyItStopsReading) {
    std::uint64_t reads = 0;
    {
        TReadAhead ahead([&reads](std::string& piece, std::uint64_t&) {
            piece = "x";
            ++reads;
            return true;  // endless
        });
        std::string piece;
        std::uint64_t count = 0;
        ASSERT_TRUE(ahead.Next(piece, count));
    }
    // The pieces held ahead, the one handed out and the one being read.
    EXPECT_LE(reads, TReadAhead::kMostReady + 2);
}

}  // namespace
}  // namespace quillmark
