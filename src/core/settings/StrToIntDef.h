#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark {

// The integer a text spells, or `fallback` when it spells none: optional
// leading spaces, an optional sign, then decimal digits, or hexadecimal ones
// after "$", "x", "X", "0x" or "0X". The whole text must be consumed and the
// value must fit in a signed 32-bit integer.
//
// **Example**: u"+3" -> 3, u"07" -> 7, u"0x10" -> 16, u" 12" -> 12,
// u"12 " -> fallback, u"" -> fallback, u"2147483648" -> fallback.
std::int32_t StrToIntDef(std::u16string_view text, std::int32_t fallback);

}  // namespace quillmark
