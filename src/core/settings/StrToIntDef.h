#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark {

// The integer a text spells, or `fallback` when it spells none: optional
// leading spaces (U+0020 only), an optional "+" or "-", then decimal digits,
// or hexadecimal ones (either case) after "$", "x", "X", "0x" or "0X". At
// least one digit; the whole text must be consumed; the value must fit in a
// signed 32-bit integer, for hexadecimal as for decimal (the sign applies to
// the magnitude). Only ASCII digits count.
//
// **Example**: u"+3" -> 3, u"07" -> 7, u"0x10" -> 16, u"-$10" -> -16,
// u" 12" -> 12, u"-2147483648" -> INT32_MIN, u"$7FFFFFFF" -> INT32_MAX;
// fallback for u"12 ", u"", u"$", u"\t1", u"2147483648", u"$80000000".
std::int32_t StrToIntDef(std::u16string_view text, std::int32_t fallback);

}  // namespace quillmark
