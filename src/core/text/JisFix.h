#pragma once

#include <string>

namespace quillmark::detail {

// MecsMappingFix_JISX0208ToUnicode without the copy, for the loader, which
// owns the freshly converted text anyway.
void FixJisX0208InPlace(std::u16string& text);

}  // namespace quillmark::detail
