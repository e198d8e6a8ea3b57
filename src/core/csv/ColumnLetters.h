#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmark {

// The highest column index that has letters: 16383 is "XFD".
inline constexpr std::int32_t kLastLetteredColumn = 16383;

// Spreadsheet letters of a 0-based column index: 0 -> "A", 25 -> "Z",
// 26 -> "AA", 701 -> "ZZ", 702 -> "AAA", 16383 -> "XFD". Any index outside
// 0..16383 gives "". Names once made are kept in a process-wide cache.
std::u16string GetColumnLetters(std::int32_t column);

// How many names the cache holds.
std::size_t ColumnLettersCacheSize();

}  // namespace quillmark
