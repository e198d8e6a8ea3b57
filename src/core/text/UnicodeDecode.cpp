#include "text/UnicodeDecode.h"

namespace quillmark::detail {

void AppendUtf16Units(std::string_view bytes, bool bigEndian, std::u16string& out) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t start = out.size();
    out.resize(start + bytes.size() / 2);
    char16_t* unit = out.data() + start;
    const int high = bigEndian ? 0 : 1;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        *unit++ = static_cast<char16_t>(in[i + high] << 8 | in[i + 1 - high]);
}

void AppendUtf32Units(std::string_view bytes, bool bigEndian, std::u16string& out) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    out.reserve(out.size() + bytes.size() / 4);
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        const std::uint32_t value = bigEndian
                                        ? std::uint32_t{in[i]} << 24 | std::uint32_t{in[i + 1]} << 16 |
                                              std::uint32_t{in[i + 2]} << 8 | in[i + 3]
                                        : std::uint32_t{in[i + 3]} << 24 | std::uint32_t{in[i + 2]} << 16 |
                                              std::uint32_t{in[i + 1]} << 8 | in[i];
        if (value < 0x10000) {
            out.push_back(static_cast<char16_t>(value));
        } else if (value <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
        } else {
            out.push_back(u'\uFFFD');
        }
    }
}

}  // namespace quillmark::detail
