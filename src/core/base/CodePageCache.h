#pragma once

#include <cstdint>
#include <memory>

#include "base/CodePage.h"

// Fast paths over the exact converters: the result of every character is
// asked of the exact converter once and remembered, so long texts go
// through a table instead of ICU.
namespace quillmark {

// The bytes that start and end a two-byte character of code page 932.
inline bool IsLead932(std::uint8_t byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
inline bool IsTrail932(std::uint8_t byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// Decodes 932 like `exact` (a decoder of 932 as CodePageIcu.cpp sets it up).
std::unique_ptr<TCodePageDecoder> MakeCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact);

// Encodes like `exact`, an encoder of the ANSI code page `codePage`: one
// that keeps no state between characters, so each UTF-16 unit (or surrogate
// pair) can be converted on its own.
std::unique_ptr<TCodePageEncoder> MakeCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact,
                                                        TCodePage codePage);

}  // namespace quillmark
