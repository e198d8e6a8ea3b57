#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/CodePage.h"
#include "base/Progress.h"
#include "base/Stream.h"

// Turning the bytes of a file into Unicode text: detect the encoding from the
// first 102400 bytes, read everything, decode it.
namespace quillmark {

// How many bytes the detection looks at.
inline constexpr std::int32_t kDetectionSampleSize = 102400;

// The whole content of the stream as UTF-16, with any byte-order mark
// removed and nothing else changed (line ends, NULs and all). The stream's
// position does not matter; it is left at the end. `progress`, when given,
// hears the bytes read against the stream's size (see StreamToRawBytes).
// Content never makes it fail; a stream that ends before its size throws
// EReadError, and an EAbort from `progress` passes through.
std::u16string StreamToText(TStream& stream, const TProgressCallback& progress = {});

// The code page of the stream's content, from at most its first 102400 bytes.
// When that is only the beginning of the stream, a character cut off by the
// end of the sample is not held against its encoding.
TCodePage DetectStreamCodePage(TStream& stream);

// -1 -> 65535, 0 -> 932, 1 -> 20932, 2 -> 50220, 3 -> 1200, 4 -> 1201,
// 5 and 6 -> 65001, 7 -> 12000, 8 -> 12001, 9 and anything else -> 65535.
TCodePage EncodingToCodePage(std::int32_t encoding);

// Every byte of the stream, from its start, however large (sizes are 64-bit).
// It is read in pieces of 4 MiB, and `progress` hears (bytes read, size)
// after each piece. Throws EReadError when the stream delivers fewer bytes
// than its size.
std::string StreamToRawBytes(TStream& stream, const TProgressCallback& progress = {});

// Decodes bytes by code page: 65001 drops a leading EF BB BF, 1200/1201
// drop FF FE / FE FF and take code units as they are (an odd last byte is
// ignored), 12000/12001 drop their mark and decode UTF-32 (a value above
// U+10FFFF gives U+FFFD, a surrogate value stays a single code unit, a last
// unit of fewer than 4 bytes is ignored), 65535 widens each byte to one code
// unit, anything else goes through AnsiToUTF16 (and the JIS-family code
// pages then through MecsMappingFix_JISX0208ToUnicode). A code page the
// platform does not support gives an empty text; nothing in the bytes makes
// it fail.
std::u16string BytesToText(std::string_view bytes, TCodePage codePage);

// The platform's conversion of bytes of a code page; empty text for empty
// bytes or an unsupported code page.
std::u16string AnsiToUTF16(std::string_view bytes, TCodePage codePage);

// Each byte b becomes the code unit U+00bb.
std::u16string MecsStretchElement(std::string_view bytes);

// Replaces the code points JIS X 0208 text converts to by those code page 932
// uses for the same characters: U+00A2 -> U+FFE0, U+00A3 -> U+FFE1,
// U+00AC -> U+FFE2, U+2014 -> U+2015, U+2016 -> U+2225, U+203E -> U+FFE3,
// U+2212 -> U+FF0D, U+301C -> U+FF5E. Each unit is looked at once.
std::u16string MecsMappingFix_JISX0208ToUnicode(std::u16string_view text);

// True for the code pages whose text MecsMappingFix_JISX0208ToUnicode fixes:
// 20932, 50220-50222, 51932.
bool IsJisFamilyCodePage(TCodePage codePage);

}  // namespace quillmark
