#pragma once

#include <string>
#include <string_view>

#include "base/ColumnSet.h"

namespace quillmark {

// The text form of a quote-column list: the members ascending, in decimal
// (negative ones with their minus sign), joined by "," without spaces.
//
// **Example**: {} -> u""; {0, 2, 5} -> u"0,2,5"; {-1, 3} -> u"-1,3".
std::u16string FormatQuoteColumns(const TColumnSet& columns);

// Reads a quote-column list by comma-text rules. Never fails.
// - Codes 1 to 32 (space and control characters) are skipped at the start
//   and after every item.
// - An item that starts with '"' runs to the next lone '"', a doubled '"'
//   inside standing for one; without a closing mark it runs to the end.
//   Any other item runs up to a code of 32 or less or a ",".
// - After an item one "," may follow, with the blanks after it. A "," that
//   is the last character adds one more, empty, item; "1, " has one item.
//   So ",1" and "1,,2" hold an empty item, and "1 3" is two items.
// - A U+0000 ends the text: nothing after it is read.
// Each item converts with StrToIntDef(item, -1), so an empty or non-numeric
// item puts -1 (columns not given) into the set; duplicates collapse.
//
// **Example**: u"5,2,0,2" -> {0, 2, 5}; u"1 3" -> {1, 3}; u"\"1\"" -> {1};
// u"1,,2" -> {-1, 1, 2}; u"1," -> {-1, 1}; u"A" -> {-1}; u"" -> {}.
TColumnSet ParseQuoteColumns(std::u16string_view text);

}  // namespace quillmark
