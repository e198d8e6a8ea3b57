#pragma once

#include <cstdint>
#include <limits>

namespace quillmark::detail {

// Adds the points a check collected to the caller's score. The checks count
// in 64 bits and add once on the way out; the sum stops at the top of the
// 32-bit score instead of overflowing, which only a gigabyte of input could
// reach.
inline void AddPoints(std::int32_t& score, std::int64_t points) {
    const std::int64_t sum = static_cast<std::int64_t>(score) + points;
    score = sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                           : static_cast<std::int32_t>(sum);
}

}  // namespace quillmark::detail
