#include <string_view>

#include "text/EncodeDetect.h"

namespace quillmark {

namespace {

using namespace std::string_view_literals;

// The escape sequences that switch ISO-2022-JP between its character sets:
// ASCII, JIS X 0201 Roman and katakana, JIS C 6226 and JIS X 0208, JIS X
// 0212, and JIS X 0208-1990 (announced by ESC & @ before ESC $ B).
constexpr std::string_view kEscapes[] = {
    "\x1B(B"sv, "\x1B(J"sv, "\x1B(I"sv, "\x1B$@"sv, "\x1B$B"sv, "\x1B$(D"sv, "\x1B&@\x1B$B"sv,
};

bool StartsWithEscape(std::string_view rest) {
    for (std::string_view escape : kEscapes) {
        if (rest.starts_with(escape)) return true;
    }
    return false;
}

}  // namespace

bool IsJIS(TBytes bytes, TIgnoreEncodes ignore) {
    if (ignore.Contains(TIgnoreEncode::ieJIS)) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(bytes[i]);
        if (!IsASCII(byte)) return false;
        if (byte == 0x1B && StartsWithEscape(bytes.substr(i))) return true;
    }
    return false;
}

}  // namespace quillmark
