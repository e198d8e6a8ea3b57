#pragma once

#include <cstdint>
#include <set>

namespace quillmark {

// A sorted set of 0-based column indexes, ascending, without duplicates.
using TColumnSet = std::set<std::int32_t>;

}  // namespace quillmark
