#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-16 and UTF-32 bytes to code units, shared by the whole-file loader and
// the piecewise reader so that both decode alike.
namespace quillmark::detail {

// Appends one code unit per pair of bytes, taken as they are (an unpaired
// surrogate stays). `bytes` must hold an even number of bytes.
void AppendUtf16Units(std::string_view bytes, bool bigEndian, std::u16string& out);

// Appends the UTF-16 form of each 4-byte value: above U+FFFF a surrogate
// pair, above U+10FFFF U+FFFD, a surrogate value a single unit. `bytes` must
// hold a multiple of 4 bytes.
void AppendUtf32Units(std::string_view bytes, bool bigEndian, std::u16string& out);

}  // namespace quillmark::detail
