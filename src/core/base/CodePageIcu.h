#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/CodePage.h"
#include "base/CodePageExact.h"

// The ICU side of the code-page seam, for the table generator and tests.
namespace quillmark {

// The ICU converter standing in for a Windows code page, or nullptr.
const char* IcuConverterName(TCodePage codePage);

// `text` encoded by the bare ICU converter as the encoder sets it up, before
// the best-fit fixes: fallbacks off, '?' for each UTF-16 unit of an
// unmappable or unpaired character.
std::string EncodeWithoutFixes(TCodePage codePage, std::u16string_view text);

}  // namespace quillmark
