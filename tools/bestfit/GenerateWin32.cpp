// On Windows the converters are the system's own and carry no tables to
// generate: "bestfit verify" checks the system against Microsoft's files,
// "bestfit generate" runs on the ICU build only.
#include <stdexcept>

#include "base/CodePageIcu.h"

namespace quillmark {

std::string EncodeWithoutFixes(TCodePage, std::u16string_view) {
    throw std::runtime_error("generate needs the ICU converters: run it in the Linux build");
}

}  // namespace quillmark
