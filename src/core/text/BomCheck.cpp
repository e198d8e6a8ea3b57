#include <string_view>

#include "text/EncodeDetect.h"

namespace quillmark {

using namespace std::string_view_literals;

TBOMType BOMCheck(TBytes bytes, TIgnoreEncodes ignore) {
    if (ignore.Contains(TIgnoreEncode::ieBOM)) return TBOMType::btNone;
    // The four-byte marks go first: FF FE 00 00 also starts with the UTF-16
    // LE mark. The literals need `sv` to keep their NUL bytes.
    if (bytes.starts_with("\xFF\xFE\x00\x00"sv)) return TBOMType::bt32LE;
    if (bytes.starts_with("\x00\x00\xFE\xFF"sv)) return TBOMType::bt32BE;
    if (bytes.starts_with("\xFF\xFE"sv)) return TBOMType::bt16LE;
    if (bytes.starts_with("\xFE\xFF"sv)) return TBOMType::bt16BE;
    if (bytes.starts_with("\xEF\xBB\xBF"sv)) return TBOMType::btUTF8;
    return TBOMType::btNone;
}

}  // namespace quillmark
