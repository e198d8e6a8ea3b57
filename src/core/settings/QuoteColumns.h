#pragma once

#include <string>
#include <string_view>

#include "base/ColumnSet.h"

namespace quillmark {

// The text form of a quote-column list: the members ascending, in decimal,
// joined by "," without spaces. {} -> u"", {0, 2, 5} -> u"0,2,5".
std::u16string FormatQuoteColumns(const TColumnSet& columns);

// Reads a quote-column list by comma-text rules: items are separated by
// commas, runs of spaces and control characters, or both; an item may be
// enclosed in quotation marks (doubled marks inside stand for one). Each item
// converts with StrToIntDef(item, -1), so an empty or non-numeric item puts
// -1 (columns not given) into the set. A U+0000 ends the text. Never fails.
//
// **Example**: u"5,2,0,2" -> {0, 2, 5}; u"1 3" -> {1, 3}; u"1,,2" -> {-1, 1, 2};
// u"" -> {}.
TColumnSet ParseQuoteColumns(std::u16string_view text);

}  // namespace quillmark
