#pragma once

#include <memory>

#include "base/CodePage.h"

// Fast paths over the exact converters: the result of every character is
// asked of the exact converter once and remembered, so long texts go
// through a table instead of ICU.
namespace quillmark {

// Decodes 932 like `exact` (a decoder of 932 as CodePageIcu.cpp sets it up).
std::unique_ptr<TCodePageDecoder> MakeCachedShiftJisDecoder(std::unique_ptr<TCodePageDecoder> exact);

// Encodes like `exact`, an encoder of the ANSI code page `codePage`: one
// that keeps no state between characters, so each UTF-16 unit (or surrogate
// pair) can be converted on its own.
std::unique_ptr<TCodePageEncoder> MakeCachedAnsiEncoder(std::unique_ptr<TCodePageEncoder> exact,
                                                        TCodePage codePage);

}  // namespace quillmark
