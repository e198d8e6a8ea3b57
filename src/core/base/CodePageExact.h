#pragma once

#include <memory>

#include "base/CodePage.h"

// The platform's converters as they are, for tests and tools that compare
// the fast paths with them.
namespace quillmark {

// The converters without the cached fast paths that TCodePageDecoder::Create
// and TCodePageEncoder::Create put in front of them.
std::unique_ptr<TCodePageDecoder> CreateExactDecoder(TCodePage codePage);
std::unique_ptr<TCodePageEncoder> CreateExactEncoder(TCodePage codePage);

}  // namespace quillmark
